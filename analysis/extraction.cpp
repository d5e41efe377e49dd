#include "analysis/extraction.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <type_traits>
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
void SetObjectNumberLabel(std::string& label, int object) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, object).ptr;
  const auto length = static_cast<std::size_t>(end - digits);
  label.assign(length < 3 ? 3 - length : 0, ' ');
  label.append(digits, length);
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

void SetLabel(std::string& label, const ParameterSource& source, const AnalysisSettings& settings,
              int object) {
  if (settings.Constrained) {
    label = source.CellText(settings.DepthColumn, object);
  } else if (settings.IdColumn >= 1) {
    label = source.CellText(settings.IdColumn, object);
  } else {
    SetObjectNumberLabel(label, object);
  }
}

// A cell of a row that is not a number.
struct NonNumericField {};

// Reads a cell's number into value; false for a cell that is not a number. Throws
// FloatingPointOverflow for a number too large.
bool ReadCell(std::string_view text, double& value) {
  if (detail::QuickRounded(text, value)) return true;
  const CellValue parsed = ParseCellValueExactly(text);
  value = parsed.Value.ToDouble();
  return parsed.ErrorPosition == 0;
}

// Row i's label, values and depth, and each variable's lowest value so far, lowest[k] (from
// 0). The depth cell is read after the row's first data cell, so an overflow in either is met
// in the same order as the cells stand in the row's checks. A stored value has a single form
// in the storage real, so the double of its value gives back its bytes. texts: room for the
// row's texts.
void ExtractRow(const ParameterSource& source, const AnalysisSettings& settings, int i,
                DataMatrix& matrix, double* lowest, std::string_view* texts) {
  matrix.GridRow[i] = i;
  SetLabel(matrix.Labels[i], source, settings, i);
  const int p = matrix.VariableCount;
  const int* const columns = settings.DataColumns;
  double values[MaxVariables + 1];
  bool numeric = ReadCell(source.CellText(columns[1], i), values[1]);
  double depth = 0;
  if (settings.Constrained)
    numeric = ReadCell(source.CellText(settings.DepthColumn, i), depth) && numeric;
  if (!numeric) throw NonNumericField{};
  // The other cells' texts at once; where that fails, one at a time, so that the failure
  // comes in its turn.
  bool gathered = true;
  try {
    source.RowTexts(i, columns + 2, p - 1, texts + 2);
  } catch (...) {
    gathered = false;
  }
  for (int k = 2; k <= p; ++k) {
    if (gathered) {
      k += detail::QuickRoundedRow(texts + k, p + 1 - k, values + k);
      if (k > p) break;
    } else {
      texts[k] = source.CellText(columns[k], i);
    }
    if (!ReadCell(texts[k], values[k])) throw NonNumericField{};
  }
  PackRow(values + 1, p, matrix.Values[i] + 1);
  for (int k = 1; k <= p; ++k) lowest[k] = values[k] < lowest[k] ? values[k] : lowest[k];
  if (settings.Constrained) matrix.Depth[i] = StorageReal::FromRounded(depth);
}

// Rows go to threads in pieces of this many, each piece with its own lowest values.
constexpr int RowsPerPiece = 8;
constexpr int MaxPieces = (MaxObjects + RowsPerPiece - 1) / RowsPerPiece;

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
  // Pieces of rows go to threads; a row that cannot be read stops the run as the first such
  // row would in a single pass.
  const int pieces = (n + RowsPerPiece - 1) / RowsPerPiece;
  double lowest[MaxPieces][MaxVariables + 1];
  try {
    RunShared(0, pieces, ThreadsFor(std::int64_t{n} * p, 8000), [&](int piece) {
      double* const pieceLowest = lowest[piece];
      std::fill(pieceLowest + 1, pieceLowest + p + 1, 0.0);
      const int last = std::min(n, (piece + 1) * RowsPerPiece);
      std::string_view texts[MaxVariables + 1];
      for (int i = piece * RowsPerPiece + 1; i <= last; ++i)
        ExtractRow(source, settings, i, matrix, pieceLowest, texts);
    });
  } catch (const NonNumericField&) {
    return ParsingError("Data file contains non-numeric fields");
  }
  for (int i = 1; i <= n; ++i)
    matrix.MaxLabelLength = std::max(matrix.MaxLabelLength, CharacterCount(matrix.Labels[i]));
  // Each variable's lowest value, if below 0, is its chord offset (the pieces' in turn, a row
  // of variables at a time).
  double least[MaxVariables + 1] = {};
  for (int piece = 0; piece < pieces; ++piece)
    for (int k = 1; k <= p; ++k) least[k] = std::min(least[k], lowest[piece][k]);
  for (int k = 1; k <= p; ++k)
    if (least[k] < 0) matrix.ChordOffset[k] = StorageReal::FromRounded(least[k]);
  return std::nullopt;
}

void SortByDepth(DataMatrix& matrix, WorkingState& work) {
  // A stable sort: objects of equal depth keep their grid order. Rows already in order stay;
  // the others move along the permutation's cycles, each once, the first of a cycle through
  // work's spare row.
  const int n = matrix.ObjectCount, p = matrix.VariableCount;
  double depth[MaxObjects + 1];
  for (int i = 1; i <= n; ++i) depth[i] = matrix.Depth[i].ToDouble();
  if (std::is_sorted(depth + 1, depth + n + 1)) return;
  int order[MaxObjects + 1];  // order[i]: the object that goes to place i
  std::iota(order + 1, order + n + 1, 1);
  std::stable_sort(order + 1, order + n + 1, [&](int a, int b) { return depth[a] < depth[b]; });
  DataMatrix& spare = work.SortedRows;
  const auto move = [&](DataMatrix& to, int at, DataMatrix& from, int object) {
    std::copy(from.Values[object] + 1, from.Values[object] + p + 1, to.Values[at] + 1);
    to.Depth[at] = from.Depth[object];
    to.Labels[at] = std::move(from.Labels[object]);
    to.GridRow[at] = from.GridRow[object];
  };
  for (int start = 1; start <= n; ++start) {
    if (order[start] == start) continue;
    move(spare, 0, matrix, start);
    int at = start;
    for (; order[at] != start; at = std::exchange(order[at], at))
      move(matrix, at, matrix, order[at]);
    move(matrix, at, spare, 0);
    order[at] = at;
  }
}

}  // namespace vardell
