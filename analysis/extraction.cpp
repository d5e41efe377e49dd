#include "analysis/extraction.h"

#include <cstdio>
#include <utility>

#include "analysis/cellparse.h"

namespace vardell {
namespace {

// List position -> code.
constexpr std::uint8_t StrategyOfPosition[6] = {MinimumVariance,    FurthestNeighbour,
                                                NearestNeighbour,   CentroidSorting,
                                                WeightedPairgroup,  UnweightedPairgroup};
constexpr std::uint8_t CoefficientOfPosition[3] = {Euclidean, Chord, Manhattan};

UserMessage ParsingError(const char* text) { return UserMessage{DataParsingError, text}; }

// Length in characters of a UTF-8 text.
std::int32_t CharacterCount(const std::string& text) {
  std::int32_t count = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

std::string ObjectNumberLabel(int object) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%3d", object);
  return buffer;
}

std::optional<UserMessage> ReadSettings(const ParameterSource& source, AnalysisSettings& settings,
                                        int& variableCount) {
  int strategy = SelectedPosition(source, ChoiceList::Algo);
  int coefficient = SelectedPosition(source, ChoiceList::Dist);
  settings.Strategy = StrategyOfPosition[strategy < 6 ? strategy : 0];
  settings.Coefficient = CoefficientOfPosition[coefficient < 3 ? coefficient : 0];
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
  for (int i = 1; i <= n; ++i) {
    matrix.GridRow[i] = i;
    matrix.Labels[i] = LabelOf(source, settings, i);
    if (CharacterCount(matrix.Labels[i]) > matrix.MaxLabelLength)
      matrix.MaxLabelLength = CharacterCount(matrix.Labels[i]);
    for (int k = 1; k <= p; ++k) {
      CellValue value = ParseCellValue(source.CellText(settings.DataColumns[k], i));
      CellValue depth;
      if (settings.Constrained) depth = ParseCellValue(source.CellText(settings.DepthColumn, i));
      if (value.ErrorPosition != 0 || depth.ErrorPosition != 0)
        return ParsingError("Data file contains non-numeric fields");
      matrix.Values[i][k] = value.Value;
      if (settings.Constrained) matrix.Depth[i] = depth.Value;
      if (value.Value < matrix.ChordOffset[k]) matrix.ChordOffset[k] = value.Value;
    }
  }
  return std::nullopt;
}

void SortByDepth(DataMatrix& matrix) {
  const int n = matrix.ObjectCount;
  bool sorted = false;
  while (!sorted) {
    sorted = true;
    for (int i = 1; i < n; ++i) {
      if (matrix.Depth[i] > matrix.Depth[i + 1]) {
        std::swap(matrix.Values[i], matrix.Values[i + 1]);
        std::swap(matrix.Depth[i], matrix.Depth[i + 1]);
        std::swap(matrix.Labels[i], matrix.Labels[i + 1]);
        std::swap(matrix.GridRow[i], matrix.GridRow[i + 1]);
        sorted = false;
      }
    }
  }
}

}  // namespace vardell
