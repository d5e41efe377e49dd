// The engine against a plain double-precision Lance-Williams clustering written here from the
// textbook update rules (naive O(n^3), full symmetric matrix), on pseudo-random data for every
// strategy, coefficient and constraint.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/agglomeration.h"
#include "engine/coefficients.h"
#include "support_engine.h"

namespace vardell {
namespace {

using Data = std::vector<std::vector<double>>;
using enum StrategyCode;
using enum CoefficientCode;

constexpr int Objects = 30;
constexpr int Variables = 6;

// Values already held at the storage real's precision, so both sides see the same numbers.
// The second variable runs negative, so the chord offsets matter.
Data RandomData(std::uint64_t seed) {
  testing::NextRandom(seed);
  Data x(Objects, std::vector<double>(Variables));
  for (auto& row : x) {
    for (int v = 0; v < Variables; ++v) {
      const double low = v == 1 ? -5 : 0;
      const double uniform = static_cast<double>(testing::NextRandom(seed) >> 11) * 0x1.0p-53;
      row[v] = static_cast<double>(RoundToStorage(low + (10 - low) * uniform));
    }
  }
  return x;
}

// A fusion of cluster J into cluster I (each named by its lowest member, I < J) at Level.
struct Fusion {
  int I = 0, J = 0;
  double Level = 0;
};

struct Reference {
  std::vector<Fusion> Fusions;
  bool NearTie = false;          // two candidates too close to tell apart at the engine's precision
  double TotalSumOfSquares = 0;  // of the (transformed) values about their mean
};

bool Near(double a, double b, double relative) {
  return std::fabs(a - b) <= relative * std::max(std::fabs(a), std::fabs(b));
}

// The textbook updates for the distance of cluster k to the union of i and j.
double Update(StrategyCode strategy, double dki, double dkj, double dij, double ni, double nj,
              double nk) {
  switch (strategy) {
    case NearestNeighbour: return std::min(dki, dkj);
    case FurthestNeighbour: return std::max(dki, dkj);
    case WeightedPairgroup: return (dki + dkj) / 2;
    case UnweightedPairgroup: return (ni * dki + nj * dkj) / (ni + nj);
    case CentroidSorting:
      return (ni * dki + nj * dkj) / (ni + nj) - ni * nj * dij / ((ni + nj) * (ni + nj));
    case MinimumVariance: return ((ni + nk) * dki + (nj + nk) * dkj - nk * dij) / (ni + nj + nk);
  }
  return std::nan("");
}

Reference Cluster(const Data& x, StrategyCode strategy, CoefficientCode coefficient,
                  bool constrained) {
  const int n = static_cast<int>(x.size());
  // The chord coefficient compares square roots of the values shifted by each variable's
  // minimum (where it is negative).
  Data t = x;
  std::vector<double> mean(Variables, 0.0);
  for (int v = 0; v < Variables; ++v) {
    double offset = 0;
    for (const auto& row : x) offset = std::min(offset, row[v]);
    for (int o = 0; o < n; ++o) {
      if (coefficient == Chord) t[o][v] = std::sqrt(x[o][v] - offset);
      mean[v] += t[o][v] / n;
    }
  }
  Reference result;
  for (const auto& row : t)
    for (int v = 0; v < Variables; ++v) result.TotalSumOfSquares += std::pow(row[v] - mean[v], 2);

  const bool squared = strategy == CentroidSorting || constrained;
  std::vector<std::vector<double>> d(n, std::vector<double>(n, 0.0));
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      double sum = 0;
      for (int v = 0; v < Variables; ++v)
        sum += coefficient == Manhattan ? std::fabs(x[a][v] - x[b][v])
                                        : std::pow(t[a][v] - t[b][v], 2);
      d[a][b] = coefficient == Manhattan ? sum / Variables : squared ? sum : std::sqrt(sum);
    }
  }
  // Clusters are named by their lowest member; alive lists them in increasing order, which
  // is also the depth order.
  std::vector<int> alive(n);
  for (int o = 0; o < n; ++o) alive[o] = o;
  std::vector<double> size(n, 1.0);
  double total = 0;
  while (alive.size() > 1) {
    std::vector<std::array<size_t, 2>> candidates;  // positions in alive, in row order
    for (size_t p = 0; p + 1 < alive.size(); ++p)
      for (size_t q = p + 1; q < alive.size(); ++q)
        if (!constrained || q == p + 1) candidates.push_back({p, q});
    const auto value = [&](const auto& pq) { return d[alive[pq[0]]][alive[pq[1]]]; };
    const auto best = *std::min_element(candidates.begin(), candidates.end(),
                                        [&](auto& a, auto& b) { return value(a) < value(b); });
    for (const auto& pq : candidates)
      if (pq != best && Near(value(pq), value(best), 1e-8)) result.NearTie = true;

    const int i = alive[best[0]], j = alive[best[1]];
    const double dij = value(best);
    for (int k : alive)
      if (k != i && k != j)
        d[i][k] = d[k][i] = Update(strategy, d[k][i], d[k][j], dij, size[i], size[j], size[k]);
    size[i] += size[j];
    double level = dij;
    if (strategy == CentroidSorting) level = std::sqrt(dij);
    if (strategy == MinimumVariance) {
      total += dij / 2;
      level = constrained ? total : dij / 2;
    }
    result.Fusions.push_back({i + 1, j + 1, level});
    alive.erase(alive.begin() + static_cast<long>(best[1]));
  }
  return result;
}

// Indexed by the fusion's step (1..n-1), the order in which the fusions happened.
void CollectFusions(const ClusterNode& node, std::vector<Fusion>& byStep) {
  if (node.IsLeaf()) return;
  const int a = node.Child1->FirstObject, b = node.Child2->FirstObject;
  byStep.at(node.Step) = Fusion{std::min(a, b), std::max(a, b), node.Level.ToDouble()};
  CollectFusions(*node.Child1, byStep);
  CollectFusions(*node.Child2, byStep);
}

void Compare(StrategyCode strategy, CoefficientCode coefficient, bool constrained,
             std::uint64_t seed) {
  SCOPED_TRACE("strategy " + std::to_string(int(strategy)) + " coefficient " +
               std::to_string(int(coefficient)) + (constrained ? " constrained" : "") + " seed " +
               std::to_string(seed));
  // Constrained minimum variance on squared distances: the levels are running totals of
  // dispersion, which never drop and end at the data's total sum of squares.
  const bool dispersion = strategy == MinimumVariance && constrained && coefficient != Manhattan;
  const Data x = RandomData(seed);
  const Reference reference = Cluster(x, strategy, coefficient, constrained);
  ASSERT_FALSE(reference.NearTie) << "the data have a near tie; choose another seed";

  auto run = testing::MakeAnalysis(strategy, coefficient, constrained);
  std::vector<std::vector<double>> rows;
  for (const auto& row : x) rows.emplace_back(row.begin(), row.end());
  testing::FillMatrix(run->Matrix, rows);
  for (int o = 1; o <= Objects; ++o) run->Matrix.Depth[o] = 0.5 * o;
  const auto before = std::make_unique<DataMatrix>(run->Matrix);

  const auto work = testing::NewWorkingState();
  ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity, *work);
  Agglomerate(run->Settings, run->Matrix, run->Dissimilarity, run->TreeRoot, *work);

  EXPECT_EQ(std::memcmp(before->Values, run->Matrix.Values, sizeof before->Values), 0);
  EXPECT_EQ(std::memcmp(before->Depth, run->Matrix.Depth, sizeof before->Depth), 0);
  EXPECT_EQ(std::memcmp(before->ChordOffset, run->Matrix.ChordOffset, sizeof before->ChordOffset),
            0);
  ASSERT_TRUE(run->TreeRoot);
  ASSERT_EQ(CountNodes(run->TreeRoot.get()), 2 * Objects - 1);

  // The fusions in the order they happened: the same pairs at the same levels.
  std::vector<Fusion> engine(Objects);
  CollectFusions(*run->TreeRoot, engine);
  for (int step = 1; step < Objects; ++step) {
    const Fusion &expected = reference.Fusions.at(step - 1), &got = engine[step];
    EXPECT_EQ(got.I, expected.I) << "fusion " << step;
    EXPECT_EQ(got.J, expected.J) << "fusion " << step;
    EXPECT_TRUE(Near(static_cast<double>(got.Level), static_cast<double>(expected.Level), 1e-9))
        << "fusion " << step << ": " << static_cast<double>(got.Level) << " vs "
        << static_cast<double>(expected.Level);
    if (dispersion && step > 1) {
      EXPECT_GE(got.Level, engine[step - 1].Level) << "fusion " << step;
    }
  }
  if (dispersion) {
    EXPECT_TRUE(Near(run->TreeRoot->Level.ToDouble(), reference.TotalSumOfSquares, 1e-9));
  }
}

TEST(NaiveComparisonTest, SameFusionsAsTheTextbook) {
  for (const StrategyMethod& strategy : Strategies)
    for (const CoefficientMethod& coefficient : Coefficients)
      for (bool constrained : {false, true})
        for (std::uint64_t seed : {1, 2})
          Compare(strategy.Code, coefficient.Code, constrained, seed);
}

}  // namespace
}  // namespace vardell
