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

bool SquaredForm(StrategyCode strategy, bool constrained) {
  const StrategyMethod* method = FindStrategy(strategy);
  return constrained || (method && method->SquaredCoefficients);
}

StorageReal EuclideanCoefficient(const StorageReal* a, const StorageReal* b, int p,
                                 StrategyCode strategy, bool constrained) {
  StorageReal s = RunningSum(p, [&](int v) {
    const long double diff = static_cast<long double>(a[v]) - static_cast<long double>(b[v]);
    return diff * diff;
  });
  return SquaredOrRoot(s, SquaredForm(strategy, constrained));
}

StorageReal ChordCoefficient(const StorageReal* a, const StorageReal* b, int p,
                             StrategyCode strategy, bool constrained,
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

constexpr long double LargestStored = (2.0L - 0x1p-39L) * 0x1p126L;

// The run's values converted once per run instead of once per pair give the same numbers
// (doubles load faster than the extended format).
using ValueRow = double[MaxVariables];
using RootRow = long double[MaxVariables];

const ValueRow* PrepareValues(const DataMatrix& matrix, WorkingState& work) {
  for (int o = 1; o <= matrix.ObjectCount; ++o)
    for (int v = 0; v < matrix.VariableCount; ++v)
      work.PreparedValues[o][v] =
          static_cast<double>(static_cast<long double>(matrix.Values[o][v + 1]));
  return work.PreparedValues;
}

const RootRow* PrepareRoots(const DataMatrix& matrix, WorkingState& work) {
  for (int o = 1; o <= matrix.ObjectCount; ++o) {
    for (int v = 0; v < matrix.VariableCount; ++v) {
      const long double x = matrix.Values[o][v + 1];
      work.PreparedRoots[o][v] = sqrtl(x - static_cast<long double>(matrix.ChordOffset[v + 1]));
    }
  }
  return work.PreparedRoots;
}

long double Checked(long double sum) {
  if (!(sum <= LargestStored)) throw FloatingPointOverflow();
  return sum;
}

long double SquaredDifference(long double x, long double y) {
  const long double diff = x - y;
  return diff * diff;
}

long double AbsoluteDifference(long double x, long double y) { return fabsl(x - y); }

// One row of the matrix, three pairs at a time: each sum waits for the rounding of its
// previous term, so independent sums keep the floating-point unit busy (more than three
// do not fit the x87 registers).
template <class Value, class Term, class Finish>
void FillRow(const Value (*prepared)[MaxVariables], int a, int n, int p, Term term, Finish finish,
             DissimilarityMatrix& d) {
  const Value* x = prepared[a];
  int b = a + 1;
  for (; b + 2 <= n; b += 3) {
    const Value* y = prepared[b];
    const Value* z = prepared[b + 1];
    const Value* w = prepared[b + 2];
    long double sy = 0, sz = 0, sw = 0;
    for (int v = 0; v < p; ++v) {
      const long double xv = x[v];
      sy = RoundRunningSum(sy + term(xv, y[v]));
      sz = RoundRunningSum(sz + term(xv, z[v]));
      sw = RoundRunningSum(sw + term(xv, w[v]));
    }
    d.D[a][b] = finish(Checked(sy));
    d.D[a][b + 1] = finish(Checked(sz));
    d.D[a][b + 2] = finish(Checked(sw));
  }
  for (; b <= n; ++b) {
    const Value* y = prepared[b];
    long double sy = 0;
    for (int v = 0; v < p; ++v) sy = RoundRunningSum(sy + term(x[v], y[v]));
    d.D[a][b] = finish(Checked(sy));
  }
}

template <class Value, class Term, class Finish>
void FillMatrix(const Value (*prepared)[MaxVariables], const DataMatrix& matrix, Term term,
                Finish finish, DissimilarityMatrix& d) {
  for (int a = 1; a < matrix.ObjectCount; ++a)
    FillRow(prepared, a, matrix.ObjectCount, matrix.VariableCount, term, finish, d);
}

}  // namespace

// The same sums as the three coefficient functions, term by term and rounded alike.
void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity, WorkingState& work) {
  if (matrix.ObjectCount < 2) return;
  const bool squared = SquaredForm(settings.Strategy, settings.Constrained);
  const auto squaredOrRoot = [squared](long double s) -> StorageReal {
    return squared ? s : sqrtl(s);
  };
  switch (settings.Coefficient) {
    case CoefficientCode::Manhattan: {
      const long double p = matrix.VariableCount;
      FillMatrix(PrepareValues(matrix, work), matrix, AbsoluteDifference,
                 [p](long double s) -> StorageReal { return s / p; }, dissimilarity);
      return;
    }
    case CoefficientCode::Chord:
      FillMatrix(PrepareRoots(matrix, work), matrix, SquaredDifference, squaredOrRoot,
                 dissimilarity);
      return;
    case CoefficientCode::Euclidean:
      FillMatrix(PrepareValues(matrix, work), matrix, SquaredDifference, squaredOrRoot,
                 dissimilarity);
      return;
  }
  throw std::invalid_argument("Unknown dissimilarity coefficient");
}

}  // namespace vardell
