#pragma once
// The choices of a run as the parameter window offers them, without its widgets: the
// strategy and coefficient lists, the check box, the column lists a load fills, and the
// rules that keep them consistent while the user clicks. It is the parameter source a run
// reads. The window shows it and forwards the user's changes; the command-line tool, tests
// and benchmarks set it directly, which also allows every combination the engine accepts
// (the rules never offer, for instance, constrained nearest neighbour).

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"
#include "analysis/parametersource.h"

namespace vardell {

class ParameterChoices : public ParameterSource {
 public:
  // Keeps references to grid and columns, which a load fills. The strategy and coefficient
  // lists start full, with their first entries selected.
  ParameterChoices(const DataGrid& grid, ColumnLists& columns);

  ChoiceListModel Algo;
  ChoiceListModel Dist;
  bool Constrained = false;

  ChoiceListModel& List(ChoiceList list);
  const ChoiceListModel& List(ChoiceList list) const;

  // The rules, each applied after the user's change it names. Each leaves nothing for a
  // second application to change.
  void ResetForDataFile();               // "Data File" pressed, before its dialog opens
  void StrategyChosen();                 // the coefficient list follows the strategy
  void ConstraintSet(bool constrained);  // the strategy list follows the check box
  void IdentifierChosen();               // the identifier's column leaves the data columns
  void DataColumnsChosen();  // a data column that is the identifier's sends it to "NONE"

  // ParameterSource
  int EntryCount(ChoiceList list) const override { return List(list).Count(); }
  bool IsSelected(ChoiceList list, int position) const override;
  bool ConstrainedChecked() const override { return Constrained; }
  int RowCount() const override { return grid_.RowCount(); }
  const std::string& CellText(int column, int row) const override;
  void RowTexts(int row, const int* columns, int count, std::string_view* texts) const override;

 private:
  const DataGrid& grid_;
  ColumnLists& columns_;
};

}  // namespace vardell
