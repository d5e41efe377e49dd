#include "engine/coefficients.h"

#include <stdexcept>

#include "engine/exactsteps.h"

namespace vardell {
namespace {

// The running sum is rounded to the storage real's precision after every term, so two pairs
// whose sums agree to the format's precision get exactly the same coefficient.
double Checked(double sum) {
  if (!(sum <= StorageReal::Largest())) throw FloatingPointOverflow();
  return sum;
}

StorageReal SquaredOrRoot(double s, bool squared) {
  return squared ? StorageReal::FromRounded(s) : StoredSquareRoot(s);
}

}  // namespace

bool SquaredForm(StrategyCode strategy, bool constrained) {
  const StrategyMethod* method = FindStrategy(strategy);
  return constrained || (method && method->SquaredCoefficients);
}

StorageReal EuclideanCoefficient(const StorageReal* a, const StorageReal* b, int p,
                                 StrategyCode strategy, bool constrained) {
  double s = 0;
  for (int v = 0; v < p; ++v) s = SquareStep(s, a[v].ToDouble(), b[v].ToDouble());
  return SquaredOrRoot(Checked(s), SquaredForm(strategy, constrained));
}

StorageReal ChordCoefficient(const StorageReal* a, const StorageReal* b, int p,
                             StrategyCode strategy, bool constrained,
                             const StorageReal* chordOffset) {
  double s = 0;
  for (int v = 0; v < p; ++v)
    s = ChordStep(s, ChordRoot(a[v], chordOffset[v]), ChordRoot(b[v], chordOffset[v]));
  return SquaredOrRoot(Checked(s), SquaredForm(strategy, constrained));
}

StorageReal ManhattanCoefficient(const StorageReal* a, const StorageReal* b, int p) {
  double s = 0;
  for (int v = 0; v < p; ++v) s = AbsoluteStep(s, a[v].ToDouble(), b[v].ToDouble());
  return StoredQuotient(Checked(s), p);
}

namespace {

// The run's values converted once per run instead of once per pair (see WorkingState).
using ValueRow = double[MaxVariables];
using RootRow = DoubleDouble[MaxVariables];

const ValueRow* PrepareValues(const DataMatrix& matrix, WorkingState& work) {
  for (int o = 1; o <= matrix.ObjectCount; ++o)
    for (int v = 0; v < matrix.VariableCount; ++v)
      work.PreparedValues[o][v] = matrix.Values[o][v + 1].ToDouble();
  return work.PreparedValues;
}

const RootRow* PrepareRoots(const DataMatrix& matrix, WorkingState& work) {
  for (int o = 1; o <= matrix.ObjectCount; ++o)
    for (int v = 0; v < matrix.VariableCount; ++v)
      work.PreparedRoots[o][v] = ChordRoot(matrix.Values[o][v + 1], matrix.ChordOffset[v + 1]);
  return work.PreparedRoots;
}

// One row of the matrix, three pairs at a time: each sum waits for the rounding of its
// previous term, so independent sums keep the floating-point unit busy.
template <class Value, class Step, class Finish>
void FillRow(const Value (*prepared)[MaxVariables], int a, int n, int p, Step step, Finish finish,
             DissimilarityMatrix& d) {
  const Value* x = prepared[a];
  int b = a + 1;
  for (; b + 2 <= n; b += 3) {
    const Value* y = prepared[b];
    const Value* z = prepared[b + 1];
    const Value* w = prepared[b + 2];
    double sy = 0, sz = 0, sw = 0;
    for (int v = 0; v < p; ++v) {
      const Value xv = x[v];
      sy = step(sy, xv, y[v]);
      sz = step(sz, xv, z[v]);
      sw = step(sw, xv, w[v]);
    }
    d.D[a][b] = finish(Checked(sy));
    d.D[a][b + 1] = finish(Checked(sz));
    d.D[a][b + 2] = finish(Checked(sw));
  }
  for (; b <= n; ++b) {
    const Value* y = prepared[b];
    double sy = 0;
    for (int v = 0; v < p; ++v) sy = step(sy, x[v], y[v]);
    d.D[a][b] = finish(Checked(sy));
  }
}

template <class Value, class Step, class Finish>
void FillMatrix(const Value (*prepared)[MaxVariables], const DataMatrix& matrix, Step step,
                Finish finish, DissimilarityMatrix& d) {
  for (int a = 1; a < matrix.ObjectCount; ++a)
    FillRow(prepared, a, matrix.ObjectCount, matrix.VariableCount, step, finish, d);
}

}  // namespace

// The same sums as the three coefficient functions, term by term and rounded alike.
void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity, WorkingState& work) {
  if (matrix.ObjectCount < 2) return;
  const bool squared = SquaredForm(settings.Strategy, settings.Constrained);
  const auto squaredOrRoot = [squared](double s) { return SquaredOrRoot(s, squared); };
  switch (settings.Coefficient) {
    case CoefficientCode::Manhattan: {
      const double p = matrix.VariableCount;
      FillMatrix(
          PrepareValues(matrix, work), matrix, AbsoluteStep,
          [p](double s) { return StoredQuotient(s, p); }, dissimilarity);
      return;
    }
    case CoefficientCode::Chord:
      FillMatrix(PrepareRoots(matrix, work), matrix, ChordStep, squaredOrRoot, dissimilarity);
      return;
    case CoefficientCode::Euclidean:
      FillMatrix(PrepareValues(matrix, work), matrix, SquareStep, squaredOrRoot, dissimilarity);
      return;
  }
  throw std::invalid_argument("Unknown dissimilarity coefficient");
}

}  // namespace vardell
