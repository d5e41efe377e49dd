#include "analysis/datagrid.h"

#include <stdexcept>

namespace vardell {

DataGrid::DataGrid() : rowCount_(0), colCount_(0) {
  SetColCount(5);
  SetRowCount(5);
}

void DataGrid::SetRowCount(int rows) {
  if (rows < 0) rows = 0;
  rowCount_ = rows;
  for (auto& column : columns_) column.resize(rows);
}

void DataGrid::SetColCount(int columns) {
  if (columns < 0) columns = 0;
  colCount_ = columns;
  columns_.resize(columns, std::vector<std::string>(rowCount_));
}

const std::string& DataGrid::Cell(int column, int row) const {
  if (column < 0 || column >= colCount_ || row < 0 || row >= rowCount_)
    throw std::out_of_range("Grid index out of range");
  return columns_[column][row];
}

void DataGrid::RowTexts(int row, const int* columns, int count, std::string_view* texts) const {
  for (int k = 0; k < count; ++k) {
    const int column = columns[k];
    if (column < 0 || column >= colCount_ || row < 0 || row >= rowCount_)
      throw std::out_of_range("Grid index out of range");
    texts[k] = columns_[column][row];
  }
}

void DataGrid::SetCell(int column, int row, std::string text) {
  if (column < 0 || column >= colCount_ || row < 0 || row >= rowCount_)
    throw std::out_of_range("Grid index out of range");
  columns_[column][row] = std::move(text);
}

}  // namespace vardell
