#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"

namespace vardell {
namespace {

// A grid starts at the toolkit's default of 5 by 5; resizing keeps the cells that still fit,
// and cells lost by shrinking do not come back when it grows again.
TEST(DataGrid, ResizingKeepsTheCellsThatFit) {
  const struct {
    const char* Name;
    int Columns, Rows;  // the new size
    int Column, Row;    // a cell that was "c,r" before
  } cases[] = {{"GrowBoth", 8, 9, 4, 4}, {"ShrinkRows", 5, 2, 3, 1}, {"ShrinkColumns", 2, 5, 1, 4},
               {"ToOneCell", 1, 1, 0, 0}};
  const auto text = [](int col, int row) { return std::to_string(col) + "," + std::to_string(row); };
  for (const auto& c : cases) {
    DataGrid grid;
    ASSERT_EQ(grid.ColCount(), 5);
    ASSERT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Cell(4, 4), "");
    for (int col = 0; col < 5; ++col)
      for (int row = 0; row < 5; ++row) grid.SetCell(col, row, text(col, row));
    grid.SetColCount(c.Columns);
    grid.SetRowCount(c.Rows);
    EXPECT_EQ(grid.ColCount(), c.Columns) << c.Name;
    EXPECT_EQ(grid.RowCount(), c.Rows) << c.Name;
    EXPECT_EQ(grid.Cell(c.Column, c.Row), text(c.Column, c.Row)) << c.Name;
    EXPECT_EQ(grid.Cell(c.Columns - 1, c.Rows - 1).empty(), c.Columns > 5 || c.Rows > 5) << c.Name;
    grid.SetColCount(5);
    grid.SetRowCount(5);
    EXPECT_EQ(grid.Cell(4, 4).empty(), c.Columns < 5 || c.Rows < 5) << c.Name;
  }
}

TEST(DataGrid, OutsideTheGridIsAnError) {
  DataGrid grid;
  for (const auto& [column, row] : {std::pair{5, 0}, {0, 5}, {-1, 0}, {0, -1}}) {
    EXPECT_THROW(grid.Cell(column, row), std::out_of_range);
    EXPECT_THROW(grid.SetCell(column, row, "x"), std::out_of_range);
  }
}

TEST(ChoiceListModel, SelectionFollowsItsEntry) {
  ChoiceListModel list;
  for (const char* e : {"a", "b", "c"}) list.Add(e);
  list.SelectAll();
  list.SetSelected(1, false);
  list.Delete(2);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_TRUE(list.IsSelected(0));
  EXPECT_FALSE(list.IsSelected(1));
  list.Add("c");
  EXPECT_FALSE(list.IsSelected(2));  // an entry put back comes unselected
  list.SelectOnly(2);
  EXPECT_FALSE(list.IsSelected(0));
  EXPECT_TRUE(list.IsSelected(2));
}

}  // namespace
}  // namespace vardell
