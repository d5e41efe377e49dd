#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/cellparse.h"
#include "analysis/extraction.h"
#include "analysis/parameterchoices.h"
#include "support_grid.h"

namespace vardell {
namespace {

using testing::MakeTable;

struct Extracted {
  std::optional<UserMessage> Message;
  std::unique_ptr<Analysis> Data = std::make_unique<Analysis>();
};

// Runs the extraction with data columns given by position (empty: all selected).
Extracted Extract(testing::LoadedTable& table, bool constrained, int depthEntry = 0,
                  int idEntry = 0, std::vector<int> dataEntries = {}, int algo = 0, int dist = 0) {
  table.Lists.Depth.SelectOnly(depthEntry);
  table.Lists.Id.SelectOnly(idEntry);
  if (!dataEntries.empty()) {
    for (int e = 0; e < table.Lists.DataCol.Count(); ++e) table.Lists.DataCol.SetSelected(e, false);
    for (int e : dataEntries) table.Lists.DataCol.SetSelected(e, true);
  }
  ParameterChoices source(table.Grid, table.Lists);
  source.Constrained = constrained;
  source.Algo.SelectOnly(algo);
  source.Dist.SelectOnly(dist);
  Extracted result;
  result.Message = ExtractDataMatrix(source, *result.Data);
  return result;
}

UserMessage Parsing(const char* text) { return {"DATA PARSING ERROR", text}; }

TEST(ExtractDataMatrix, RefusesWithTheProgramsMessages) {
  auto numbers = MakeTable({"D", "A", "B"}, {{"1", "2", "3"}, {"2", "4", "5"}});
  auto textCell = MakeTable({"D", "A", "B"}, {{"1", "2", "3"}, {"2", "x y", "5"}});
  auto textDepth = MakeTable({"D", "A", "B"}, {{"1", "2", "3"}, {"two", "4", "5"}});
  auto noRows = MakeTable({"A", "B"}, {});
  std::vector<std::string> many(151, "V");
  auto wide = MakeTable(many, {std::vector<std::string>(151, "1")});
  struct Case {
    const char* name;
    testing::LoadedTable* table;
    bool constrained;
    std::vector<int> data;
    UserMessage message;
  } cases[] = {
      {"one data column",
       &numbers,
       false,
       {1},
       Parsing("You should select at least 2 datacolumns.")},
      {"depth column passed over",
       &numbers,
       true,
       {0, 1},
       Parsing("You should select at least 2 datacolumns.")},
      {"non-numeric data cell",
       &textCell,
       true,
       {},
       Parsing("Data file contains non-numeric fields")},
      {"non-numeric depth cell",
       &textDepth,
       true,
       {},
       Parsing("Data file contains non-numeric fields")},
      {"no objects", &noRows, false, {}, Parsing("Data file contains no objects.")},
      {"over 150 columns", &wide, false, {}, Parsing("You should select at most 150 datacolumns.")},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Extracted result = Extract(*c.table, c.constrained, 0, 0, c.data);
    ASSERT_TRUE(result.Message.has_value());
    EXPECT_EQ(*result.Message, c.message);
  }
}

// A large table is read by several threads; the first faulty row in the grid still decides
// what the run reports, an unreadable cell or a number too large, as a single pass would.
TEST(ExtractDataMatrix, LargeTableFailsAtItsFirstFaultyRow) {
  const std::vector<std::string> names(100, "V");
  const std::vector<std::string> row(100, "1.5");
  struct Case {
    const char* name;
    int textRow, hugeRow;  // grid rows from 1; 0: none
    bool overflow;         // else the non-numeric message, else none
    bool message;
  } cases[] = {
      {"text first", 40, 160, false, true},
      {"overflow first", 160, 40, true, false},
      {"text only, last row", 200, 0, false, true},
      {"none", 0, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::vector<std::string>> rows(200, row);
    if (c.textRow) rows[c.textRow - 1][7] = "x y";
    if (c.hugeRow) rows[c.hugeRow - 1][3] = "1e39";
    auto table = MakeTable(names, rows);
    if (c.overflow) {
      EXPECT_THROW(Extract(table, false), FloatingPointOverflow);
      continue;
    }
    Extracted result = Extract(table, false);
    EXPECT_EQ(result.Message.has_value(), c.message);
    if (c.message) {
      EXPECT_EQ(*result.Message, Parsing("Data file contains non-numeric fields"));
    } else {
      EXPECT_EQ(result.Data->Matrix.Values[200][100].ToDouble(), 1.5);
    }
  }
}

// A parameter source with only what every source must have: the row's texts come one cell
// at a time.
class CellByCellSource : public ParameterSource {
 public:
  explicit CellByCellSource(const ParameterSource& inner) : inner_(inner) {}
  int EntryCount(ChoiceList list) const override { return inner_.EntryCount(list); }
  bool IsSelected(ChoiceList list, int position) const override {
    return inner_.IsSelected(list, position);
  }
  bool ConstrainedChecked() const override { return inner_.ConstrainedChecked(); }
  int RowCount() const override { return inner_.RowCount(); }
  const std::string& CellText(int column, int row) const override {
    return inner_.CellText(column, row);
  }

 private:
  const ParameterSource& inner_;
};

// Every cell stored as its own parse stores it, each chord offset the lowest value below 0,
// whichever way the texts come and however the rows are shared.
TEST(ExtractDataMatrix, StoresEveryCellAsItsParse) {
  const char* const shapes[] = {"12.34567891", "-5.123456789",
                                "0",           "7",
                                "-0.25",       "  3.5",
                                "1.5E3",       "2,5",
                                "-1e-3",       "0.12345678901234567890",
                                "-18.75",      "+4",
                                ".5",          "-123456789012345",
                                "-0",          "1e-38",
                                "-3e-39",      "1.7e38"};
  const int rows = 45, columns = 30;
  std::vector<std::string> names(columns, "V");
  std::vector<std::vector<std::string>> cells(rows, std::vector<std::string>(columns));
  for (int i = 0; i < rows; ++i)
    for (int k = 0; k < columns; ++k)
      cells[i][k] = shapes[(i * 7 + k * 3 + i * k) % std::size(shapes)];
  for (bool constrained : {false, true}) {
    for (bool cellByCell : {false, true}) {
      SCOPED_TRACE(::testing::Message()
                   << "constrained " << constrained << " one cell at a time " << cellByCell);
      auto table = MakeTable(names, cells);
      ParameterChoices choices(table.Grid, table.Lists);
      choices.Constrained = constrained;
      const CellByCellSource oneByOne(choices);
      const ParameterSource& source = cellByCell ? static_cast<const ParameterSource&>(oneByOne)
                                                 : static_cast<const ParameterSource&>(choices);
      auto analysis = std::make_unique<Analysis>();
      ASSERT_FALSE(ExtractDataMatrix(source, *analysis));
      const DataMatrix& m = analysis->Matrix;
      const int first = constrained ? 1 : 0;  // the depth column is no variable
      ASSERT_EQ(m.VariableCount, columns - first);
      for (int k = 1; k <= m.VariableCount; ++k) {
        double lowest = 0;
        for (int i = 1; i <= rows; ++i) {
          const StorageReal parsed = ParseCellValue(cells[i - 1][k - 1 + first]).Value;
          ASSERT_EQ(m.Values[i][k].Bytes(), parsed.Bytes()) << i << " " << k;
          lowest = std::min(lowest, parsed.ToDouble());
        }
        EXPECT_EQ(m.ChordOffset[k].Bytes(), StorageReal(lowest).Bytes()) << k;
      }
      for (int i = 1; i <= rows; ++i) {
        EXPECT_EQ(m.GridRow[i], i);
        if (constrained) {
          EXPECT_EQ(m.Depth[i].Bytes(), ParseCellValue(cells[i - 1][0]).Value.Bytes());
          EXPECT_EQ(m.Labels[i], cells[i - 1][0]);
        } else {
          EXPECT_EQ(m.Labels[i], (i < 10 ? "  " : " ") + std::to_string(i));
        }
      }
    }
  }
}

// A data column the grid does not have (the lists and the grid disagree) fails the run where
// its cell is met, after the cells before it.
TEST(ExtractDataMatrix, AColumnBeyondTheGridFailsInItsTurn) {
  for (bool textBefore : {false, true}) {
    for (bool cellByCell : {false, true}) {
      auto table = MakeTable({"A", "B", "C"}, {{"1", textBefore ? "x y" : "2", "3"}});
      table.Lists.DataCol.Add("D");  // grid column 4, which does not exist
      table.Lists.DataCol.SelectAll();
      ParameterChoices choices(table.Grid, table.Lists);
      const CellByCellSource oneByOne(choices);
      const ParameterSource& source = cellByCell ? static_cast<const ParameterSource&>(oneByOne)
                                                 : static_cast<const ParameterSource&>(choices);
      auto analysis = std::make_unique<Analysis>();
      if (textBefore) {
        EXPECT_EQ(ExtractDataMatrix(source, *analysis),
                  Parsing("Data file contains non-numeric fields"));
      } else {
        EXPECT_THROW(ExtractDataMatrix(source, *analysis), std::out_of_range);
      }
    }
  }
}

TEST(ExtractDataMatrix, ReadsSettingsByListPosition) {
  auto table = MakeTable({"D", "A", "B", "C"}, {{"1", "2", "3", "4"}, {"2", "4", "5", "6"}});
  using enum StrategyCode;
  using enum CoefficientCode;
  const StrategyCode strategies[] = {MinimumVariance, FurthestNeighbour, NearestNeighbour,
                                     CentroidSorting, WeightedPairgroup, UnweightedPairgroup};
  const CoefficientCode coefficients[] = {Euclidean, Chord, Manhattan};
  for (int algo = 0; algo < 6; ++algo) {
    for (int dist = 0; dist < 3; ++dist) {
      Extracted r = Extract(table, false, 2, 3, {}, algo, dist);
      ASSERT_FALSE(r.Message);
      EXPECT_EQ(r.Data->Settings.Strategy, strategies[algo]);
      EXPECT_EQ(r.Data->Settings.Coefficient, coefficients[dist]);
      EXPECT_EQ(r.Data->Settings.DepthColumn, 3);
      EXPECT_EQ(r.Data->Settings.IdColumn, 3);
    }
  }
}

TEST(ExtractDataMatrix, ConstrainedRunPassesOverTheDepthColumnAndLabelsByDepthText) {
  auto table = MakeTable({"A", "DEPTH", "B", "C"},
                         {{"1", " 3.0", "5", "x"}, {"2", "1", "6", "y"}, {"3", "2", "-7", "z"}});
  Extracted r = Extract(table, true, /*depth*/ 1, /*id*/ 4, {0, 1, 2});
  ASSERT_FALSE(r.Message);
  const DataMatrix& m = r.Data->Matrix;
  EXPECT_EQ(m.VariableCount, 2);
  EXPECT_EQ(r.Data->Settings.DataColumns[1], 1);
  EXPECT_EQ(r.Data->Settings.DataColumns[2], 3);
  EXPECT_EQ(m.Labels[1], " 3.0");  // used as it stands, not trimmed; the id list is not read
  EXPECT_EQ(m.MaxLabelLength, 4);
  EXPECT_EQ(m.ChordOffset[1].ToDouble(), 0);
  EXPECT_EQ(m.ChordOffset[2].ToDouble(), -7);

  SortByDepth(r.Data->Matrix, *std::make_unique<WorkingState>());
  const char* labels[] = {"", "1", "2", " 3.0"};
  const double first[] = {0, 2, 3, 1};
  const double depth[] = {0, 1, 2, 3};
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(m.Labels[i], labels[i]);
    EXPECT_EQ(m.Values[i][1].ToDouble(), first[i]);
    EXPECT_EQ(m.Depth[i].ToDouble(), depth[i]);
  }
}

TEST(ExtractDataMatrix, LabelsOfAnOrdinaryRun) {
  auto table = MakeTable({"ID", "A", "B"}, {{"core 7 ", "1", "2"}, {"x", "3", "4"}});
  Extracted none = Extract(table, false, 0, 0, {1, 2});
  ASSERT_FALSE(none.Message);
  EXPECT_EQ(none.Data->Matrix.Labels[1], "  1");
  EXPECT_EQ(none.Data->Matrix.Labels[2], "  2");
  EXPECT_EQ(none.Data->Matrix.MaxLabelLength, 3);
  Extracted named = Extract(table, false, 0, 1, {1, 2});
  ASSERT_FALSE(named.Message);
  EXPECT_EQ(named.Data->Matrix.Labels[1], "core 7 ");
  EXPECT_EQ(named.Data->Matrix.MaxLabelLength, 7);
}

TEST(SortByDepth, IsStableForEqualDepths) {
  auto table = MakeTable(
      {"D", "A", "B"},
      {{"2", "1", "0"}, {"1", "2", "0"}, {"2", "3", "0"}, {"1", "4", "0"}, {"0", "5", "0"}});
  Extracted r = Extract(table, true, 0, 0, {1, 2});
  ASSERT_FALSE(r.Message);
  SortByDepth(r.Data->Matrix, *std::make_unique<WorkingState>());
  const int order[] = {0, 5, 2, 4, 1, 3};
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(r.Data->Matrix.Values[i][1].ToDouble(), order[i]);
    EXPECT_EQ(r.Data->Matrix.GridRow[i], order[i]);
  }
}

// Rows move along the cycles of the reordering, or not at all where they are in order; each
// ends where a stable sort of the depths puts it, with its values, label and grid row.
TEST(SortByDepth, MovesEveryRowWithItsParts) {
  const std::vector<std::vector<std::string>> depthColumns = {
      {"1", "2", "2", "3"},                      // in order already
      {"4", "3", "2", "1", "0"},                 // reversed: cycles of two and one of one
      {"2", "3", "1", "5", "6", "4", "0"},       // several longer cycles
      {"7", "7", "7"},                           // all equal
      {"-1.5", "0", "-2", "0", "-1.5", "1e-3"},  // negatives and ties
  };
  for (const auto& depths : depthColumns) {
    const int n = static_cast<int>(depths.size());
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < n; ++i)
      rows.push_back({depths[i], std::to_string(10 * (i + 1)), std::to_string(-i - 1)});
    auto table = MakeTable({"D", "A", "B"}, rows);
    Extracted r = Extract(table, true, 0, 0, {1, 2});
    ASSERT_FALSE(r.Message);
    std::vector<int> expected(n);
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
      return ParseCellValue(depths[a]).Value.ToDouble() <
             ParseCellValue(depths[b]).Value.ToDouble();
    });
    SortByDepth(r.Data->Matrix, *std::make_unique<WorkingState>());
    const DataMatrix& m = r.Data->Matrix;
    for (int i = 1; i <= n; ++i) {
      const int from = expected[i - 1];
      SCOPED_TRACE(::testing::Message() << depths.size() << " depths, place " << i);
      EXPECT_EQ(m.GridRow[i], from + 1);
      EXPECT_EQ(m.Labels[i], depths[from]);
      EXPECT_EQ(m.Depth[i].Bytes(), ParseCellValue(depths[from]).Value.Bytes());
      EXPECT_EQ(m.Values[i][1].ToDouble(), 10 * (from + 1));
      EXPECT_EQ(m.Values[i][2].ToDouble(), -from - 1);
    }
  }
}

}  // namespace
}  // namespace vardell
