#include "analysis/extraction.h"

#include <algorithm>
#include <string>
#include <utility>

#include "analysis/cellparse.h"
#include "analysis/methods.h"
#include "analysis/sharedwork.h"

namespace vardell {
namespace {

UserMessage ParsingError(const char* text) { return UserMessage{DataParsingError, text}; }

// Length in characters of a UTF-8 text.
std::int32_t CharacterCount(const std::string& text) {
  std::int32_t count = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

// The object's number right-aligned in three places, as "%3d" writes it (without printf's
// cost, once per object and run).
std::string ObjectNumberLabel(int object) {
  std::string label = std::to_string(object);
  if (label.size() < 3) label.insert(0, 3 - label.size(), ' ');
  return label;
}

std::optional<UserMessage> ReadSettings(const ParameterSource& source, AnalysisSettings& settings,
                                        int& variableCount) {
  int strategy = SelectedPosition(source, ChoiceList::Algo);
  int coefficient = SelectedPosition(source, ChoiceList::Dist);
  settings.Strategy = Strategies[strategy < StrategyCount ? strategy : 0].Code;
  settings.Coefficient = Coefficients[coefficient < CoefficientCount ? coefficient : 0].Code;
  settings.Constrained = source.ConstrainedChecked();
  settings.DepthColumn = SelectedPosition(source, ChoiceList::Depth) + 1;
  settings.IdColumn = SelectedPosition(source, ChoiceList::Id);

  // The depth column is never a variable of a constrained run.
  const auto isVariable = [&](int entry) {
    return source.IsSelected(ChoiceList::DataCol, entry) &&
           !(settings.Constrained && entry + 1 == settings.DepthColumn);
  };
  int count = 0;
  for (int e = 0; e < source.EntryCount(ChoiceList::DataCol); ++e)
    if (isVariable(e)) ++count;
  if (count > MaxVariables) return ParsingError("You should select at most 150 datacolumns.");
  variableCount = 0;
  for (int e = 0; e < source.EntryCount(ChoiceList::DataCol); ++e)
    if (isVariable(e)) settings.DataColumns[++variableCount] = e + 1;
  if (variableCount < 2) return ParsingError("You should select at least 2 datacolumns.");
  return std::nullopt;
}

std::string LabelOf(const ParameterSource& source, const AnalysisSettings& settings, int object) {
  if (settings.Constrained) return source.CellText(settings.DepthColumn, object);
  if (settings.IdColumn >= 1) return source.CellText(settings.IdColumn, object);
  return ObjectNumberLabel(object);
}

// A cell of a row that is not a number.
struct NonNumericField {};

// Row i's label, values and depth. The depth cell is read after the row's first data cell,
// so an overflow in either is met in the same order as the cells stand in the row's checks.
void ExtractRow(const ParameterSource& source, const AnalysisSettings& settings, int i,
                DataMatrix& matrix) {
  matrix.GridRow[i] = i;
  matrix.Labels[i] = LabelOf(source, settings, i);
  CellValue depth;
  for (int k = 1; k <= matrix.VariableCount; ++k) {
    const CellValue value = ParseCellValue(source.CellText(settings.DataColumns[k], i));
    if (k == 1 && settings.Constrained)
      depth = ParseCellValue(source.CellText(settings.DepthColumn, i));
    if (value.ErrorPosition != 0 || depth.ErrorPosition != 0) throw NonNumericField{};
    matrix.Values[i][k] = value.Value;
  }
  if (settings.Constrained) matrix.Depth[i] = depth.Value;
}

}  // namespace

std::optional<UserMessage> ExtractDataMatrix(const ParameterSource& source, Analysis& analysis) {
  AnalysisSettings& settings = analysis.Settings;
  DataMatrix& matrix = analysis.Matrix;
  int p = 0;
  if (auto message = ReadSettings(source, settings, p)) return message;
  matrix.VariableCount = p;
  for (int k = 1; k <= p; ++k) matrix.ChordOffset[k] = StorageReal();
  matrix.MaxLabelLength = 0;

  const int n = source.RowCount() - 1;
  if (n <= 0) return ParsingError("Data file contains no objects.");
  if (n > MaxObjects) return ParsingError("Maximum size of data matrix exceeded.");
  matrix.ObjectCount = n;
  // Rows go to threads; a row that cannot be read stops the run as the first such row would
  // in a single pass.
  try {
    RunShared(1, n + 1, ThreadsFor(std::int64_t{n} * p, 8000),
              [&](int i) { ExtractRow(source, settings, i, matrix); });
  } catch (const NonNumericField&) {
    return ParsingError("Data file contains non-numeric fields");
  }
  for (int i = 1; i <= n; ++i)
    matrix.MaxLabelLength = std::max(matrix.MaxLabelLength, CharacterCount(matrix.Labels[i]));
  // Each variable's lowest value, if below 0, is its chord offset (equal values have equal
  // bytes, so which row holds it does not matter).
  for (int k = 1; k <= p; ++k) {
    double lowest = 0;
    for (int i = 1; i <= n; ++i) {
      if (const double v = matrix.Values[i][k].ToDouble(); v < lowest) {
        lowest = v;
        matrix.ChordOffset[k] = matrix.Values[i][k];
      }
    }
  }
  return std::nullopt;
}

void SortByDepth(DataMatrix& matrix, WorkingState& work) {
  // A stable sort: objects of equal depth keep their grid order. The rows move once, through
  // a permutation, instead of by repeated exchanges.
  const int n = matrix.ObjectCount;
  int order[MaxObjects + 1];
  for (int i = 1; i <= n; ++i) order[i] = i;
  std::stable_sort(order + 1, order + n + 1, [&](int a, int b) {
    return matrix.Depth[a].ToDouble() < matrix.Depth[b].ToDouble();
  });
  DataMatrix& sorted = work.SortedRows;
  for (int i = 1; i <= n; ++i) {
    const int from = order[i];
    std::copy(matrix.Values[from] + 1, matrix.Values[from] + matrix.VariableCount + 1,
              sorted.Values[i] + 1);
    sorted.Depth[i] = matrix.Depth[from];
    sorted.Labels[i] = std::move(matrix.Labels[from]);
    sorted.GridRow[i] = matrix.GridRow[from];
  }
  for (int i = 1; i <= n; ++i) {
    std::copy(sorted.Values[i] + 1, sorted.Values[i] + matrix.VariableCount + 1,
              matrix.Values[i] + 1);
    matrix.Depth[i] = sorted.Depth[i];
    matrix.Labels[i] = std::move(sorted.Labels[i]);
    matrix.GridRow[i] = sorted.GridRow[i];
  }
}

}  // namespace vardell
