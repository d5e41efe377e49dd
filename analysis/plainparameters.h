#pragma once
// A parameter source over plain models: the grid and column lists a load filled, and the
// strategy and coefficient lists in their full form. Used by the command-line tool, tests
// and benchmarks.

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"
#include "analysis/parametersource.h"

namespace vardell {

class PlainParameterSource : public ParameterSource {
 public:
  // Keeps references to grid and lists; Algo and Dist start full with entry 0 selected.
  PlainParameterSource(const DataGrid& grid, const ColumnLists& lists);

  ChoiceListModel Algo;
  ChoiceListModel Dist;
  bool Constrained = false;

  int EntryCount(ChoiceList list) const override;
  bool IsSelected(ChoiceList list, int position) const override;
  bool ConstrainedChecked() const override { return Constrained; }
  int RowCount() const override { return grid_.RowCount(); }
  const std::string& CellText(int column, int row) const override;

 private:
  const ChoiceListModel& Model(ChoiceList list) const;
  const DataGrid& grid_;
  const ColumnLists& lists_;
};

}  // namespace vardell
