#pragma once
// The data grid as plain cell texts, addressed [column, row], both from 0. Row 0 holds the
// column names, column 0 the row numbers. Resizing keeps the cells that remain inside.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vardell {

class DataGrid {
 public:
  DataGrid();  // the toolkit's default size: 5 columns, 5 rows, all cells empty
  int RowCount() const { return rowCount_; }
  int ColCount() const { return colCount_; }
  void SetRowCount(int rows);
  void SetColCount(int columns);
  const std::string& Cell(int column, int row) const;
  // Cell(columns[k], row) for 0 <= k < count, into texts[k].
  void RowTexts(int row, const int* columns, int count, std::string_view* texts) const;
  void SetCell(int column, int row, std::string text);

 private:
  // The cells row by row, so that a row's texts lie together, as a run reads them.
  static std::size_t Index(int column, int row, int colCount) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(colCount) +
           static_cast<std::size_t>(column);
  }

  int rowCount_;
  int colCount_;
  std::vector<std::string> cells_;  // cells_[Index(column, row, colCount_)]
};

}  // namespace vardell
