#include <gtest/gtest.h>

#include <stdexcept>

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"

namespace vardell {
namespace {

TEST(DataGrid, StartsAtTheToolkitsDefaultSize) {
  DataGrid grid;
  EXPECT_EQ(grid.RowCount(), 5);
  EXPECT_EQ(grid.ColCount(), 5);
  EXPECT_EQ(grid.Cell(4, 4), "");
}

struct ResizeCase {
  const char* Name;
  int Columns, Rows;      // the new size
  int Column, Row;        // a cell that was "c,r" before
  bool Kept;              // inside the new size: still there
};

TEST(DataGrid, ResizingKeepsTheCellsThatFit) {
  const ResizeCase cases[] = {
      {"GrowBoth", 8, 9, 4, 4, true},     {"ShrinkRows", 5, 2, 3, 1, true},
      {"ShrinkColumns", 2, 5, 1, 4, true}, {"ToOneCell", 1, 1, 0, 0, true},
  };
  for (const ResizeCase& c : cases) {
    DataGrid grid;
    for (int col = 0; col < 5; ++col)
      for (int row = 0; row < 5; ++row) grid.SetCell(col, row, std::to_string(col) + "," + std::to_string(row));
    grid.SetColCount(c.Columns);
    grid.SetRowCount(c.Rows);
    EXPECT_EQ(grid.ColCount(), c.Columns) << c.Name;
    EXPECT_EQ(grid.RowCount(), c.Rows) << c.Name;
    EXPECT_EQ(grid.Cell(c.Column, c.Row), std::to_string(c.Column) + "," + std::to_string(c.Row)) << c.Name;
    EXPECT_EQ(grid.Cell(c.Columns - 1, c.Rows - 1).empty(), c.Columns > 5 || c.Rows > 5) << c.Name;
  }
}

TEST(DataGrid, CellsLostByShrinkingDoNotComeBack) {
  DataGrid grid;
  grid.SetCell(4, 4, "x");
  grid.SetRowCount(2);
  grid.SetColCount(2);
  grid.SetRowCount(5);
  grid.SetColCount(5);
  EXPECT_EQ(grid.Cell(4, 4), "");
}

TEST(DataGrid, OutsideTheGridIsAnError) {
  DataGrid grid;
  const int outside[][2] = {{5, 0}, {0, 5}, {-1, 0}, {0, -1}};
  for (const auto& at : outside) {
    EXPECT_THROW(grid.Cell(at[0], at[1]), std::out_of_range);
    EXPECT_THROW(grid.SetCell(at[0], at[1], "x"), std::out_of_range);
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
