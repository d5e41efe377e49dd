#include "engine/agglomeration.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
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

using TermsSetter = CombineTerms (*)(std::int32_t ni, std::int32_t nj, std::int32_t nk);

struct StrategyRule {
  StrategyCode Code;
  CoefficientSetter Coefficients;
  // Where the coefficients depend on the size of the third cluster k: the same as
  // Coefficients, as doubles, computed once per size and fusion. Null otherwise.
  TermsSetter PerCluster;
};

// The update rule of every strategy of the methods table, indexed by code.
constexpr StrategyRule StrategyRules[] = {
    {StrategyCode::NearestNeighbour, NearestCoefficients, nullptr},
    {StrategyCode::FurthestNeighbour, FurthestCoefficients, nullptr},
    {StrategyCode::WeightedPairgroup, WeightedCoefficients, nullptr},
    {StrategyCode::UnweightedPairgroup, UnweightedCoefficients, nullptr},
    {StrategyCode::CentroidSorting, CentroidCoefficients, nullptr},
    {StrategyCode::MinimumVariance, SetMinimumVarianceCoefficients, MinimumVarianceTerms},
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

// An integer that orders like the stored value, for the plain search over the stored table.
inline std::int64_t OrderKey(const StorageReal& value) {
  static_assert(sizeof(StorageReal) == 6 && std::is_trivially_copyable_v<StorageReal>);
  std::uint64_t raw = 0;
  std::memcpy(&raw, &value, sizeof value);
  const std::uint64_t exponent = raw & 0xff;
  const std::uint64_t fraction = ((raw >> 16) & 0x7fffffffu) << 8 | ((raw >> 8) & 0xff);
  const auto magnitude = static_cast<std::int64_t>(exponent << 39 | fraction);
  return (raw >> 47) & 1 ? -magnitude : magnitude;
}

// The pair search over any table of values that order like the stored ones; valueAt(a, b)
// is called with a < b. The first pair met in row order keeps a tie.
template <class ValueAt>
ClosestPair SearchClosestPair(int m, const int* activeList, bool constrained, ValueAt valueAt) {
  ClosestPair pair;
  pair.I = activeList[1];
  pair.J = activeList[2];
  pair.A = 1;
  pair.B = 2;
  auto best = valueAt(pair.I, pair.J);
  for (int p = 1; p < m; ++p) {
    const int i = activeList[p];
    const int last = constrained ? p + 1 : m;
    for (int q = p + 1; q <= last; ++q) {
      const auto value = valueAt(i, activeList[q]);
      if (value < best) {  // strict: the first pair met keeps a tie
        best = value;
        pair.I = i;
        pair.J = activeList[q];
        pair.A = p;
        pair.B = q;
      }
    }
  }
  return pair;
}

// The run's copy of the dissimilarities: stored values as doubles, which are exact and order
// like them (zero has no sign in the format), in the upper triangle (v[a][b], a < b).
using ValueTable = double[MaxObjects + 1][MaxObjects + 1];

void FillValues(int n, const DissimilarityMatrix& d, ValueTable& v) {
  for (int a = 1; a < n; ++a) UnpackRow(&d.D[a][a + 1], n - a, &v[a][a + 1]);
}

// The fusions write only to the table of doubles; the stored values follow at the end, or
// where a fusion fails part-way. Values never written go back as they came (the stored zero
// is a single pattern, so every stored value survives the way there and back).
void StoreValues(int n, const ValueTable& v, DissimilarityMatrix& d) {
  for (int a = 1; a < n; ++a) PackRow(&v[a][a + 1], n - a, &d.D[a][a + 1]);
}

// A cluster's nearest later cluster in the active list: the smallest value, ties to the
// lowest number; none (J = 0) for the last cluster in the list.
struct Neighbour {
  int J = 0;
  double Value = std::numeric_limits<double>::infinity();
};

// The position of the first smallest of valueAt(from ... last), from <= last: the smallest value
// first, as four minima taken side by side (a minimum does not depend on the order it is
// taken in; the values are never NaN), then the first position that has it.
template <class ValueAt>
int FirstSmallest(int from, int last, ValueAt valueAt) {
  const auto lower = [](double x, double y) { return y < x ? y : x; };
  double m0 = valueAt(from), m1 = m0, m2 = m0, m3 = m0;
  int q = from + 1;
  for (; q + 3 <= last; q += 4) {
    m0 = lower(m0, valueAt(q));
    m1 = lower(m1, valueAt(q + 1));
    m2 = lower(m2, valueAt(q + 2));
    m3 = lower(m3, valueAt(q + 3));
  }
  for (; q <= last; ++q) m0 = lower(m0, valueAt(q));
  const double smallest = lower(lower(m0, m1), lower(m2, m3));
  q = from;
  while (valueAt(q) != smallest) ++q;
  return q;
}

Neighbour NearestAfter(const ValueTable& v, int k, const int* activeList, int from, int m) {
  if (from > m) return {};
  const double* row = v[k];
  const int q = FirstSmallest(from, m, [row, activeList](int q) { return row[activeList[q]]; });
  return {activeList[q], row[activeList[q]]};
}

// The closest pair of an unconstrained run without scanning every pair at each fusion: the
// cluster with the smallest nearest-neighbour value, ties to the lowest number, and its
// neighbour. That is the pair the scan in row order finds first, since the active list is
// in increasing order. A fusion changes only the values to i and removes j, so only the
// clusters that pointed at i or j, or that i now beats, need a look.
class NearestNeighbours {
 public:
  void Start(const ValueTable& v, const int* activeList, int m) {
    for (int p = 1; p <= m; ++p)
      of_[activeList[p]] = NearestAfter(v, activeList[p], activeList, p + 1, m);
  }

  ClosestPair Closest(const int* activeList, int m) const {
    int best = 1;
    for (int p = 2; p < m; ++p)
      if (of_[activeList[p]].Value < of_[activeList[best]].Value) best = p;
    return PairAt(activeList, best);
  }

  // The bookkeeping of the fusion of j into i goes along with its update pass, which calls
  // Visit for every other cluster in list order (activeList[1..m] no longer holding j) once
  // its new value to i is in v, and Finish at the end, which gives the next closest pair.
  // Only the clusters that pointed at i or j, or that i now beats, change their neighbour;
  // those after j keep theirs (their neighbours lie beyond j and kept their values). The
  // closest pair is the first smallest neighbour value in list order, i's taken at its place.
  void Begin(int i, int j) {
    i_ = i;
    j_ = j;
    nearestOfI_ = {};
    bestPosition_ = 0;
    bestValue_ = std::numeric_limits<double>::infinity();
  }

  void Visit(const ValueTable& v, const int* activeList, int m, int p, int k, double value) {
    Neighbour& nearest = of_[k];
    if (k < i_) {
      // Where k's nearest was i or j and the new value to i is no larger, i is the nearest
      // now: every other value is at least as large, and those as large have higher numbers
      // than j (j, or i, was the lowest of them), so higher than i.
      const bool pointedAtFused = nearest.J == i_ || nearest.J == j_;
      if (pointedAtFused && value > nearest.Value)
        nearest = NearestAfter(v, k, activeList, p + 1, m);
      else if (pointedAtFused || value < nearest.Value ||
               (value == nearest.Value && i_ < nearest.J))
        nearest = {i_, value};
    } else {
      if (value < nearestOfI_.Value) nearestOfI_ = {k, value};  // ties to the lowest number
      if (nearest.J == j_) nearest = NearestAfter(v, k, activeList, p + 1, m);
    }
    if (nearest.Value < bestValue_) {  // the last cluster's infinity never counts
      bestValue_ = nearest.Value;
      bestPosition_ = p;
    }
  }

  ClosestPair Finish(const int* activeList, int m, int positionOfI) {
    of_[i_] = nearestOfI_;
    if (positionOfI < m && (nearestOfI_.Value < bestValue_ ||
                            (nearestOfI_.Value == bestValue_ && positionOfI < bestPosition_)))
      bestPosition_ = positionOfI;
    return PairAt(activeList, bestPosition_ == 0 ? 1 : bestPosition_);
  }

 private:
  ClosestPair PairAt(const int* activeList, int position) const {
    ClosestPair pair;
    pair.A = position;
    pair.I = activeList[position];
    pair.J = of_[pair.I].J;
    pair.B = position + 1;
    while (activeList[pair.B] != pair.J) ++pair.B;
    return pair;
  }

  Neighbour of_[MaxObjects + 1];
  int i_ = 0, j_ = 0;  // the fusion under way
  Neighbour nearestOfI_;
  int bestPosition_ = 0;
  double bestValue_ = 0;
};

// A constrained run compares only neighbours in the list: their values are kept by position
// (the value of the clusters at positions p and p + 1 at [p]), so that the search reads them
// in a row. The first smallest is the pair the scan in list order finds first.
class AdjacentPairs {
 public:
  void Start(const ValueTable& v, const int* activeList, int m) {
    for (int p = 1; p < m; ++p) value_[p] = v[activeList[p]][activeList[p + 1]];
  }

  ClosestPair Closest(const int* activeList, int m) const {
    ClosestPair pair;
    pair.A = FirstSmallest(1, m - 1, [this](int p) { return value_[p]; });
    pair.B = pair.A + 1;
    pair.I = activeList[pair.A];
    pair.J = activeList[pair.B];
    return pair;
  }

  // After the fusion of the clusters at positions a and a + 1 (activeList[1..m] no longer
  // holds the second, and v holds the new values of the first).
  void Fuse(const ValueTable& v, const int* activeList, int m, int a) {
    if (a < m) std::copy(value_ + a + 2, value_ + m + 1, value_ + a + 1);
    const int i = activeList[a];
    if (a > 1) value_[a - 1] = v[activeList[a - 1]][i];
    if (a < m) value_[a] = v[i][activeList[a + 1]];
  }

 private:
  double value_[MaxObjects + 1];
};

CombineTerms TermsOf(const LanceWilliams& c) {
  CombineTerms t{c.AlphaI.ToDouble(), c.AlphaJ.ToDouble(), c.Beta.ToDouble(), c.Gamma.ToDouble(),
                 false};
  t.Short = ShortCombinationTerms(t.AlphaI, t.AlphaJ, t.Beta, t.Gamma);
  return t;
}

// Where the coefficients depend on the third cluster's size, a fusion meets only a few
// distinct sizes: each size's coefficients are computed once per fusion.
class TermsBySize {
 public:
  const CombineTerms& Get(const StrategyRule& rule, std::int32_t ni, std::int32_t nj,
                          std::int32_t nk, int fusion) {
    if (fusion_[nk] != fusion) {
      fusion_[nk] = fusion;
      terms_[nk] = rule.PerCluster(ni, nj, nk);
    }
    return terms_[nk];
  }

 private:
  int fusion_[MaxObjects + 1] = {};
  CombineTerms terms_[MaxObjects + 1];
};

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

CombineTerms MinimumVarianceTerms(std::int32_t ni, std::int32_t nj, std::int32_t nk) {
  // A quotient of sizes as StoredQuotient decides it first, from the plain double quotient;
  // StoredQuotient itself where that refuses or the quotient is 0.
  const std::int32_t total = ni + nj + nk;
  const auto quotient = [total](std::int32_t numerator) {
    const double q = static_cast<double>(numerator) / total;
    double r;
    if (q != 0 && RoundClearOfMidpoint(q, CorrectlyRoundedMargin, r)) return r;
    return StoredQuotient(numerator, total).ToDouble();
  };
  CombineTerms t{quotient(ni + nk), quotient(nj + nk), quotient(-nk), 0, false};
  t.Short = ShortCombinationTerms(t.AlphaI, t.AlphaJ, t.Beta, t.Gamma);
  return t;
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
  std::int32_t sizeOf[MaxObjects + 1];  // the clusters' sizes, beside their nodes
  for (int o = 1; o <= n; ++o) {
    const StorageReal position =
        constrained ? StoredDifference(matrix.Depth[o].ToDouble(), matrix.Depth[1].ToDouble())
                    : StorageReal();
    nodeOfCluster[o] = MakeLeaf(o, position);
    activeList[o] = o;
    sizeOf[o] = 1;
  }

  ValueTable& v = work.Dissimilarities;
  FillValues(n, d, v);
  NearestNeighbours nearest;
  AdjacentPairs adjacent;
  ClosestPair pair;
  if (n > 1 && constrained) {
    adjacent.Start(v, activeList, n);
    pair = adjacent.Closest(activeList, n);
  } else if (n > 1) {
    nearest.Start(v, activeList, n);
    pair = nearest.Closest(activeList, n);
  }
  TermsBySize termsBySize;
  const auto lanesOwner = std::make_unique<CombineOperands>();
  CombineOperands& lanes = *lanesOwner;
  StorageReal dispersionTotal;
  try {
    for (int m = n; m > 1;) {
      const int i = pair.I, j = pair.J, fusion = n - m + 1;
      const double vij = v[i][j];
      const StorageReal dij = StorageReal::FromRounded(vij);
      const std::int32_t ni = sizeOf[i], nj = sizeOf[j];
      const StorageReal level = FusionLevel(levelRule, constrained, dij, dispersionTotal);
      nodeOfCluster[i] =
          Fuse(std::move(nodeOfCluster[i]), std::move(nodeOfCluster[j]), constrained, level);
      nodeOfCluster[i]->Step = fusion;  // fusions are numbered in the order they happen
      RemoveAt(activeList, m, pair.B);
      --m;

      // Every d_ki and d_kj is read into the lanes before any value is written, and writes go
      // only to the row or column of i, so every combination sees the values from before this
      // fusion. The writes go in list order, so an overflow part-way leaves the earlier ones.
      const CombineTerms fixed =
          rule.PerCluster ? CombineTerms{} : TermsOf(rule.Coefficients(ni, nj, 0));
      // The list holds k < i before i's place a, then i < k < j up to j's old place b, then
      // k > j; each value of a pair lives in the row of its lower cluster.
      const int a = pair.A, b = pair.B;
      const int slots = (m + CombineLaneCount - 1) / CombineLaneCount * CombineLaneCount;
      for (int p = 1; p < a; ++p) {
        const int k = activeList[p];
        lanes.Ki[p - 1] = v[k][i];
        lanes.Kj[p - 1] = v[k][j];
      }
      lanes.Ki[a - 1] = lanes.Kj[a - 1] = 0;  // i's own slot, not used
      for (int p = a + 1; p < b; ++p) {
        const int k = activeList[p];
        lanes.Ki[p - 1] = v[i][k];
        lanes.Kj[p - 1] = v[k][j];
      }
      for (int p = b; p <= m; ++p) {
        const int k = activeList[p];
        lanes.Ki[p - 1] = v[i][k];
        lanes.Kj[p - 1] = v[j][k];
      }
      std::fill(lanes.Ki + m, lanes.Ki + slots, 0.0);
      std::fill(lanes.Kj + m, lanes.Kj + slots, 0.0);
      if (rule.PerCluster) {
        for (int p = 1; p <= m; ++p) {
          const CombineTerms& c = termsBySize.Get(rule, ni, nj, sizeOf[activeList[p]], fusion);
          lanes.AlphaI[p - 1] = c.AlphaI;
          lanes.AlphaJ[p - 1] = c.AlphaJ;
          lanes.Beta[p - 1] = c.Beta;
          lanes.Gamma[p - 1] = c.Gamma;
          lanes.Short[p - 1] = -std::int64_t{c.Short};
        }
        CombineManyPerSlot(lanes, slots, vij);
      } else {
        CombineMany(lanes, slots, fixed, vij);
      }
      if (!constrained) nearest.Begin(i, j);
      const auto valueAt = [&](int p) {
        const double value = lanes.Values[p - 1];
        if (!std::isnan(value)) [[likely]]
          return value;
        const CombineTerms c = rule.PerCluster
                                   ? CombineTerms{lanes.AlphaI[p - 1], lanes.AlphaJ[p - 1],
                                                  lanes.Beta[p - 1], lanes.Gamma[p - 1], false}
                                   : fixed;
        return CombineStored(c.AlphaI, c.AlphaJ, lanes.Ki[p - 1], lanes.Kj[p - 1], c.Beta, vij,
                             c.Gamma);
      };
      for (int p = 1; p < a; ++p) {
        const int k = activeList[p];
        const double value = valueAt(p);
        v[k][i] = value;
        if (!constrained) nearest.Visit(v, activeList, m, p, k, value);
      }
      for (int p = a + 1; p <= m; ++p) {
        const int k = activeList[p];
        const double value = valueAt(p);
        v[i][k] = value;
        if (!constrained) nearest.Visit(v, activeList, m, p, k, value);
      }
      sizeOf[i] = ni + nj;
      if (m == 1) break;
      if (constrained) {
        adjacent.Fuse(v, activeList, m, a);
        pair = adjacent.Closest(activeList, m);
      } else {
        pair = nearest.Finish(activeList, m, a);
      }
    }
  } catch (...) {
    StoreValues(n, v, d);
    throw;
  }
  StoreValues(n, v, d);
  // Cluster 1 is never fused away, so it holds the last node made: the root.
  treeRoot = std::move(nodeOfCluster[1]);
}

}  // namespace vardell
