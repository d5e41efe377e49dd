#include "app/gridmodel.h"

#include <algorithm>

namespace vardell {

GridModel::GridModel(const DataGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {}

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, grid_.RowCount() - 1);
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, grid_.ColCount() - 1);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  return QString::fromStdString(grid_.Cell(index.column() + 1, index.row() + 1));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Horizontal) {
    if (section + 1 >= grid_.ColCount()) return {};
    return QString::fromStdString(grid_.Cell(section + 1, 0));
  }
  if (section + 1 >= grid_.RowCount()) return {};
  return QString::fromStdString(grid_.Cell(0, section + 1));
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // the grid shows the file; no editing
}

}  // namespace vardell
