#include "engine/agglomeration.h"

#include <cstring>
#include <iterator>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "engine/exactsteps.h"

namespace vardell {
namespace {

// Every strategy is the same recurrence; only its four coefficients differ. Each setter has
// the same signature so that one table picks the strategy's rule.
using CoefficientSetter = LanceWilliams (*)(std::int32_t ni, std::int32_t nj, std::int32_t nk);

LanceWilliams NearestCoefficients(std::int32_t, std::int32_t, std::int32_t) {
  return {0.5, 0.5, 0.0, -0.5};
}
LanceWilliams FurthestCoefficients(std::int32_t, std::int32_t, std::int32_t) {
  return {0.5, 0.5, 0.0, 0.5};
}
LanceWilliams WeightedCoefficients(std::int32_t, std::int32_t, std::int32_t) {
  return {0.5, 0.5, 0.0, 0.0};
}
LanceWilliams UnweightedCoefficients(std::int32_t ni, std::int32_t nj, std::int32_t) {
  return SetUnweightedCoefficients(ni, nj);
}
LanceWilliams CentroidCoefficients(std::int32_t ni, std::int32_t nj, std::int32_t) {
  return SetCentroidCoefficients(ni, nj);
}

struct StrategyRule {
  StrategyCode Code;
  CoefficientSetter Coefficients;
  bool PerCluster;  // the coefficients depend on the size of the third cluster k
};

// The update rule of every strategy of the methods table, indexed by code.
constexpr StrategyRule StrategyRules[] = {
    {StrategyCode::NearestNeighbour, NearestCoefficients, false},
    {StrategyCode::FurthestNeighbour, FurthestCoefficients, false},
    {StrategyCode::WeightedPairgroup, WeightedCoefficients, false},
    {StrategyCode::UnweightedPairgroup, UnweightedCoefficients, false},
    {StrategyCode::CentroidSorting, CentroidCoefficients, false},
    {StrategyCode::MinimumVariance, SetMinimumVarianceCoefficients, true},
};

constexpr bool RulesMatchTheMethods() {
  if (std::size(StrategyRules) != std::size(Strategies)) return false;
  for (const StrategyMethod& method : Strategies) {
    const auto index = static_cast<std::size_t>(method.Code);
    if (index >= std::size(StrategyRules) || StrategyRules[index].Code != method.Code) return false;
  }
  return true;
}
static_assert(RulesMatchTheMethods(), "every strategy needs its update rule, at its code");

const StrategyRule& RuleOf(StrategyCode strategy) {
  const auto index = static_cast<std::size_t>(strategy);
  if (index >= std::size(StrategyRules)) throw std::invalid_argument("Unknown clustering strategy");
  return StrategyRules[index];
}

StorageReal Quotient(std::int32_t numerator, std::int32_t denominator) {
  return StoredQuotient(numerator, denominator);
}

// A strategy that recurs on squared values reports their root; minimum variance reports the
// increase in dispersion, or in a constrained run the running total of the increases.
StorageReal FusionLevel(FusionLevelRule rule, bool constrained, StorageReal dij,
                        StorageReal& dispersionTotal) {
  switch (rule) {
    case FusionLevelRule::SquareRoot: return StoredSquareRoot(dij.ToDouble());
    case FusionLevelRule::Dispersion: {
      const double half = dij.ToDouble() * 0.5;  // exact
      if (!constrained) return half;
      dispersionTotal = StoredSum(dispersionTotal.ToDouble(), half);
      return dispersionTotal;
    }
    case FusionLevelRule::Dissimilarity: break;
  }
  return dij;
}

std::unique_ptr<ClusterNode> MakeLeaf(int object, StorageReal position) {
  auto leaf = std::make_unique<ClusterNode>();
  leaf->Size = 1;
  leaf->FirstObject = object;
  leaf->Position = position;
  return leaf;
}

// In a constrained run the deeper cluster j goes first so that the diagram keeps depth order;
// otherwise the smaller cluster goes first, and on equal sizes the lower-numbered one.
std::unique_ptr<ClusterNode> Fuse(std::unique_ptr<ClusterNode> nodeI,
                                  std::unique_ptr<ClusterNode> nodeJ, bool constrained,
                                  StorageReal level) {
  auto node = std::make_unique<ClusterNode>();
  node->FirstObject = nodeI->FirstObject;
  node->Size = nodeI->Size + nodeJ->Size;
  node->Level = level;
  if (constrained)
    node->Position = StoredHalfSum(nodeI->Position.ToDouble(), nodeJ->Position.ToDouble());
  const bool iFirst = !constrained && nodeI->Size <= nodeJ->Size;
  node->Child1 = std::move(iFirst ? nodeI : nodeJ);
  node->Child2 = std::move(iFirst ? nodeJ : nodeI);
  return node;
}

// An integer that orders like the stored value: the search compares about n^3 / 6 pairs, and
// reading the bytes is much cheaper than converting each value to extended precision.
inline std::int64_t OrderKey(const StorageReal& value) {
  static_assert(sizeof(StorageReal) == 6 && std::is_trivially_copyable_v<StorageReal>);
  std::uint64_t raw = 0;
  std::memcpy(&raw, &value, sizeof value);
  const std::uint64_t exponent = raw & 0xff;
  const std::uint64_t fraction = ((raw >> 16) & 0x7fffffffu) << 8 | ((raw >> 8) & 0xff);
  const auto magnitude = static_cast<std::int64_t>(exponent << 39 | fraction);
  return (raw >> 47) & 1 ? -magnitude : magnitude;
}

// The pair search over any table of order keys; keyAt(a, b) is called with a < b.
template <class KeyAt>
ClosestPair SearchClosestPair(int m, const int* activeList, bool constrained, KeyAt keyAt) {
  ClosestPair pair;
  pair.I = activeList[1];
  pair.J = activeList[2];
  pair.B = 2;
  std::int64_t best = keyAt(pair.I, pair.J);
  for (int p = 1; p < m; ++p) {
    const int i = activeList[p];
    const int last = constrained ? p + 1 : m;
    for (int q = p + 1; q <= last; ++q) {
      const std::int64_t value = keyAt(i, activeList[q]);
      if (value < best) {  // strict: the first pair met keeps a tie
        best = value;
        pair.I = i;
        pair.J = activeList[q];
        pair.B = q;
      }
    }
  }
  return pair;
}

using KeyTable = std::int64_t[MaxObjects + 1][MaxObjects + 1];

void FillKeys(int n, const DissimilarityMatrix& d, KeyTable& keys) {
  for (int a = 1; a < n; ++a)
    for (int b = a + 1; b <= n; ++b) keys[a][b] = OrderKey(d.D[a][b]);
}

// Writes a dissimilarity and its order key together.
void Store(DissimilarityMatrix& d, KeyTable& keys, int a, int b, StorageReal value) {
  if (a > b) std::swap(a, b);
  d.D[a][b] = value;
  keys[a][b] = OrderKey(value);
}

void RemoveAt(int* activeList, int m, int position) {
  for (int q = position; q < m; ++q) activeList[q] = activeList[q + 1];
}

}  // namespace

ClosestPair FindClosestPair(int m, const int* activeList, const DissimilarityMatrix& d,
                            bool constrained) {
  ClosestPair pair = SearchClosestPair(m, activeList, constrained,
                                       [&d](int a, int b) { return OrderKey(d.D[a][b]); });
  pair.Dij = d.D[pair.I][pair.J];
  return pair;
}

LanceWilliams SetUnweightedCoefficients(std::int32_t ni, std::int32_t nj) {
  return {Quotient(ni, ni + nj), Quotient(nj, ni + nj), 0.0, 0.0};
}

LanceWilliams SetCentroidCoefficients(std::int32_t ni, std::int32_t nj) {
  LanceWilliams c = SetUnweightedCoefficients(ni, nj);
  // From the rounded alphas.
  c.Beta = StorageReal(-Multiply(c.AlphaI.ToExtended(), c.AlphaJ.ToExtended()));
  return c;
}

LanceWilliams SetMinimumVarianceCoefficients(std::int32_t ni, std::int32_t nj, std::int32_t nk) {
  const std::int32_t total = ni + nj + nk;
  return {Quotient(ni + nk, total), Quotient(nj + nk, total), Quotient(-nk, total), 0.0};
}

StorageReal CombineDissimilarity(StorageReal alphaI, StorageReal alphaJ, StorageReal dki,
                                 StorageReal dkj, StorageReal beta, StorageReal dij,
                                 StorageReal gamma) {
  return Combine(alphaI.ToDouble(), alphaJ.ToDouble(), dki.ToDouble(), dkj.ToDouble(),
                 beta.ToDouble(), dij.ToDouble(), gamma.ToDouble());
}

void Agglomerate(const AnalysisSettings& settings, const DataMatrix& matrix, DissimilarityMatrix& d,
                 std::unique_ptr<ClusterNode>& treeRoot, WorkingState& work) {
  const int n = matrix.ObjectCount;
  if (n > MaxObjects) throw std::invalid_argument("Too many objects to cluster");
  if (n < 1) return;
  const StrategyRule& rule = RuleOf(settings.Strategy);
  const FusionLevelRule levelRule = FindStrategy(settings.Strategy)->Level;
  const bool constrained = settings.Constrained;

  // The clusters of this call; the nodes are owned here until the root is handed over, so an
  // overflow part-way releases every node made so far.
  std::unique_ptr<ClusterNode> nodeOfCluster[MaxObjects + 1];
  int activeList[MaxObjects + 1];
  for (int o = 1; o <= n; ++o) {
    const StorageReal position =
        constrained ? StoredDifference(matrix.Depth[o].ToDouble(), matrix.Depth[1].ToDouble())
                    : StorageReal();
    nodeOfCluster[o] = MakeLeaf(o, position);
    activeList[o] = o;
  }

  KeyTable& keys = work.OrderKeys;
  FillKeys(n, d, keys);
  const auto keyAt = [&keys](int a, int b) { return keys[a][b]; };
  StorageReal dispersionTotal;
  for (int m = n; m > 1;) {
    const ClosestPair pair = SearchClosestPair(m, activeList, constrained, keyAt);
    const int i = pair.I, j = pair.J;
    const StorageReal dij = d.D[i][j];
    const std::int32_t ni = nodeOfCluster[i]->Size, nj = nodeOfCluster[j]->Size;
    const StorageReal level = FusionLevel(levelRule, constrained, dij, dispersionTotal);
    nodeOfCluster[i] =
        Fuse(std::move(nodeOfCluster[i]), std::move(nodeOfCluster[j]), constrained, level);
    nodeOfCluster[i]->Step = n - m + 1;  // fusions are numbered in the order they happen
    RemoveAt(activeList, m, pair.B);
    --m;

    // Reads of d_ki and d_kj for one k come before its write, and writes go only to the
    // row or column of i, so later k see the values from before this fusion.
    LanceWilliams c = rule.PerCluster ? LanceWilliams{} : rule.Coefficients(ni, nj, 0);
    for (int p = 1; p <= m; ++p) {
      const int k = activeList[p];
      if (k == i) continue;
      if (rule.PerCluster) c = rule.Coefficients(ni, nj, nodeOfCluster[k]->Size);
      Store(d, keys, k, i,
            CombineDissimilarity(c.AlphaI, c.AlphaJ, d.At(k, i), d.At(k, j), c.Beta, dij, c.Gamma));
    }
  }
  // Cluster 1 is never fused away, so it holds the last node made: the root.
  treeRoot = std::move(nodeOfCluster[1]);
}

}  // namespace vardell
