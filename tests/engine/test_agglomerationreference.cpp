// The agglomeration against a plain reference that searches every active pair at every
// fusion (the search the engine used before it kept nearest neighbours): the same fusions in
// the same order, the same levels to the byte, the same children's order and the same final
// table, on matrices full of exact ties and, for the centroid, with reversals.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/agglomeration.h"
#include "support_engine.h"

namespace vardell {
namespace {

using Bytes = std::array<std::uint8_t, 6>;
using enum StrategyCode;

struct Fusion {
  int I = 0, J = 0;
  Bytes Level{};
  bool operator==(const Fusion&) const = default;
};

struct Outcome {
  std::vector<Fusion> Fusions;  // in the order they happen
  std::string Shape;
  std::vector<Bytes> Table;  // the upper triangle afterwards
  std::string Error;
};

std::vector<Bytes> UpperTriangle(const DissimilarityMatrix& d, int n) {
  std::vector<Bytes> table;
  for (int a = 1; a < n; ++a)
    for (int b = a + 1; b <= n; ++b) table.push_back(d.D[a][b].Bytes());
  return table;
}

LanceWilliams ReferenceCoefficients(StrategyCode strategy, int ni, int nj, int nk) {
  switch (strategy) {
    case NearestNeighbour: return {0.5, 0.5, 0.0, -0.5};
    case FurthestNeighbour: return {0.5, 0.5, 0.0, 0.5};
    case WeightedPairgroup: return {0.5, 0.5, 0.0, 0.0};
    case UnweightedPairgroup: return SetUnweightedCoefficients(ni, nj);
    case CentroidSorting: return SetCentroidCoefficients(ni, nj);
    case MinimumVariance: return SetMinimumVarianceCoefficients(ni, nj, nk);
  }
  return {};
}

StorageReal ReferenceLevel(StrategyCode strategy, bool constrained, StorageReal dij,
                           StorageReal& total) {
  switch (FindStrategy(strategy)->Level) {
    case FusionLevelRule::SquareRoot: return StoredSquareRoot(dij.ToDouble());
    case FusionLevelRule::Dispersion:
      if (!constrained) return dij.ToDouble() * 0.5;
      return total = StoredSum(total.ToDouble(), dij.ToDouble() * 0.5);
    case FusionLevelRule::Dissimilarity: break;
  }
  return dij;
}

// The full search at every fusion, the updates in list order.
Outcome Reference(StrategyCode strategy, bool constrained, int n, DissimilarityMatrix& d) {
  Outcome outcome;
  int active[MaxObjects + 1];
  std::vector<int> size(n + 1, 1);
  std::vector<std::string> shape(n + 1);
  for (int o = 1; o <= n; ++o) active[o] = o, shape[o] = std::to_string(o);
  StorageReal total;
  try {
    for (int m = n; m > 1; --m) {
      const ClosestPair pair = FindClosestPair(m, active, d, constrained);
      const int i = pair.I, j = pair.J;
      outcome.Fusions.push_back(
          {i, j, ReferenceLevel(strategy, constrained, pair.Dij, total).Bytes()});
      const bool iFirst = !constrained && size[i] <= size[j];
      shape[i] = "(" + shape[iFirst ? i : j] + " " + shape[iFirst ? j : i] + ")";
      for (int q = pair.B; q < m; ++q) active[q] = active[q + 1];
      for (int p = 1; p < m; ++p) {
        const int k = active[p];
        if (k == i) continue;
        const LanceWilliams c = ReferenceCoefficients(strategy, size[i], size[j], size[k]);
        d.At(k, i) = CombineDissimilarity(c.AlphaI, c.AlphaJ, d.At(k, i), d.At(k, j), c.Beta,
                                          pair.Dij, c.Gamma);
      }
      size[i] += size[j];
    }
    outcome.Shape = shape[1];
  } catch (const std::exception& error) {
    outcome.Error = error.what();
    outcome.Fusions.clear();  // a failed run leaves no tree to see them in
  }
  outcome.Table = UpperTriangle(d, n);
  return outcome;
}

void CollectFusions(const ClusterNode& node, std::vector<Fusion>& byStep) {
  if (node.IsLeaf()) return;
  const int a = node.Child1->FirstObject, b = node.Child2->FirstObject;
  byStep.at(node.Step - 1) = {std::min(a, b), std::max(a, b), node.Level.Bytes()};
  CollectFusions(*node.Child1, byStep);
  CollectFusions(*node.Child2, byStep);
}

Outcome Engine(Analysis& run) {
  Outcome outcome;
  const int n = run.Matrix.ObjectCount;
  try {
    Agglomerate(run.Settings, run.Matrix, run.Dissimilarity, run.TreeRoot,
                *testing::NewWorkingState());
    outcome.Fusions.resize(n - 1);
    CollectFusions(*run.TreeRoot, outcome.Fusions);
    outcome.Shape = testing::Shape(*run.TreeRoot);
  } catch (const std::exception& error) {
    outcome.Error = error.what();
  }
  outcome.Table = UpperTriangle(run.Dissimilarity, n);
  return outcome;
}

// Kinds of matrices, each drawn from a fixed generator.
enum class Kind {
  FewValues,     // every value one of 1 ... 4: ties everywhere
  SquaredGrid,   // squared distances of points on a 3 x 3 x 3 grid: ties, duplicates, reversals
  Spread,        // stored values spread over [0, 1000): few ties
  Cancellation,  // values of very different sizes, so the updates round
};

double Uniform(std::uint64_t& state) {
  return static_cast<double>(testing::NextRandom(state) >> 11) * 0x1.0p-53;
}

std::vector<double> RandomUpper(Kind kind, int n, std::uint64_t seed) {
  testing::NextRandom(seed);
  std::vector<std::array<int, 3>> points(n);
  for (auto& point : points)
    for (int& x : point) x = static_cast<int>(testing::NextRandom(seed) >> 62) % 3;
  std::vector<double> upper;
  for (int a = 0; a < n; ++a) {
    for (int b = a + 1; b < n; ++b) {
      switch (kind) {
        case Kind::FewValues:
          upper.push_back(static_cast<double>(1 + (testing::NextRandom(seed) >> 62)));
          break;
        case Kind::SquaredGrid: {
          double sum = 0;
          for (int v = 0; v < 3; ++v)
            sum += (points[a][v] - points[b][v]) * (points[a][v] - points[b][v]);
          upper.push_back(sum);
          break;
        }
        case Kind::Spread: upper.push_back(1000 * Uniform(seed)); break;
        case Kind::Cancellation:
          upper.push_back(std::ldexp(1 + Uniform(seed), static_cast<int>(Uniform(seed) * 60) - 30));
          break;
      }
    }
  }
  return upper;
}

TEST(AgglomerationReferenceTest, SameFusionsAsTheFullSearch) {
  // Small tables many times over: that is where rare orders of ties turn up.
  std::vector<int> sizes = {40, 97, 200};
  for (int n = 2; n <= 12; ++n) sizes.insert(sizes.end(), 30, n);
  std::uint64_t seed = 1;
  for (Kind kind : {Kind::FewValues, Kind::SquaredGrid, Kind::Spread, Kind::Cancellation}) {
    for (int n : sizes) {
      const std::vector<double> upper = RandomUpper(kind, n, ++seed);
      std::vector<double> depths(n);
      for (int o = 0; o < n; ++o) depths[o] = o + 1;
      for (const StrategyMethod& strategy : Strategies) {
        for (bool constrained : {false, true}) {
          SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + " n " +
                       std::to_string(n) + " strategy " +
                       std::to_string(static_cast<int>(strategy.Code)) +
                       (constrained ? " constrained" : ""));
          auto run = testing::MakeTreeRun(strategy.Code, constrained, depths, upper);
          const auto reference = std::make_unique<DissimilarityMatrix>(run->Dissimilarity);
          const Outcome expected = Reference(strategy.Code, constrained, n, *reference);
          const Outcome got = Engine(*run);
          EXPECT_EQ(got.Error, expected.Error);
          ASSERT_EQ(got.Fusions.size(), expected.Fusions.size());
          for (std::size_t s = 0; s < got.Fusions.size(); ++s)
            ASSERT_EQ(got.Fusions[s], expected.Fusions[s]) << "fusion " << s + 1;
          EXPECT_EQ(got.Shape, expected.Shape);
          EXPECT_TRUE(got.Table == expected.Table) << "the final dissimilarities differ";
        }
      }
    }
  }
}

}  // namespace
}  // namespace vardell
