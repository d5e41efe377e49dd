#pragma once
// What a run reads from the parameter window, addressed as the window addresses it: list
// entries by position, the check box, and grid cells by column and row (both from 0, row 0
// holding the column names). The window implements it over its controls, the command-line
// tool over its options, tests over plain structs.

#include <string>
#include <string_view>

namespace vardell {

enum class ChoiceList {
  Algo,     // strategy list, single choice
  Dist,     // coefficient list, single choice
  Depth,    // depth column list, single choice; entry e is grid column e + 1
  Id,       // identifier list, single choice; entry 0 is "NONE", entry e is grid column e
  DataCol,  // data column list, multiple choice; entry e is grid column e + 1
};

class ParameterSource {
 public:
  virtual ~ParameterSource() = default;
  virtual int EntryCount(ChoiceList list) const = 0;
  virtual bool IsSelected(ChoiceList list, int position) const = 0;
  virtual bool ConstrainedChecked() const = 0;
  virtual int RowCount() const = 0;
  virtual const std::string& CellText(int column, int row) const = 0;
  // CellText(columns[k], row) for 0 <= k < count, into texts[k], at once; they stay valid
  // while the cells do. Throws as CellText does where a column is out of range.
  virtual void RowTexts(int row, const int* columns, int count, std::string_view* texts) const;
};

// The selected position of a single-choice list: the last selected entry counts, and with
// none selected the first one.
int SelectedPosition(const ParameterSource& source, ChoiceList list);

}  // namespace vardell
