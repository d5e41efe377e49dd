#include "engine/zonation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/fileloading.h"
#include "analysis/parameterchoices.h"
#include "engine/analysisrun.h"

namespace vardell {
namespace {

// One fusion of a hand-made tree: clusters are the objects 1..n and, for fusion s, n + s.
// Child2 is the one drawn above.
struct Fusion {
  int Upper, Lower;
  double Level;
};

std::unique_ptr<ClusterNode> BuildTree(int n, const std::vector<Fusion>& fusions) {
  std::vector<std::unique_ptr<ClusterNode>> clusters(n + fusions.size() + 1);
  for (int o = 1; o <= n; ++o) {
    clusters[o] = std::make_unique<ClusterNode>();
    clusters[o]->FirstObject = o;
  }
  for (std::size_t s = 1; s <= fusions.size(); ++s) {
    auto node = std::make_unique<ClusterNode>();
    node->Child2 = std::move(clusters[fusions[s - 1].Upper]);
    node->Child1 = std::move(clusters[fusions[s - 1].Lower]);
    node->Size = node->Child1->Size + node->Child2->Size;
    node->FirstObject = std::min(node->Child1->FirstObject, node->Child2->FirstObject);
    node->Level = fusions[s - 1].Level;
    node->Step = static_cast<int>(s);
    clusters[n + s] = std::move(node);
  }
  return std::move(clusters.back());
}

// "3 4|1 2": the groups in their numbered order, each with its objects in diagram order.
std::string GroupsText(const TreeCut& cut) {
  std::string text;
  for (const Group& group : cut.Groups) {
    if (!text.empty()) text += '|';
    for (std::size_t i = 0; i < group.Objects.size(); ++i)
      text += (i ? " " : "") + std::to_string(group.Objects[i]);
  }
  return text;
}

constexpr std::optional<double> NoLine = std::nullopt;

// Ordinary run, objects drawn 3, 4, 1, 2 from the top: ((3 4) (1 2)).
const std::vector<Fusion> FourObjects = {{1, 2, 1}, {3, 4, 2}, {6, 5, 5}};
// Centroid-like reversal: the second fusion lies below the first.
const std::vector<Fusion> ThreeReversed = {{1, 2, 3}, {4, 3, 2}};
// Levels reverse at step 2, so cutting by level would give other groups than by number.
const std::vector<Fusion> FourReversed = {{1, 2, 4}, {3, 4, 3}, {5, 6, 5}};
// Constrained: depth order 1..5, shallower clusters above.
const std::vector<Fusion> FiveZones = {{1, 2, 1}, {4, 5, 2}, {6, 3, 4}, {8, 7, 9}};

struct CutCase {
  const char* Name;
  int N;
  std::vector<Fusion> Fusions;
  bool Constrained;
  int K;
  std::string Groups;
  std::optional<double> CutLevel;
  std::vector<int> GroupOf;  // by object 1..n
};

const CutCase CutCases[] = {
    {"OneGroup", 4, FourObjects, false, 1, "3 4 1 2", NoLine, {1, 1, 1, 1}},
    {"TwoGroupsInDiagramOrder", 4, FourObjects, false, 2, "3 4|1 2", 3.5, {2, 2, 1, 1}},
    {"ThreeGroups", 4, FourObjects, false, 3, "3|4|1 2", 1.5, {3, 3, 1, 2}},
    {"EveryObjectAlone", 4, FourObjects, false, 4, "3|4|1|2", 0.5, {3, 4, 1, 2}},
    {"ReversalDrawsNoLine", 3, ThreeReversed, false, 2, "1 2|3", NoLine, {1, 1, 2}},
    {"ReversalAllAlone", 3, ThreeReversed, false, 3, "1|2|3", 1.0, {1, 2, 3}},
    {"CutByNumberNotLevel", 4, FourReversed, false, 3, "1 2|3|4", NoLine, {1, 1, 2, 3}},
    {"ReversalBelowTheCut", 4, FourReversed, false, 2, "1 2|3 4", 4.5, {1, 1, 2, 2}},
    {"SingleObject", 1, {}, false, 1, "1", NoLine, {1}},
    {"TwoObjectsTogether", 2, {{2, 1, 6}}, false, 1, "2 1", NoLine, {1, 1}},
    {"TwoObjectsApart", 2, {{2, 1, 6}}, false, 2, "2|1", 3.0, {2, 1}},
    {"ZonesFromTheTop", 5, FiveZones, true, 2, "1 2 3|4 5", 6.5, {1, 1, 1, 2, 2}},
    {"ThreeZones", 5, FiveZones, true, 3, "1 2|3|4 5", 3.0, {1, 1, 2, 3, 3}},
    // Drawn deeper cluster first, the zones still count from the shallowest.
    {"ZonesSortedByDepth", 3, {{3, 2, 1}, {4, 1, 2}}, true, 3, "1|2|3", 0.5, {1, 2, 3}},
    {"EqualLevelsDrawNoLine", 3, {{1, 2, 2}, {4, 3, 2}}, false, 2, "1 2|3", NoLine, {1, 1, 2}},
};

TEST(CutTreeTest, UndoesTheLastFusionsByNumber) {
  for (const CutCase& c : CutCases) {
    SCOPED_TRACE(c.Name);
    const auto root = BuildTree(c.N, c.Fusions);
    const TreeCut cut = CutTree(root.get(), c.N, c.K, c.Constrained);
    EXPECT_EQ(GroupsText(cut), c.Groups);
    EXPECT_EQ(cut.CutLevel, c.CutLevel);
    const std::vector<int> groupOf = GroupOfObjects(cut, c.N);
    EXPECT_EQ(std::vector<int>(groupOf.begin() + 1, groupOf.end()), c.GroupOf);
  }
}

TEST(CutTreeTest, RefusesGroupCountsOutsideOneToN) {
  const auto root = BuildTree(4, FourObjects);
  for (int k : {0, -1, 5})
    EXPECT_THROW(CutTree(root.get(), 4, k, false), std::invalid_argument) << k;
  EXPECT_THROW(CutTree(nullptr, 0, 1, false), std::invalid_argument);
}

struct ZoneRow {
  int First, Last, Samples;
  double Top, Bottom;
  std::optional<double> Boundary;
};

struct ZoneCase {
  const char* Name;
  std::vector<double> Depths;
  std::vector<Fusion> Fusions;
  int K;
  std::vector<ZoneRow> Zones;
};

const ZoneCase ZoneCases[] = {
    {"TwoZones",
     {10, 11, 12, 14, 20},
     FiveZones,
     2,
     {{1, 3, 3, 10, 12, 13.0}, {4, 5, 2, 14, 20, NoLine}}},
    {"ThreeZones",
     {10, 11, 12, 14, 20},
     FiveZones,
     3,
     {{1, 2, 2, 10, 11, 11.5}, {3, 3, 1, 12, 12, 13.0}, {4, 5, 2, 14, 20, NoLine}}},
    {"OneZone", {10, 11, 12, 14, 20}, FiveZones, 1, {{1, 5, 5, 10, 20, NoLine}}},
    {"EqualDepthsAtTheBoundary",
     {1, 2, 2, 3},
     {{1, 2, 1}, {3, 4, 1.5}, {5, 6, 4}},
     2,
     {{1, 2, 2, 1, 2, 2.0}, {3, 4, 2, 2, 3, NoLine}}},
    {"NegativeDepths",
     {-7.5, -0.25},
     {{1, 2, 1}},
     2,
     {{1, 1, 1, -7.5, -7.5, -3.875}, {2, 2, 1, -0.25, -0.25, NoLine}}},
    {"SingleSample", {42}, {}, 1, {{1, 1, 1, 42, 42, NoLine}}},
};

TEST(ZonesOfTest, ZonesAndBoundariesFromTheTop) {
  auto matrix = std::make_unique<DataMatrix>();  // large; off the stack
  for (const ZoneCase& c : ZoneCases) {
    SCOPED_TRACE(c.Name);
    const int n = static_cast<int>(c.Depths.size());
    matrix->ObjectCount = n;
    for (int o = 1; o <= n; ++o) matrix->Depth[o] = c.Depths[o - 1];
    const auto root = BuildTree(n, c.Fusions);
    const std::vector<Zone> zones = ZonesOf(CutTree(root.get(), n, c.K, true), *matrix);
    ASSERT_EQ(zones.size(), c.Zones.size());
    for (std::size_t z = 0; z < zones.size(); ++z) {
      SCOPED_TRACE(z + 1);
      const ZoneRow& e = c.Zones[z];
      EXPECT_EQ(zones[z].FirstObject, e.First);
      EXPECT_EQ(zones[z].LastObject, e.Last);
      EXPECT_EQ(zones[z].Samples, e.Samples);
      EXPECT_EQ(zones[z].TopDepth, e.Top);
      EXPECT_EQ(zones[z].BottomDepth, e.Bottom);
      EXPECT_EQ(zones[z].BoundaryBelow, e.Boundary);
    }
  }
}

// Broken stick

struct StickCase {
  const char* Name;
  std::vector<double> Levels;                // running totals by fusion number
  std::vector<double> Reductions, Expected;  // g = 2..m
  int Suggestion;
};

// With m fusions and total T, E_g = T / m * (1/(g-1) + ... + 1/m).
const StickCase StickCases[] = {
    {"FirstSplitOnly", {1, 2, 4, 10}, {6, 2, 1}, {2.5 * 25 / 12, 2.5 * 13 / 12, 2.5 * 7 / 12}, 2},
    {"NoSplitBeatsTheStick",
     {3, 6, 9, 10},
     {1, 3, 3},
     {2.5 * 25 / 12, 2.5 * 13 / 12, 2.5 * 7 / 12},
     1},
    // The fourth row beats its expectation, but the third does not: the run stops there.
    {"StopsAtTheFirstFailure",
     {1, 5, 6, 13},
     {7, 1, 4},
     {3.25 * 25 / 12, 3.25 * 13 / 12, 3.25 * 7 / 12},
     2},
    {"EveryRowBeatsIt", {0.5, 8}, {7.5}, {8 * 1.5 / 2}, 2},
    {"EqualIsNotEnough", {2, 8}, {6}, {6}, 1},
    {"AllIdentical", {0, 0, 0}, {0, 0}, {0, 0}, 1},
    {"TwoObjectsHaveNoRows", {5}, {}, {}, 1},
    {"OneObjectHasNoRows", {}, {}, {}, 1},
};

TEST(BrokenStickTest, ReductionsExpectationsAndSuggestion) {
  for (const StickCase& c : StickCases) {
    SCOPED_TRACE(c.Name);
    const int n = static_cast<int>(c.Levels.size()) + 1;
    std::vector<Fusion> fusions;  // a constrained chain: each fusion takes in the next sample
    for (int s = 1; s <= n - 1; ++s)
      fusions.push_back({s == 1 ? 1 : n + s - 1, s + 1, c.Levels[s - 1]});
    const auto root = BuildTree(n, fusions);
    const BrokenStick stick = BrokenStickTable(root.get(), n);
    ASSERT_EQ(stick.Rows.size(), c.Reductions.size());
    for (std::size_t r = 0; r < stick.Rows.size(); ++r) {
      SCOPED_TRACE(r + 2);
      EXPECT_EQ(stick.Rows[r].Groups, static_cast<int>(r) + 2);
      EXPECT_EQ(stick.Rows[r].Reduction, c.Reductions[r]);
      EXPECT_NEAR(stick.Rows[r].Expected, c.Expected[r], 1e-15 * (1 + c.Expected[r]));
    }
    EXPECT_EQ(stick.Suggestion, c.Suggestion);
  }
}

TEST(BrokenStickTest, AppliesToConstrainedMinimumVarianceOnly) {
  for (const StrategyMethod& strategy : Strategies) {
    for (bool constrained : {false, true}) {
      AnalysisSettings settings;
      settings.Strategy = strategy.Code;
      settings.Constrained = constrained;
      EXPECT_EQ(BrokenStickApplies(settings),
                constrained && strategy.Code == StrategyCode::MinimumVariance);
    }
  }
}

// The total within-zone sum of squares of every number of zones, by merging neighbours
// greedily straight from the data values: a constrained minimum-variance run without the
// dissimilarity table, the tree or its levels.
std::vector<double> WithinZoneSquares(const DataMatrix& m) {
  struct Run {
    int First, Last;
  };
  const auto squares = [&](Run run) {
    double total = 0;
    for (int k = 1; k <= m.VariableCount; ++k) {
      double mean = 0;
      for (int i = run.First; i <= run.Last; ++i) mean += m.Values[i][k].ToDouble();
      mean /= run.Last - run.First + 1;
      for (int i = run.First; i <= run.Last; ++i) {
        const double d = m.Values[i][k].ToDouble() - mean;
        total += d * d;
      }
    }
    return total;
  };
  std::vector<Run> runs;
  for (int i = 1; i <= m.ObjectCount; ++i) runs.push_back({i, i});
  std::vector<double> within(m.ObjectCount + 1, 0.0);  // [g]: with g zones
  double total = 0;
  while (runs.size() > 1) {
    std::size_t best = 0;
    double bestIncrease = std::numeric_limits<double>::infinity();
    for (std::size_t r = 0; r + 1 < runs.size(); ++r) {
      const double increase =
          squares({runs[r].First, runs[r + 1].Last}) - squares(runs[r]) - squares(runs[r + 1]);
      if (increase < bestIncrease) bestIncrease = increase, best = r;
    }
    runs[best].Last = runs[best + 1].Last;
    runs.erase(runs.begin() + static_cast<long>(best) + 1);
    total += bestIncrease;
    within[runs.size()] = total;
  }
  return within;
}

TEST(BrokenStickTest, RealCoreAgreesWithAnIndependentCalculation) {
  DataGrid grid;
  ColumnLists lists;
  ResetColumnLists(lists);
  ASSERT_FALSE(LoadDataFile(std::string(VARDELL_DATA_DIR) + "/ABER.DAT", grid, lists));
  ParameterChoices source(grid, lists);  // minimum variance, Euclidean, all columns
  source.Constrained = true;             // depth in column 1
  auto store = std::make_unique<AnalysisStore>();
  ASSERT_FALSE(RunAnalysis(source, *store));
  const Analysis& run = store->Current();
  const int n = run.Matrix.ObjectCount, m = n - 1;
  ASSERT_EQ(n, 49);

  const std::vector<double> within = WithinZoneSquares(run.Matrix);
  const double total = within[1];
  const BrokenStick stick = BrokenStickTable(run.TreeRoot.get(), n);
  ASSERT_EQ(static_cast<int>(stick.Rows.size()), m - 1);
  int suggestion = 1;
  bool stillAbove = true;
  for (int g = 2; g <= m; ++g) {
    SCOPED_TRACE(g);
    const double reduction = within[g - 1] - within[g];
    double expected = 0;
    for (int i = g - 1; i <= m; ++i) expected += total / m / i;
    const BrokenStickRow& row = stick.Rows[g - 2];
    EXPECT_NEAR(static_cast<double>(row.Reduction), reduction, 1e-8 * total);
    EXPECT_NEAR(static_cast<double>(row.Expected), expected, 1e-8 * total);
    stillAbove = stillAbove && reduction > expected;
    if (stillAbove) suggestion = g;
  }
  EXPECT_EQ(stick.Suggestion, suggestion);
  EXPECT_GE(stick.Suggestion, 2);  // the core does hold zones
}

}  // namespace
}  // namespace vardell
