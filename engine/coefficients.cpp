#include "engine/coefficients.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "analysis/sharedwork.h"
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

// ---- The sums of one object against a block of others, lane by lane ----
//
// Each pair's sum is rounded after every term, so its terms cannot be reordered; the speed
// comes from doing many pairs at once: object a against the BlockLanes objects b, b + 1, ...
// in the lanes of GCC's vector types (the compiler picks the processor's widest registers;
// on x86-64 the kernels are built for AVX-512, AVX2 and the baseline and chosen at run time).
// Every lane computes in plain double and is decided as RoundClearOfMidpoint decides. A lane
// too near a midpoint is marked, and after every few terms the marked lanes are done again
// from there by the scalar step, which decides in double-double or, failing that, in the
// extended format. So every lane gives exactly the scalar step's result.
//
// The lanes' flags are sign bits (set: yes), computed without comparisons of integers, which
// some vector units lack.

constexpr int LaneCount = 8;
constexpr int BlockLanes = WorkingState::BlockLanes;
static_assert(BlockLanes == 2 * LaneCount);
constexpr int ChunkTerms = 4;  // terms between two looks at the marked lanes
using Lanes = double __attribute__((vector_size(LaneCount * sizeof(double))));
using LaneBits = std::int64_t __attribute__((vector_size(LaneCount * sizeof(double))));

using Column = double[WorkingState::ColumnLength];

enum class SumKind { Absolute, Square, Chord };

template <SumKind kind>
constexpr std::int64_t SumMargin = kind == SumKind::Absolute ? AbsoluteSumMargin
                                   : kind == SumKind::Square ? SquareSumMargin
                                                             : ChordSumMargin;

// The lane helpers take and give lanes only by reference: the kernels below are built for
// several processors, and a vector passed by value would change its passing convention
// between them.
#define VARDELL_INLINE inline __attribute__((always_inline))

VARDELL_INLINE void LoadLanes(Lanes& to, const double* from) { std::memcpy(&to, from, sizeof to); }

// Rounds every lane (h >= 0) as RoundClearOfMidpoint does and marks in tooNear the lanes
// within margin of a midpoint, unless inexact says h is exact (its sign bit clear): an exact
// h is decided wherever it lies. Where a run's terms could fall below 2^-128 (Tiny), the
// lanes whose rounded sum is below 2^-128 but not 0 are marked too, and the scalar step
// flushes them; otherwise no sum can be there.
template <bool Tiny>
VARDELL_INLINE void RoundLanes(Lanes& h, std::int64_t margin, const LaneBits& inexact,
                               LaneBits& tooNear) {
  LaneBits bits;
  std::memcpy(&bits, &h, sizeof bits);
  // The lowest 13 bits moved so that the band 0x1000 - margin .. 0x1000 + margin is 0 .. 2
  // margin; below 2 margin + 1, the subtraction sets the sign bit.
  const LaneBits band = (bits + (0x1000 + margin)) & 0x1fff;
  tooNear |= (band - (2 * margin + 1)) & inexact;
  bits = (bits + 0x1000) & ~std::int64_t{0x1fff};
  if constexpr (Tiny) {
    constexpr auto smallest = std::bit_cast<std::int64_t>(StorageReal::Smallest());
    tooNear |= (bits - smallest) & ~(bits - 1);
  }
  std::memcpy(&h, &bits, sizeof h);
}

// The error of a + b, so that a + b = (a + b rounded) + error exactly (Knuth's TwoSum).
VARDELL_INLINE void SumError(const Lanes& a, const Lanes& b, const Lanes& sum, Lanes& error) {
  const Lanes bb = sum - a;
  error = (a - (sum - bb)) + (b - bb);
}

// Adds one term to every lane: s + |x - y|, s + (x - y)^2 or s + ((xH - yH) + (xL - yL))^2,
// and rounds. Sums of absolute differences are often exact and land halfway between two
// 40-bit numbers, so their lanes find out whether a rounding happened.
template <SumKind kind, bool Tiny>
VARDELL_INLINE void AddTerm(Lanes& s, double xH, double xL, const Lanes& yH, const Lanes& yL,
                            LaneBits& tooNear) {
  Lanes d = xH - yH;
  LaneBits inexact = LaneBits{} - 1;
  if constexpr (kind == SumKind::Absolute) {
    Lanes dError, sumError;
    SumError(Lanes{} + xH, -yH, d, dError);
    LaneBits magnitude;
    std::memcpy(&magnitude, &d, sizeof d);
    magnitude &= 0x7fffffffffffffff;
    std::memcpy(&d, &magnitude, sizeof d);
    const Lanes sum = s + d;
    SumError(s, d, sum, sumError);
    LaneBits errorBits[2];
    std::memcpy(&errorBits[0], &dError, sizeof dError);
    std::memcpy(&errorBits[1], &sumError, sizeof sumError);
    const LaneBits either = (errorBits[0] | errorBits[1]) & 0x7fffffffffffffff;  // not 0, -0
    inexact = -either;  // sign bit set where either error is not zero
    s = sum;
  } else {
    if constexpr (kind == SumKind::Chord) d += xL - yL;
    s += d * d;
  }
  RoundLanes<Tiny>(s, SumMargin<kind>, inexact, tooNear);
}

VARDELL_INLINE bool AnyMarked(const LaneBits& marks) {
  std::int64_t any = 0;
  for (int lane = 0; lane < LaneCount; ++lane) any |= marks[lane];
  return any < 0;
}

// The scalar step, for the lanes the screen leaves.
template <SumKind kind>
double ScalarStep(double s, double xH, double xL, double yH, double yL) {
  if constexpr (kind == SumKind::Absolute) return AbsoluteStep(s, xH, yH);
  if constexpr (kind == SumKind::Square) return SquareStep(s, xH, yH);
  return ChordStep(s, DoubleDouble{xH, xL}, DoubleDouble{yH, yL});
}

// Does terms v0 .. v1 - 1 again for the marked lanes of the `lanes` objects from b on,
// starting from their sums before those terms.
template <SumKind kind>
[[gnu::noinline]] void RedoLanes(Lanes& s, const Lanes& before, const LaneBits& marked,
                                 const Column* high, const Column* low, int a, int b, int v0,
                                 int v1, int lanes) {
  for (int lane = 0; lane < lanes; ++lane) {
    if (marked[lane] >= 0) continue;
    double sum = before[lane];
    for (int v = v0; v < v1; ++v)
      sum = ScalarStep<kind>(sum, high[v][a], low ? low[v][a] : 0.0, high[v][b + lane],
                             low ? low[v][b + lane] : 0.0);
    s[lane] = sum;
  }
}

// The p-term sums of object a against objects b .. b + BlockLanes - 1, of which the first
// `valid` exist; each sum rounded and flushed after every term, as the scalar step does.
template <SumKind kind, bool Tiny>
VARDELL_INLINE void SumBlock(const Column* high, const Column* low, int a, int b, int p, int valid,
                             double* sums) {
  Lanes s0 = {}, s1 = {};
  Lanes yH0, yH1, yL0 = {}, yL1 = {};
  for (int v0 = 0; v0 < p; v0 += ChunkTerms) {
    const int v1 = std::min(p, v0 + ChunkTerms);
    const Lanes before0 = s0, before1 = s1;
    LaneBits near0 = {}, near1 = {};
    for (int v = v0; v < v1; ++v) {
      const double xH = high[v][a];
      const double xL = kind == SumKind::Chord ? low[v][a] : 0.0;
      LoadLanes(yH0, &high[v][b]);
      LoadLanes(yH1, &high[v][b + LaneCount]);
      if constexpr (kind == SumKind::Chord) {
        LoadLanes(yL0, &low[v][b]);
        LoadLanes(yL1, &low[v][b + LaneCount]);
      }
      AddTerm<kind, Tiny>(s0, xH, xL, yH0, yL0, near0);
      AddTerm<kind, Tiny>(s1, xH, xL, yH1, yL1, near1);
    }
    if (AnyMarked(near0 | near1)) [[unlikely]] {
      // Through copies, so that the sums themselves can stay in registers.
      const Column* lows = kind == SumKind::Chord ? low : nullptr;
      Lanes redone[2] = {s0, s1};
      RedoLanes<kind>(redone[0], before0, near0, high, lows, a, b, v0, v1,
                      std::min(valid, LaneCount));
      RedoLanes<kind>(redone[1], before1, near1, high, lows, a, b + LaneCount, v0, v1,
                      valid - LaneCount);
      s0 = redone[0];
      s1 = redone[1];
    }
  }
  std::memcpy(sums, &s0, sizeof s0);
  std::memcpy(sums + LaneCount, &s1, sizeof s1);
}

template <SumKind kind>
VARDELL_INLINE void SumRowsOf(const Column* high, const Column* low, int a, int n, int p,
                              double* sums) {
  for (int b = a + 1; b <= n; b += BlockLanes)
    SumBlock<kind, false>(high, low, a, b, p, std::min(BlockLanes, n - b + 1), sums + b);
}

#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define VARDELL_LANE_TARGETS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VARDELL_LANE_TARGETS
#endif

// One row of sums, sums[b] for a < b <= n (sums has room for a block past n).
VARDELL_LANE_TARGETS void AbsoluteSums(const Column* high, int a, int n, int p, double* sums) {
  SumRowsOf<SumKind::Absolute>(high, nullptr, a, n, p, sums);
}
VARDELL_LANE_TARGETS void SquareSums(const Column* high, int a, int n, int p, double* sums) {
  SumRowsOf<SumKind::Square>(high, nullptr, a, n, p, sums);
}
VARDELL_LANE_TARGETS void ChordSums(const Column* high, const Column* low, int a, int n, int p,
                                    double* sums) {
  SumRowsOf<SumKind::Chord>(high, low, a, n, p, sums);
}

// ---- Preparing the columns and finishing the sums ----

void PrepareValues(const DataMatrix& matrix, WorkingState& work) {
  for (int v = 0; v < matrix.VariableCount; ++v) {
    double* column = work.ValueColumns[v];
    for (int o = 1; o <= matrix.ObjectCount; ++o) column[o] = matrix.Values[o][v + 1].ToDouble();
    std::fill(column + matrix.ObjectCount + 1, column + WorkingState::ColumnLength, 0.0);
  }
}

void PrepareRootColumn(const DataMatrix& matrix, int v, WorkingState& work) {
  double* high = work.ValueColumns[v];
  double* low = work.RootLowColumns[v];
  for (int o = 1; o <= matrix.ObjectCount; ++o) {
    const StorageReal value = matrix.Values[o][v + 1], offset = matrix.ChordOffset[v + 1];
    DoubleDouble root;
    if (!ChordRootFast(value.ToDouble(), offset.ToDouble(), root)) root = ChordRoot(value, offset);
    high[o] = root.H;
    low[o] = root.L;
  }
  std::fill(high + matrix.ObjectCount + 1, high + WorkingState::ColumnLength, 0.0);
  std::fill(low + matrix.ObjectCount + 1, low + WorkingState::ColumnLength, 0.0);
}

// Row a of the matrix: the sums of object a against every later object, finished.
void FillRow(CoefficientCode coefficient, bool squared, const DataMatrix& matrix,
             const WorkingState& work, int a, DissimilarityMatrix& dissimilarity) {
  const int n = matrix.ObjectCount, p = matrix.VariableCount;
  double sums[MaxObjects + 1 + BlockLanes];
  switch (coefficient) {
    case CoefficientCode::Manhattan: AbsoluteSums(work.ValueColumns, a, n, p, sums); break;
    case CoefficientCode::Euclidean: SquareSums(work.ValueColumns, a, n, p, sums); break;
    case CoefficientCode::Chord:
      ChordSums(work.ValueColumns, work.RootLowColumns, a, n, p, sums);
      break;
  }
  for (int b = a + 1; b <= n; ++b) {
    const double s = Checked(sums[b]);
    dissimilarity.D[a][b] = coefficient == CoefficientCode::Manhattan ? StoredQuotient(s, p)
                                                                      : SquaredOrRoot(s, squared);
  }
}

}  // namespace

// The same sums as the three coefficient functions, term by term and rounded alike.
void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity, WorkingState& work) {
  const int n = matrix.ObjectCount, p = matrix.VariableCount;
  if (n < 2) return;
  const bool squared = SquaredForm(settings.Strategy, settings.Constrained);
  const CoefficientCode coefficient = settings.Coefficient;
  const int threads = ThreadsFor(std::int64_t{n} * (n - 1) / 2 * p, 200000);  // terms
  if (coefficient == CoefficientCode::Chord)
    RunShared(0, p, threads, [&](int v) { PrepareRootColumn(matrix, v, work); });
  else if (coefficient == CoefficientCode::Manhattan || coefficient == CoefficientCode::Euclidean)
    PrepareValues(matrix, work);
  else
    throw std::invalid_argument("Unknown dissimilarity coefficient");
  RunShared(1, n, threads,
            [&](int a) { FillRow(coefficient, squared, matrix, work, a, dissimilarity); });
}

}  // namespace vardell
