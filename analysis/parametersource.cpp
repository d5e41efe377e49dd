#include "analysis/parametersource.h"

namespace vardell {

void ParameterSource::RowTexts(int row, const int* columns, int count,
                               std::string_view* texts) const {
  for (int k = 0; k < count; ++k) texts[k] = CellText(columns[k], row);
}

int SelectedPosition(const ParameterSource& source, ChoiceList list) {
  int selected = 0;
  for (int e = 0; e < source.EntryCount(list); ++e)
    if (source.IsSelected(list, e)) selected = e;
  return selected;
}

}  // namespace vardell
