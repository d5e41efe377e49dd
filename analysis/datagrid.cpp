#include "analysis/datagrid.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace vardell {

DataGrid::DataGrid() : rowCount_(0), colCount_(0) {
  SetColCount(5);
  SetRowCount(5);
}

void DataGrid::SetRowCount(int rows) {
  if (rows < 0) rows = 0;
  rowCount_ = rows;
  cells_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(colCount_));
}

void DataGrid::SetColCount(int columns) {
  if (columns < 0) columns = 0;
  if (columns == colCount_) return;
  std::vector<std::string> cells(static_cast<std::size_t>(rowCount_) *
                                 static_cast<std::size_t>(columns));
  const int kept = std::min(columns, colCount_);
  for (int row = 0; row < rowCount_; ++row)
    for (int column = 0; column < kept; ++column)
      cells[Index(column, row, columns)] = std::move(cells_[Index(column, row, colCount_)]);
  cells_ = std::move(cells);
  colCount_ = columns;
}

const std::string& DataGrid::Cell(int column, int row) const {
  if (column < 0 || column >= colCount_ || row < 0 || row >= rowCount_)
    throw std::out_of_range("Grid index out of range");
  return cells_[Index(column, row, colCount_)];
}

// The next row's cells are fetched into the cache meanwhile, since a run reads the rows in
// turn and parses each before it asks for the next.
void DataGrid::RowTexts(int row, const int* columns, int count, std::string_view* texts) const {
  const int rows = rowCount_, columnCount = colCount_;
  const std::string* const cells = cells_.data();
  for (int k = 0; k < count; ++k) {
    const int column = columns[k];
    if (column < 0 || column >= columnCount || row < 0 || row >= rows)
      throw std::out_of_range("Grid index out of range");
    texts[k] = cells[Index(column, row, columnCount)];
  }
  if (row + 1 < rows)
    for (int k = 0; k < count; k += 2)
      __builtin_prefetch(cells + Index(columns[k], row + 1, columnCount));
}

void DataGrid::SetCell(int column, int row, std::string text) {
  if (column < 0 || column >= colCount_ || row < 0 || row >= rowCount_)
    throw std::out_of_range("Grid index out of range");
  cells_[Index(column, row, colCount_)] = std::move(text);
}

}  // namespace vardell
