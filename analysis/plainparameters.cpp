#include "analysis/plainparameters.h"

#include "analysis/methods.h"

namespace vardell {

PlainParameterSource::PlainParameterSource(const DataGrid& grid, const ColumnLists& lists)
    : grid_(grid), lists_(lists) {
  for (const StrategyMethod& method : Strategies) Algo.Add(method.ListText);
  for (const CoefficientMethod& method : Coefficients) Dist.Add(method.ListText);
  Algo.SelectOnly(0);
  Dist.SelectOnly(0);
}

const ChoiceListModel& PlainParameterSource::Model(ChoiceList list) const {
  switch (list) {
    case ChoiceList::Algo: return Algo;
    case ChoiceList::Dist: return Dist;
    case ChoiceList::Depth: return lists_.Depth;
    case ChoiceList::Id: return lists_.Id;
    case ChoiceList::DataCol: return lists_.DataCol;
  }
  return Algo;
}

int PlainParameterSource::EntryCount(ChoiceList list) const { return Model(list).Count(); }

bool PlainParameterSource::IsSelected(ChoiceList list, int position) const {
  return Model(list).IsSelected(position);
}

const std::string& PlainParameterSource::CellText(int column, int row) const {
  return grid_.Cell(column, row);
}

}  // namespace vardell
