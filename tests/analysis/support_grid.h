#pragma once
// Builds a loaded grid and its column lists from rows of cell texts, as a load leaves them.

#include <string>
#include <vector>

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"

namespace vardell::testing {

struct LoadedTable {
  DataGrid Grid;
  ColumnLists Lists;
};

// names: the column names; rows: the data rows' cell texts.
inline LoadedTable MakeTable(const std::vector<std::string>& names,
                             const std::vector<std::vector<std::string>>& rows) {
  LoadedTable t;
  t.Grid.SetRowCount(static_cast<int>(rows.size()) + 1);
  t.Grid.SetColCount(static_cast<int>(names.size()) + 1);
  t.Lists.Id.Add("NONE");
  for (std::size_t j = 0; j < names.size(); ++j) {
    t.Grid.SetCell(static_cast<int>(j) + 1, 0, names[j]);
    t.Lists.Depth.Add(names[j]);
    t.Lists.Id.Add(names[j]);
    t.Lists.DataCol.Add(names[j]);
  }
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t j = 0; j < rows[r].size(); ++j)
      t.Grid.SetCell(static_cast<int>(j) + 1, static_cast<int>(r) + 1, rows[r][j]);
  t.Lists.Depth.SelectOnly(0);
  t.Lists.Id.SelectOnly(0);
  t.Lists.DataCol.SelectAll();
  return t;
}

}  // namespace vardell::testing
