// The engine against a plain double-precision Lance-Williams clustering written here from the
// textbook update rules (naive O(n^3), full symmetric matrix, members kept as sets), on
// pseudo-random data for every strategy, coefficient and constraint.

#include <gtest/gtest.h>

#include <algorithm>
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

// A small fixed generator, so that the data do not depend on the standard library.
class Lcg {
 public:
  explicit Lcg(std::uint64_t seed) : state_(seed * 6364136223846793005ULL + 1442695040888963407ULL) {}
  double Uniform(double low, double high) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return low + (high - low) * static_cast<double>(state_ >> 11) * 0x1.0p-53;
  }

 private:
  std::uint64_t state_;
};

// Values already held at the storage real's precision, so both sides see the same numbers.
// The second variable runs negative, so the chord offsets matter.
Data RandomData(std::uint64_t seed, int n, int p) {
  Lcg random(seed);
  Data x(n, std::vector<double>(p));
  for (auto& row : x)
    for (int v = 0; v < p; ++v)
      row[v] = static_cast<double>(RoundToStorage(random.Uniform(v == 1 ? -5 : 0, 10)));
  return x;
}

struct Fusion {
  int I, J;  // lowest member of each cluster, I < J
  double Level;
};

struct Reference {
  std::vector<Fusion> Fusions;
  bool NearTie = false;  // two candidates too close to tell apart at the engine's precision
  double TotalSumOfSquares = 0;  // of the (transformed) values about their mean
};

double Distance(const std::vector<double>& a, const std::vector<double>& b,
                const std::vector<double>& offset, std::uint8_t coefficient, bool squared) {
  double sum = 0;
  for (size_t v = 0; v < a.size(); ++v) {
    if (coefficient == Manhattan) {
      sum += std::fabs(a[v] - b[v]);
    } else if (coefficient == Chord) {
      const double diff = std::sqrt(a[v] - offset[v]) - std::sqrt(b[v] - offset[v]);
      sum += diff * diff;
    } else {
      sum += (a[v] - b[v]) * (a[v] - b[v]);
    }
  }
  if (coefficient == Manhattan) return sum / static_cast<double>(a.size());
  return squared ? sum : std::sqrt(sum);
}

// The textbook updates for the distance of cluster k to the union of i and j.
double Update(std::uint8_t strategy, double dki, double dkj, double dij, double ni, double nj,
              double nk) {
  switch (strategy) {
    case NearestNeighbour: return std::min(dki, dkj);
    case FurthestNeighbour: return std::max(dki, dkj);
    case WeightedPairgroup: return (dki + dkj) / 2;
    case UnweightedPairgroup: return (ni * dki + nj * dkj) / (ni + nj);
    case CentroidSorting:
      return (ni * dki + nj * dkj) / (ni + nj) - ni * nj * dij / ((ni + nj) * (ni + nj));
    default: return ((ni + nk) * dki + (nj + nk) * dkj - nk * dij) / (ni + nj + nk);
  }
}

Reference Cluster(const Data& x, std::uint8_t strategy, std::uint8_t coefficient,
                  bool constrained) {
  const int n = static_cast<int>(x.size());
  const size_t p = x[0].size();
  std::vector<double> offset(p, 0.0);
  for (const auto& row : x)
    for (size_t v = 0; v < p; ++v) offset[v] = std::min(offset[v], row[v]);
  const bool squared = strategy == CentroidSorting || constrained;

  Reference result;
  {
    std::vector<double> mean(p, 0.0);
    for (const auto& row : x)
      for (size_t v = 0; v < p; ++v)
        mean[v] += (coefficient == Chord ? std::sqrt(row[v] - offset[v]) : row[v]) / n;
    for (const auto& row : x)
      for (size_t v = 0; v < p; ++v) {
        const double t = (coefficient == Chord ? std::sqrt(row[v] - offset[v]) : row[v]) - mean[v];
        result.TotalSumOfSquares += t * t;
      }
  }

  std::vector<std::vector<double>> d(n, std::vector<double>(n, 0.0));
  for (int a = 0; a < n; ++a)
    for (int b = 0; b < n; ++b) d[a][b] = Distance(x[a], x[b], offset, coefficient, squared);
  std::vector<std::vector<int>> members(n);
  for (int o = 0; o < n; ++o) members[o] = {o};
  std::vector<int> alive(n);
  for (int o = 0; o < n; ++o) alive[o] = o;  // in increasing order, as depth order

  double total = 0;
  while (alive.size() > 1) {
    size_t bestP = 0, bestQ = 1;
    double best = d[alive[0]][alive[1]], second = INFINITY;
    for (size_t p1 = 0; p1 + 1 < alive.size(); ++p1)
      for (size_t q = p1 + 1; q < alive.size(); ++q) {
        if (constrained && q != p1 + 1) continue;
        const double value = d[alive[p1]][alive[q]];
        if (p1 == bestP && q == bestQ) continue;
        if (value < best) {
          second = best;
          best = value;
          bestP = p1;
          bestQ = q;
        } else {
          second = std::min(second, value);
        }
      }
    if (std::isfinite(second) && second - best <= 1e-8 * std::max(std::fabs(best), std::fabs(second))) result.NearTie = true;
    const int i = alive[bestP], j = alive[bestQ];
    const double ni = static_cast<double>(members[i].size());
    const double nj = static_cast<double>(members[j].size());
    for (int k : alive) {
      if (k == i || k == j) continue;
      const double nk = static_cast<double>(members[k].size());
      d[i][k] = d[k][i] = Update(strategy, d[k][i], d[k][j], best, ni, nj, nk);
    }
    double level = best;
    if (strategy == CentroidSorting) level = std::sqrt(best);
    if (strategy == MinimumVariance) {
      total += best / 2;
      level = constrained ? total : best / 2;
    }
    result.Fusions.push_back({*std::min_element(members[i].begin(), members[i].end()) + 1,
                              *std::min_element(members[j].begin(), members[j].end()) + 1, level});
    members[i].insert(members[i].end(), members[j].begin(), members[j].end());
    alive.erase(alive.begin() + static_cast<long>(bestQ));
  }
  return result;
}

bool Near(double a, double b, double relative) {
  return std::fabs(a - b) <= relative * std::max(std::fabs(a), std::fabs(b));
}

struct ComparisonCase {
  std::uint8_t Strategy;
  std::uint8_t Coefficient;
  bool Constrained;
};

std::string CaseName(const ::testing::TestParamInfo<ComparisonCase>& info) {
  static const char* const strategies[] = {"Nearest",    "Furthest", "Weighted",
                                           "Unweighted", "Centroid", "MinimumVariance"};
  static const char* const coefficients[] = {"Manhattan", "Chord", "Euclidean"};
  return std::string(strategies[info.param.Strategy]) + coefficients[info.param.Coefficient] +
         (info.param.Constrained ? "Constrained" : "");
}

std::vector<ComparisonCase> AllCases() {
  std::vector<ComparisonCase> cases;
  for (std::uint8_t s = NearestNeighbour; s <= MinimumVariance; ++s)
    for (std::uint8_t c = Manhattan; c <= Euclidean; ++c)
      for (bool constrained : {false, true}) cases.push_back({s, c, constrained});
  return cases;
}

class NaiveComparisonTest : public ::testing::TestWithParam<ComparisonCase> {};

constexpr int Objects = 30;
constexpr int Variables = 6;
const std::uint64_t Seeds[] = {1, 2, 3};

TEST_P(NaiveComparisonTest, SameFusionsAsTheTextbook) {
  const ComparisonCase& c = GetParam();
  for (std::uint64_t seed : Seeds) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Data x = RandomData(seed, Objects, Variables);
    const Reference reference = Cluster(x, c.Strategy, c.Coefficient, c.Constrained);

    auto run = testing::MakeAnalysis(c.Strategy, c.Coefficient, c.Constrained);
    std::vector<std::vector<long double>> rows;
    for (const auto& row : x) rows.emplace_back(row.begin(), row.end());
    testing::FillMatrix(run->Matrix, rows);
    for (int o = 1; o <= Objects; ++o) run->Matrix.Depth[o] = 0.5L * o;
    auto before = std::make_unique<DataMatrix>();
    *before = run->Matrix;

    ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity);
    Agglomerate(run->Settings, run->Matrix, run->Dissimilarity, run->TreeRoot);

    EXPECT_EQ(std::memcmp(before->Values, run->Matrix.Values, sizeof before->Values), 0);
    EXPECT_EQ(std::memcmp(before->Depth, run->Matrix.Depth, sizeof before->Depth), 0);
    EXPECT_EQ(std::memcmp(before->ChordOffset, run->Matrix.ChordOffset,
                          sizeof before->ChordOffset), 0);
    ASSERT_TRUE(run->TreeRoot);
    ASSERT_EQ(CountNodes(run->TreeRoot.get()), 2 * Objects - 1);

    // The fusions in the order they happened: the same pairs at the same levels.
    std::vector<testing::TreeFusion> engine(Objects);
    testing::CollectFusions(*run->TreeRoot, engine);
    ASSERT_FALSE(reference.NearTie) << "the data have a near tie; choose another seed";
    ASSERT_EQ(reference.Fusions.size(), static_cast<size_t>(Objects - 1));
    for (size_t step = 1; step < engine.size(); ++step) {
      const Fusion& expected = reference.Fusions[step - 1];
      const testing::TreeFusion& got = engine[step];
      EXPECT_EQ(got.I, expected.I) << "fusion " << step;
      EXPECT_EQ(got.J, expected.J) << "fusion " << step;
      EXPECT_TRUE(Near(static_cast<double>(got.Level), expected.Level, 1e-9))
          << "fusion " << step << ": " << static_cast<double>(got.Level) << " vs "
          << expected.Level;
    }
    // Constrained minimum variance on squared distances ends at the total dispersion.
    if (c.Strategy == MinimumVariance && c.Constrained && c.Coefficient != Manhattan) {
      EXPECT_TRUE(Near(static_cast<double>(run->TreeRoot->Level), reference.TotalSumOfSquares,
                       1e-9));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllStrategies, NaiveComparisonTest, ::testing::ValuesIn(AllCases()),
                         CaseName);

// Constrained minimum variance with squared distances.
TEST(MinimumVarianceConstrainedTest, LevelsNeverDecrease) {
  for (std::uint8_t coefficient : {Euclidean, Chord}) {
    for (std::uint64_t seed : {11, 12, 13, 14}) {
      SCOPED_TRACE("coefficient " + std::to_string(coefficient) + " seed " +
                   std::to_string(seed));
      auto run = testing::MakeAnalysis(MinimumVariance, coefficient, true);
      std::vector<std::vector<long double>> rows;
      for (const auto& row : RandomData(seed, Objects, Variables))
        rows.emplace_back(row.begin(), row.end());
      testing::FillMatrix(run->Matrix, rows);
      ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity);
      Agglomerate(run->Settings, run->Matrix, run->Dissimilarity, run->TreeRoot);
      ASSERT_TRUE(run->TreeRoot);
      // In fusion order the total dispersion never drops (the root's level, the sum of all
      // increments, is checked against the data's total sum of squares above).
      std::vector<testing::TreeFusion> fusions(Objects);
      testing::CollectFusions(*run->TreeRoot, fusions);
      for (int step = 2; step < Objects; ++step)
        EXPECT_GE(fusions[step].Level, fusions[step - 1].Level) << "fusion " << step;
      EXPECT_EQ(fusions[Objects - 1].Level, static_cast<long double>(run->TreeRoot->Level));
    }
  }
}

}  // namespace
}  // namespace vardell
