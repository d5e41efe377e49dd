#include "engine/coefficients.h"

#include <cmath>
#include <stdexcept>

namespace vardell {
namespace {

// The running sum lives in a storage real and is rounded after every term, so two pairs whose
// sums agree to the format's precision get exactly the same coefficient.
template <class Term>
StorageReal RunningSum(int p, Term term) {
  StorageReal s;
  for (int v = 0; v < p; ++v) s = static_cast<long double>(s) + term(v);
  return s;
}

StorageReal SquaredOrRoot(StorageReal s, bool squared) {
  return squared ? s : StorageReal(sqrtl(s));
}

}  // namespace

bool SquaredForm(std::uint8_t strategy, bool constrained) {
  return strategy == CentroidSorting || constrained;
}

StorageReal EuclideanCoefficient(const StorageReal* a, const StorageReal* b, int p,
                                 std::uint8_t strategy, bool constrained) {
  StorageReal s = RunningSum(p, [&](int v) {
    const long double diff = static_cast<long double>(a[v]) - static_cast<long double>(b[v]);
    return diff * diff;
  });
  return SquaredOrRoot(s, SquaredForm(strategy, constrained));
}

StorageReal ChordCoefficient(const StorageReal* a, const StorageReal* b, int p,
                             std::uint8_t strategy, bool constrained,
                             const StorageReal* chordOffset) {
  StorageReal s = RunningSum(p, [&](int v) {
    const long double offset = chordOffset[v];
    const long double diff = sqrtl(static_cast<long double>(a[v]) - offset) -
                             sqrtl(static_cast<long double>(b[v]) - offset);
    return diff * diff;
  });
  return SquaredOrRoot(s, SquaredForm(strategy, constrained));
}

StorageReal ManhattanCoefficient(const StorageReal* a, const StorageReal* b, int p) {
  StorageReal s = RunningSum(p, [&](int v) {
    return fabsl(static_cast<long double>(a[v]) - static_cast<long double>(b[v]));
  });
  return static_cast<long double>(s) / p;
}

namespace {

StorageReal PairCoefficient(const AnalysisSettings& settings, const DataMatrix& matrix, int a,
                            int b) {
  const StorageReal* x = matrix.Values[a] + 1;
  const StorageReal* y = matrix.Values[b] + 1;
  const int p = matrix.VariableCount;
  switch (settings.Coefficient) {
    case Manhattan: return ManhattanCoefficient(x, y, p);
    case Chord:
      return ChordCoefficient(x, y, p, settings.Strategy, settings.Constrained,
                              matrix.ChordOffset + 1);
    case Euclidean:
      return EuclideanCoefficient(x, y, p, settings.Strategy, settings.Constrained);
  }
  throw std::invalid_argument("Unknown dissimilarity coefficient");
}

}  // namespace

void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity) {
  const int n = matrix.ObjectCount;
  for (int a = 1; a < n; ++a)
    for (int b = a + 1; b <= n; ++b) dissimilarity.D[a][b] = PairCoefficient(settings, matrix, a, b);
}

}  // namespace vardell
