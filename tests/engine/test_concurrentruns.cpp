// Runs on separate analysis stores share no state: several at once on separate threads give
// exactly the trees they give one after the other.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../analysis/support_grid.h"
#include "analysis/methods.h"
#include "analysis/parameterchoices.h"
#include "engine/analysisrun.h"
#include "support_engine.h"

namespace vardell {
namespace {

// 60 objects with shuffled depths in column 1 and 12 variables of random values.
testing::LoadedTable RandomTable() {
  constexpr int Objects = 60, Variables = 12;
  std::vector<std::string> names{"DEPTH"};
  for (int v = 1; v <= Variables; ++v) names.push_back("V" + std::to_string(v));
  std::vector<std::vector<std::string>> rows;
  std::uint64_t state = 7;
  for (int o = 1; o <= Objects; ++o) {
    std::vector<std::string> row{std::to_string((o * 37) % Objects)};
    for (int v = 1; v <= Variables; ++v)
      row.push_back(std::to_string(static_cast<double>(testing::NextRandom(state) >> 40) / 1e4));
    rows.push_back(row);
  }
  return testing::MakeTable(names, rows);
}

// The tree's shape with every level and position to the last bit.
std::string TreeText(const ClusterNode& root) {
  std::vector<double> levels, positions;
  testing::Collect(root, levels, positions);
  std::ostringstream text;
  text << testing::Shape(root) << std::hexfloat;
  for (double level : levels) text << ' ' << level;
  for (double position : positions) text << ' ' << position;
  return text.str();
}

struct RunChoice {
  StrategyCode Strategy;
  CoefficientCode Coefficient;
  bool Constrained;
};

std::string RunOnce(const testing::LoadedTable& table, const RunChoice& choice) {
  ColumnLists lists = table.Lists;
  if (!choice.Constrained) lists.DataCol.SetSelected(0, false);
  ParameterChoices source(table.Grid, lists);
  source.Algo.SelectOnly(PositionOf(choice.Strategy));
  source.Dist.SelectOnly(PositionOf(choice.Coefficient));
  source.Constrained = choice.Constrained;
  AnalysisStore store;
  if (auto message = RunAnalysis(source, store)) return message->Text;
  return TreeText(*store.Current().TreeRoot);
}

TEST(ConcurrentRuns, GiveTheTreesOfRunsOneAfterTheOther) {
  const testing::LoadedTable table = RandomTable();
  // Constrained runs sort by depth; Chord, Manhattan and Euclidean prepare different tables.
  const RunChoice choices[] = {{StrategyCode::MinimumVariance, CoefficientCode::Euclidean, true},
                               {StrategyCode::CentroidSorting, CoefficientCode::Chord, false},
                               {StrategyCode::FurthestNeighbour, CoefficientCode::Manhattan, true},
                               {StrategyCode::UnweightedPairgroup, CoefficientCode::Chord, true}};
  std::vector<std::string> expected;
  for (const RunChoice& choice : choices) expected.push_back(RunOnce(table, choice));

  constexpr int Repeats = 5;
  std::vector<std::vector<std::string>> got(std::size(choices));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < std::size(choices); ++t)
    threads.emplace_back([&, t] {
      for (int r = 0; r < Repeats; ++r) got[t].push_back(RunOnce(table, choices[t]));
    });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < std::size(choices); ++t) {
    EXPECT_EQ(expected[t].substr(0, 1), "(") << expected[t];  // a tree, not a message
    EXPECT_EQ(got[t], std::vector<std::string>(Repeats, expected[t])) << "run " << t;
  }
}

}  // namespace
}  // namespace vardell
