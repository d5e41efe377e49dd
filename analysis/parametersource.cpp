#include "analysis/parametersource.h"

namespace vardell {

int SelectedPosition(const ParameterSource& source, ChoiceList list) {
  int selected = 0;
  for (int e = 0; e < source.EntryCount(list); ++e)
    if (source.IsSelected(list, e)) selected = e;
  return selected;
}

}  // namespace vardell
