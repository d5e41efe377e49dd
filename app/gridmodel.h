#pragma once
// The data grid as the parameter window shows it: a read-only table model over the plain
// DataGrid. Row 0 of the grid (the column names) and column 0 (the row numbers) become the
// headers; the cells are produced on demand, so a 200 x 2000 grid costs nothing to show.

#include <QAbstractTableModel>

#include "analysis/datagrid.h"

namespace vardell {

class GridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit GridModel(const DataGrid& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Bracket a change of the grid's cells or size.
  void BeginGridChange() { beginResetModel(); }
  void EndGridChange() { endResetModel(); }

 private:
  const DataGrid& grid_;
};

}  // namespace vardell
