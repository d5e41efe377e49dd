#include "analysis/parameterchoices.h"

#include "analysis/fileloading.h"
#include "analysis/methods.h"

namespace vardell {
namespace {

// The highest selected position; 0 when none is selected.
int HighestSelected(const ChoiceListModel& list, int from = 0) {
  for (int position = list.Count() - 1; position >= from; --position)
    if (list.IsSelected(position)) return position;
  return 0;
}

// Entries come back only at the list's end, in their places of the full list.
template <class Method, std::size_t N>
void AppendFrom(ChoiceListModel& list, const Method (&methods)[N]) {
  for (int position = list.Count(); position < static_cast<int>(N); ++position)
    list.Add(methods[position].ListText);
}

}  // namespace

ParameterChoices::ParameterChoices(const DataGrid& grid, ColumnLists& columns)
    : grid_(grid), columns_(columns) {
  AppendFrom(Algo, Strategies);
  AppendFrom(Dist, Coefficients);
  Algo.SelectOnly(0);
  Dist.SelectOnly(0);
}

ChoiceListModel& ParameterChoices::List(ChoiceList list) {
  switch (list) {
    case ChoiceList::Algo: return Algo;
    case ChoiceList::Dist: return Dist;
    case ChoiceList::Depth: return columns_.Depth;
    case ChoiceList::Id: return columns_.Id;
    case ChoiceList::DataCol: return columns_.DataCol;
  }
  return Algo;
}

const ChoiceListModel& ParameterChoices::List(ChoiceList list) const {
  return const_cast<ParameterChoices&>(*this).List(list);  // the same lists, read only
}

bool ParameterChoices::IsSelected(ChoiceList list, int position) const {
  return List(list).IsSelected(position);
}

const std::string& ParameterChoices::CellText(int column, int row) const {
  return grid_.Cell(column, row);
}

void ParameterChoices::RowTexts(int row, const int* columns, int count,
                                std::string_view* texts) const {
  grid_.RowTexts(row, columns, count, texts);
}

// The column lists start empty, "NONE" alone and selected as identifier, the first strategy
// and coefficient selected. The strategy list keeps its form and the coefficient list its
// entries: the rules are not applied here.
void ParameterChoices::ResetForDataFile() {
  ResetColumnLists(columns_);
  Algo.SelectOnly(0);
  Dist.SelectOnly(0);
}

// "Manhattan metric" is offered only while the strategy does not bar it (minimum variance and
// centroid sorting recur on squared Euclidean-type distances). It leaves the list from the
// end and takes the selection to the first coefficient; it comes back without changing it.
void ParameterChoices::StrategyChosen() {
  if (Strategies[HighestSelected(Algo)].BarsManhattan) {
    if (Dist.Count() > ManhattanPosition) {
      while (Dist.Count() > ManhattanPosition) Dist.Delete(Dist.Count() - 1);
      Dist.SelectOnly(0);
    }
  } else {
    AppendFrom(Dist, Coefficients);
  }
}

// A constrained run offers only the strategies kept when constrained, the first selected;
// the others leave the list from its end and come back in their places, the selection kept.
void ParameterChoices::ConstraintSet(bool constrained) {
  Constrained = constrained;
  if (constrained) {
    while (Algo.Count() > ConstrainedStrategyCount) Algo.Delete(Algo.Count() - 1);
    Algo.SelectOnly(0);
    StrategyChosen();
  } else if (Algo.Count() == ConstrainedStrategyCount) {
    AppendFrom(Algo, Strategies);
  }
}

// Identifier entry e (from 1) and data-column entry e - 1 are the same grid column: the list
// changed last decides whether it is the identifier or a data column. "NONE" changes nothing.
void ParameterChoices::IdentifierChosen() {
  const int id = HighestSelected(columns_.Id, 1);
  if (id <= 0 || id - 1 >= columns_.DataCol.Count()) return;
  columns_.DataCol.SetSelected(id - 1, false);
}

void ParameterChoices::DataColumnsChosen() {
  const int id = HighestSelected(columns_.Id);
  if (id <= 0 || id - 1 >= columns_.DataCol.Count()) return;
  if (columns_.DataCol.IsSelected(id - 1)) columns_.Id.SelectOnly(0);
}

}  // namespace vardell
