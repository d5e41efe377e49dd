#include "engine/coefficients.h"

#include <algorithm>
#include <atomic>
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
// comes from doing many pairs at once: object a against a block of BlockLanes objects, in the
// lanes of GCC's vector types, as many vectors as the block needs (on x86-64 kernels for
// AVX-512, AVX2 and the baseline, chosen at run time; elsewhere two lanes a vector).
// Every lane computes in plain double and is decided as RoundClearOfMidpoint decides. A lane
// too near a midpoint is marked, and after every few terms the marked lanes are done again
// from there by the scalar step, which decides in double-double or, failing that, in the
// extended format. So every lane gives exactly the scalar step's result.
//
// The lanes' flags are sign bits (set: yes), computed without comparisons of integers, which
// some vector units lack.

constexpr int BlockLanes = WorkingState::BlockLanes;
constexpr int ChunkTerms = 4;  // terms between two looks at the marked lanes

// W lanes of doubles, and of their bits.
template <int W>
struct LaneTypes {
  // (typedefs: GCC drops the attribute from a dependent alias declaration)
  typedef double Values __attribute__((vector_size(W * sizeof(double))));
  typedef std::int64_t Bits __attribute__((vector_size(W * sizeof(double))));
  typedef std::uint64_t Unsigned __attribute__((vector_size(W * sizeof(double))));
};

// The three sums; "OfExact" for a group of terms whose differences x - y (for the chord,
// of both parts of the roots) are all exact in double.
enum class SumKind { Absolute, AbsoluteOfExact, Square, SquareOfExact, Chord, ChordOfExact };

constexpr bool IsAbsolute(SumKind kind) {
  return kind == SumKind::Absolute || kind == SumKind::AbsoluteOfExact;
}
constexpr bool IsChord(SumKind kind) {
  return kind == SumKind::Chord || kind == SumKind::ChordOfExact;
}

// The screen's margin (see engine/exactsteps.h). With exact differences the square's chain
// loses the difference's rounding: s + d^2 with d exact errs by the square's and the sum's
// roundings only, as the absolute differences' sums do. The chord's roots with exact
// differences of both parts give the exact difference rounded once, as the Euclidean sum's
// d = x - y is: its margins.
template <SumKind kind>
constexpr std::int64_t SumMargin = IsAbsolute(kind)                ? AbsoluteSumMargin
                                   : kind == SumKind::Square       ? SquareSumMargin
                                   : kind == SumKind::Chord        ? ChordSumMargin
                                   : kind == SumKind::ChordOfExact ? SquareSumMargin
                                                                   : AbsoluteSumMargin;

// GCC builds of the eight-lane kernel (AVX-512) use the instructions' own rounding control and
// the fused multiply-add through inline assembly: the square is added to the sum with one
// rounding instead of two, which narrows the squares' margins (see engine/exactsteps.h). The
// 64-byte vectors sit in zmm registers there, since that kernel is built for AVX-512 only;
// clang checks the operands before it knows that, so its builds keep the general way.
#if defined(__x86_64__) && !defined(__clang__)
#define VARDELL_LANE_ASM 1
#else
#define VARDELL_LANE_ASM 0
#endif
template <int W>
constexpr bool FusedLanes = (VARDELL_LANE_ASM != 0) && W == 8;

// The objects whose sums the kernel of W lanes takes at once: two where the vector unit has
// registers enough for both (AVX-512 has 32).
template <int W>
constexpr int RowsAtOnce = W == 8 ? 2 : 1;

template <SumKind kind>
constexpr std::int64_t FusedSumMargin = kind == SumKind::Square         ? FusedSquareSumMargin
                                        : kind == SumKind::Chord        ? FusedChordSumMargin
                                        : kind == SumKind::ChordOfExact ? FusedSquareSumMargin
                                                                        : FusedExactSquareSumMargin;

// The margin of W lanes' sums.
template <SumKind kind, int W>
constexpr std::int64_t LaneMargin =
    FusedLanes<W> && !IsAbsolute(kind) ? FusedSumMargin<kind> : SumMargin<kind>;

// The lane helpers take and give lanes only by reference: the kernels below are built for
// several processors, and a vector passed by value would change its passing convention
// between them.
#define VARDELL_INLINE inline __attribute__((always_inline))

template <int W>
VARDELL_INLINE void LoadLanes(typename LaneTypes<W>::Values& to, const double* from) {
  std::memcpy(&to, from, sizeof to);
}

// Rounds every lane (h >= 0) to 40 bits, ties away from zero, in integer arithmetic on the
// double's bits, and notes in `near` the lanes within `margin` of a midpoint, the ones
// RoundClearOfMidpoint would refuse. After rounding, a lane below 2^-128 is flushed to 0 where
// a sum could be there (Tiny): only while it was 0 before the term, since the sums never
// shrink.
//
// The lowest 13 bits are moved so that the band 0x1000 - margin .. 0x1000 + margin becomes
// 0 .. 2 margin. For the squares `near` keeps the smallest band met; the rounding there is
// taken from the moved bits, which differs from the right one only inside the band, where
// the lane is done again anyway. The absolute differences are often exact and then land on
// a midpoint, so their lanes must be rounded right even there: `near` collects sign bits,
// set where a lane is in the band and inexact (its sign bit set) says a rounding happened.
template <SumKind kind, bool Tiny, int W>
VARDELL_INLINE void RoundLanes(typename LaneTypes<W>::Values& h,
                               const typename LaneTypes<W>::Bits& inexact,
                               typename LaneTypes<W>::Bits& near) {
  using I = typename LaneTypes<W>::Bits;
  constexpr std::int64_t margin = LaneMargin<kind, W>;
  I bits;
  std::memcpy(&bits, &h, sizeof bits);
  const I moved = bits + (0x1000 + margin);
  const I band = moved & 0x1fff;
  if constexpr (IsAbsolute(kind)) {
    near |= (band - (2 * margin + 1)) & inexact;
    bits = (bits + 0x1000) & ~std::int64_t{0x1fff};
  } else {
    near = near < band ? near : band;
    bits = moved & ~std::int64_t{0x1fff};
  }
  if constexpr (Tiny) {
    constexpr auto smallest = std::bit_cast<std::int64_t>(StorageReal::Smallest());
    bits &= bits >= smallest;  // all ones where kept
  }
  std::memcpy(&h, &bits, sizeof h);
}

// Where `near` starts a group of terms, and the lanes it marks at the end (sign bit set).
template <SumKind kind>
constexpr std::int64_t NearStart = IsAbsolute(kind) ? 0 : 0x1fff;
template <SumKind kind, int W>
VARDELL_INLINE void Marked(const typename LaneTypes<W>::Bits& near,
                           typename LaneTypes<W>::Bits& marked) {
  if constexpr (IsAbsolute(kind))
    marked = near;
  else
    marked = near - (2 * LaneMargin<kind, W> + 1);
}

// The error of a + b, so that a + b = (a + b rounded) + error exactly (Knuth's TwoSum).
template <int W, class D = typename LaneTypes<W>::Values>
VARDELL_INLINE void SumError(const D& a, const D& b, const D& sum, D& error) {
  const D bb = sum - a;
  error = (a - (sum - bb)) + (b - bb);
}

// Adds one term to every lane: s + |x - y|, s + (x - y)^2 or s + ((xH - yH) + (xL - yL))^2,
// and rounds.
template <SumKind kind, bool Tiny, int W, class D = typename LaneTypes<W>::Values,
          class I = typename LaneTypes<W>::Bits>
VARDELL_INLINE void AddTerm(D& s, double xH, double xL, const D& yH, const D& yL, I& near) {
  D d = xH - yH;
#if VARDELL_LANE_ASM
  if constexpr (IsAbsolute(kind) && !Tiny && W == 8) {
    // AVX-512 rounds each instruction as it is told: the sum is taken rounded down and
    // rounded up, from the difference rounded alike (or exact). The extended result lies
    // between the two (rounding is monotonic and keeps doubles, both in the difference and in
    // the sum), so it has their 40-bit rounding wherever they share it. Lanes where they do
    // not are marked.
    D dUp, dDown;
    if constexpr (kind == SumKind::AbsoluteOfExact) {
      I magnitude;
      std::memcpy(&magnitude, &d, sizeof d);
      magnitude &= 0x7fffffffffffffff;
      std::memcpy(&dUp, &magnitude, sizeof d);
      dDown = dUp;
    } else {
      const D x = D{} + xH, larger = x > yH ? x : yH, smaller = x > yH ? yH : x;
      asm("vsubpd %{ru-sae%}, %2, %1, %0" : "=v"(dUp) : "v"(larger), "v"(smaller));
      asm("vsubpd %{rz-sae%}, %2, %1, %0" : "=v"(dDown) : "v"(larger), "v"(smaller));
    }
    D up, down;
    asm("vaddpd %{ru-sae%}, %2, %1, %0" : "=v"(up) : "v"(s), "v"(dUp));
    asm("vaddpd %{rz-sae%}, %2, %1, %0" : "=v"(down) : "v"(s), "v"(dDown));
    I upBits, downBits;
    std::memcpy(&upBits, &up, sizeof up);
    std::memcpy(&downBits, &down, sizeof down);
    upBits = (upBits + 0x1000) & ~std::int64_t{0x1fff};
    downBits = (downBits + 0x1000) & ~std::int64_t{0x1fff};
    near |= downBits - upBits;  // sign bit where they round apart (down's is the lower)
    std::memcpy(&s, &upBits, sizeof s);
    return;
  }
#endif
  I inexact = {};
  if constexpr (IsAbsolute(kind)) {
    // Whether the difference and the sum were exact: the sum's error by Dekker's Fast2Sum
    // from the larger addend (exact for two addends >= 0), the difference's by TwoSum unless
    // every difference is exact.
    I errorBits;
    if constexpr (kind == SumKind::Absolute) {
      D dError;
      SumError<W>(D{} + xH, -yH, d, dError);
      std::memcpy(&errorBits, &dError, sizeof dError);
    }
    I magnitude;
    std::memcpy(&magnitude, &d, sizeof d);
    magnitude &= 0x7fffffffffffffff;
    std::memcpy(&d, &magnitude, sizeof d);
    const D sum = s + d;
    const D larger = s > d ? s : d, smaller = s > d ? d : s;
    const D sumError = smaller - (sum - larger);
    I sumErrorBits;
    std::memcpy(&sumErrorBits, &sumError, sizeof sumError);
    if constexpr (kind == SumKind::Absolute)
      errorBits |= sumErrorBits;
    else
      errorBits = sumErrorBits;
    inexact = -(errorBits & 0x7fffffffffffffff);  // sign bit set where an error is not 0 or -0
    s = sum;
  } else {
    if constexpr (IsChord(kind)) d += xL - yL;
#if VARDELL_LANE_ASM
    if constexpr (FusedLanes<W>)
      asm("vfmadd231pd %1, %1, %0" : "+v"(s) : "v"(d));
    else
#endif
      s += d * d;
  }
  RoundLanes<kind, Tiny, W>(s, inexact, near);
}

// Whether any lane's sign bit is set: from a mask register, or the lanes folded in halves.
template <int W>
VARDELL_INLINE bool AnySignSet(const typename LaneTypes<W>::Bits& bits) {
  if constexpr (W == 8) {
#if VARDELL_LANE_ASM
    unsigned char signs;  // one bit a lane
    asm("vpmovq2m %1, %0" : "=k"(signs) : "v"(bits));
    return signs != 0;
#else
    const auto four = __builtin_shufflevector(bits, bits, 0, 1, 2, 3) |
                      __builtin_shufflevector(bits, bits, 4, 5, 6, 7);
    const auto two =
        __builtin_shufflevector(four, four, 0, 1) | __builtin_shufflevector(four, four, 2, 3);
    return (two[0] | two[1]) < 0;
#endif
  } else if constexpr (W == 4) {
    const auto two =
        __builtin_shufflevector(bits, bits, 0, 1) | __builtin_shufflevector(bits, bits, 2, 3);
    return (two[0] | two[1]) < 0;
  } else {
    static_assert(W == 2);
    return (bits[0] | bits[1]) < 0;
  }
}

// Whether any lane of the sums is 0.
template <int W, int R, int K>
VARDELL_INLINE bool AnyZero(const typename LaneTypes<W>::Values (&s)[R][K]) {
  using I = typename LaneTypes<W>::Bits;
  I any = {};
  for (int r = 0; r < R; ++r)
    for (int k = 0; k < K; ++k) {
      I bits;
      std::memcpy(&bits, &s[r][k], sizeof bits);
      any |= bits - 1;  // the sums are >= 0
    }
  return AnySignSet<W>(any);
}

// The scalar step, for the lanes the screen leaves.
template <SumKind kind>
double ScalarStep(double s, double xH, double xL, double yH, double yL) {
  if constexpr (IsAbsolute(kind)) return AbsoluteStep(s, xH, yH);
  if constexpr (!IsChord(kind)) return SquareStep(s, xH, yH);
  // Against a root of 0 the term is the other root's square, within 2^-63 of the value under
  // the root. That value and the sum before it both have 40 bits, so where the screen refused
  // such a sum it nearly always lies within 2^-63 of a 40-bit midpoint, closer than the
  // double-double step decides: straight to the exact one.
  const DoubleDouble x{xH, xL}, y{yH, yL};
  if (xH == 0 || yH == 0) return SquareStepSlow(s, ToExtended(x), ToExtended(y));
  return ChordStep(s, x, y);
}

// The values of one object (x) and of one block of objects (y), both in their blocks, variable
// by variable; the low parts only for the chord coefficient.
struct Operands {
  const double* XH;  // variable v at [v * BlockLanes]
  const double* XL;
  const double* YH;  // lane l of variable v at [v * BlockLanes + l]
  const double* YL;
  const bool* ExactGroups;  // per group of ChunkTerms variables: every difference exact
};

// One lane's term as the lanes compute and decide it, in scalar arithmetic: false where the
// lane would be marked. The rounding is the right one wherever the lane is decided.
template <SumKind kind>
bool PlainStep(double s, double xH, double xL, double yH, double yL, double& out) {
  double h;
  bool exact = false;
  if constexpr (IsAbsolute(kind)) {
    double d, dError;
    exact::TwoSum(xH, -yH, d, dError);
    d = std::fabs(d);
    h = s + d;
    const double larger = s > d ? s : d, smaller = s > d ? d : s;
    exact = (kind == SumKind::AbsoluteOfExact || dError == 0) && smaller - (h - larger) == 0;
  } else {
    double d = xH - yH;
    if constexpr (IsChord(kind)) d += xL - yL;
    h = s + d * d;
  }
  const auto bits = std::bit_cast<std::int64_t>(h);
  constexpr std::int64_t margin = SumMargin<kind>;
  if (((bits + 0x1000 + margin) & 0x1fff) <= 2 * margin && !exact) return false;
  out = exact::Flushed(std::bit_cast<double>((bits + 0x1000) & ~std::int64_t{0x1fff}));
  return true;
}

// Does terms v0 .. v1 - 1 again for the marked ones of the first `count` lanes, starting from
// their sums before those terms: each term as the lanes do it where they decide it, else by
// the scalar step.
template <SumKind kind>
[[gnu::noinline]] void RedoLanes(double* sums, const double* before, const std::int64_t* marked,
                                 int count, const Operands& in, int v0, int v1) {
  unsigned lanes = 0;
  for (int lane = 0; lane < count; ++lane) lanes |= static_cast<unsigned>(marked[lane] < 0) << lane;
  for (; lanes != 0; lanes &= lanes - 1) {
    const int lane = std::countr_zero(lanes);
    double sum = before[lane];
    for (int v = v0; v < v1; ++v) {
      const double xL = in.XL ? in.XL[v * BlockLanes] : 0.0, yH = in.YH[v * BlockLanes + lane],
                   yL = in.YL ? in.YL[v * BlockLanes + lane] : 0.0;
      const double xH = in.XH[v * BlockLanes];
      if (!PlainStep<kind>(sum, xH, xL, yH, yL, sum)) sum = ScalarStep<kind>(sum, xH, xL, yH, yL);
    }
    sums[lane] = sum;
  }
}

// Terms v0 .. v1 - 1 of R objects against the block's first K vectors of W lanes; each sum
// rounded (and flushed) after every term, as the scalar step does. The objects share the
// block's loads, and their sums are independent chains of operations, which the processor
// overlaps.
template <SumKind kind, bool Tiny, int W, int K, int R>
VARDELL_INLINE void SumChunk(const Operands (&in)[R], int v0, int v1,
                             typename LaneTypes<W>::Values (&s)[R][K],
                             const typename LaneTypes<W>::Bits (&wanted)[K]) {
  using D = typename LaneTypes<W>::Values;
  using I = typename LaneTypes<W>::Bits;
  D before[R][K];
  I near[R][K];
  for (int r = 0; r < R; ++r)
    for (int k = 0; k < K; ++k) {
      before[r][k] = s[r][k];
      near[r][k] = I{} + NearStart<kind>;
    }
#pragma GCC unroll 8
  for (int v = v0; v < v1; ++v) {
    double xH[R], xL[R];
    for (int r = 0; r < R; ++r) {
      xH[r] = in[r].XH[v * BlockLanes];
      xL[r] = IsChord(kind) ? in[r].XL[v * BlockLanes] : 0.0;
    }
    for (int k = 0; k < K; ++k) {
      D yH, yL = {};
      LoadLanes<W>(yH, in[0].YH + v * BlockLanes + k * W);
      if constexpr (IsChord(kind)) LoadLanes<W>(yL, in[0].YL + v * BlockLanes + k * W);
      for (int r = 0; r < R; ++r) AddTerm<kind, Tiny, W>(s[r][k], xH[r], xL[r], yH, yL, near[r][k]);
    }
  }
  I marked[R][K], any = {};
  for (int r = 0; r < R; ++r)
    for (int k = 0; k < K; ++k) {
      Marked<kind, W>(near[r][k], marked[r][k]);
      marked[r][k] &= wanted[k];
      any |= marked[r][k];
    }
  if (AnySignSet<W>(any)) [[unlikely]] {
    for (int r = 0; r < R; ++r) {
      // Through memory, so that the sums themselves can stay in registers.
      double sums[K * W], starts[K * W];
      std::int64_t marks[K * W];
      std::memcpy(sums, &s[r], sizeof sums);
      std::memcpy(starts, &before[r], sizeof starts);
      std::memcpy(marks, &marked[r], sizeof marks);
      RedoLanes<kind>(sums, starts, marks, K * W, in[r], v0, v1);
      std::memcpy(&s[r], sums, sizeof sums);
    }
  }
}

// The p-term sums of R objects against the block, each lane from its start (0, or a value
// above 0 for the lanes whose sums are not wanted), into sums + r * BlockLanes. Terms below
// 2^-128 can only be met while a sum is still 0, so the flushing variant runs only until
// every lane has left 0.
template <SumKind kind, SumKind ofExact, int W, int K, int R>
VARDELL_INLINE void SumBlock(const Operands (&in)[R], int p, const double* start, double* sums) {
  typename LaneTypes<W>::Values s[R][K];
  for (int r = 0; r < R; ++r) std::memcpy(&s[r], start, sizeof s[r]);
  // The lanes whose sums are wanted (all bits set) start at 0; the others are never marked,
  // since they are not done again.
  typename LaneTypes<W>::Bits wanted[K];
  std::memcpy(&wanted, start, sizeof wanted);
  for (int k = 0; k < K; ++k) wanted[k] = wanted[k] == 0;
  // Whole groups first, with a constant count of terms; then the rest.
  bool anyZero = true;
  int v0 = 0;
  for (; v0 + ChunkTerms <= p; v0 += ChunkTerms) {
    const bool tiny = anyZero && (anyZero = AnyZero<W, R, K>(s));
    const bool exact = kind != ofExact && in[0].ExactGroups[v0 / ChunkTerms];
    if (tiny)
      SumChunk<kind, true, W, K, R>(in, v0, v0 + ChunkTerms, s, wanted);
    else if (exact)
      SumChunk<ofExact, false, W, K, R>(in, v0, v0 + ChunkTerms, s, wanted);
    else
      SumChunk<kind, false, W, K, R>(in, v0, v0 + ChunkTerms, s, wanted);
  }
  if (v0 < p) SumChunk<kind, true, W, K, R>(in, v0, p, s, wanted);
  for (int r = 0; r < R; ++r) std::memcpy(sums + r * BlockLanes, &s[r], sizeof s[r]);
}

// The sums of R objects against K vectors of W lanes of the block, for every kind.
template <int W, int K, int R>
VARDELL_INLINE void SumsOf(CoefficientCode coefficient, const Operands (&in)[R], int p,
                           const double* start, double* sums) {
  switch (coefficient) {
    case CoefficientCode::Manhattan:
      SumBlock<SumKind::Absolute, SumKind::AbsoluteOfExact, W, K, R>(in, p, start, sums);
      break;
    case CoefficientCode::Euclidean:
      SumBlock<SumKind::Square, SumKind::SquareOfExact, W, K, R>(in, p, start, sums);
      break;
    case CoefficientCode::Chord:
      SumBlock<SumKind::Chord, SumKind::ChordOfExact, W, K, R>(in, p, start, sums);
      break;
  }
}

// Which lanes of the block are wanted: all of them, or only the first or the second half,
// whose others are not computed at all.
enum class BlockPart { Whole, FirstHalf, SecondHalf };

template <int W, int R>
VARDELL_INLINE void SumsOf(CoefficientCode coefficient, BlockPart part, const Operands (&in)[R],
                           int p, const double* start, double* sums) {
  constexpr int K = BlockLanes / W, Half = BlockLanes / 2;
  if (part == BlockPart::Whole) return SumsOf<W, K, R>(coefficient, in, p, start, sums);
  if (part == BlockPart::FirstHalf) return SumsOf<W, K / 2, R>(coefficient, in, p, start, sums);
  Operands second[R];
  for (int r = 0; r < R; ++r) {
    second[r] = in[r];
    second[r].YH += Half;
    if (second[r].YL) second[r].YL += Half;
  }
  SumsOf<W, K / 2, R>(coefficient, second, p, start + Half, sums + Half);
}

// The sums of `rows` objects against the block: RowsAtOnce<W> at a time, the rest one by one.
template <int W>
VARDELL_INLINE void SumsOf(CoefficientCode coefficient, BlockPart part, const Operands* in,
                           int rows, int p, const double* start, double* sums) {
  constexpr int R = RowsAtOnce<W>;
  int r = 0;
  if constexpr (R > 1) {
    for (; r + R <= rows; r += R) {
      Operands group[R];
      std::copy(in + r, in + r + R, group);
      SumsOf<W, R>(coefficient, part, group, p, start, sums + r * BlockLanes);
    }
  }
  for (; r < rows; ++r) {
    const Operands one[1] = {in[r]};
    SumsOf<W, 1>(coefficient, part, one, p, start, sums + r * BlockLanes);
  }
}

// ---- The chord coefficient's roots, lane by lane ----

// The roots of value - offset in W lanes, decided as ChordRootFast decides them, with the
// same operations: `refused` gets the sign bit where ChordRootFast would refuse. The tests
// are done on the doubles' bits and give sign bits, which every vector unit computes
// directly (a >= 0 orders like its bits).
template <int W>
VARDELL_INLINE void RootLanes(const typename LaneTypes<W>::Values& value,
                              const typename LaneTypes<W>::Values& offset,
                              typename LaneTypes<W>::Values& high,
                              typename LaneTypes<W>::Values& low,
                              typename LaneTypes<W>::Bits& refused) {
  using D = typename LaneTypes<W>::Values;
  using I = typename LaneTypes<W>::Bits;
  constexpr std::int64_t exponentBits = 0x7ff0000000000000, fractionBits = 0xfffffffffffff;
  constexpr std::int64_t placeShift = std::int64_t{63} << 52, one = 0x3ff0000000000000;
  D a = value - offset, ae;  // TwoSum(value, -offset)
  {
    const D bb = a - value;
    ae = (value - (a - bb)) + (-offset - bb);
  }
  I aBits;
  std::memcpy(&aBits, &a, sizeof a);
  // Fraction 0 or all ones: (fraction + 1) & fractionBits is 1 or 0.
  constexpr auto lowest = std::bit_cast<std::int64_t>(0x1p-900);
  constexpr auto highest = std::bit_cast<std::int64_t>(0x1p900);
  I refuse = (aBits - (lowest + 1)) | (highest - 1 - aBits) | (((aBits + 1) & fractionBits) - 2);
  // All ones where a is 0, whose root is 0.
  using U = typename LaneTypes<W>::Unsigned;
  const I zero = -(I)((U)((aBits - 1) & ~aBits) >> 63);
  // The 64-bit last place of a's binade, g, and 1 / g (exact: powers of two).
  // (unsigned: in lanes refused or 0 they may wrap around)
  const U gBits = ((U)aBits & exponentBits) - placeShift, gInverseBits = 2 * one - gBits;
  D g, gInverse;
  std::memcpy(&g, &gBits, sizeof g);
  std::memcpy(&gInverse, &gInverseBits, sizeof g);
  ae = (((ae * gInverse) + 0x1.8p52) - 0x1.8p52) * g;  // rounded to a multiple of g
  D r;
  for (int lane = 0; lane < W; ++lane) r[lane] = __builtin_sqrt(a[lane]);
  I rBits;
  std::memcpy(&rBits, &r, sizeof r);
  refuse |= ((rBits + 1) & fractionBits) - 2;
  const D p = r * r;
  // exact::ProductError(r, r, p), by Veltkamp's split.
  const D t = 134217729.0 * r;
  const D rh = t - (t - r), rl = r - rh;
  const D pe = ((rh * rh - p) + rh * rl + rl * rh) + rl * rl;
  const D e = ((a - p) - pe) + ae;
  const U g2Bits = ((U)rBits & exponentBits) - placeShift, g2InverseBits = 2 * one - g2Bits;
  D g2, g2Inverse;
  std::memcpy(&g2, &g2Bits, sizeof g2);
  std::memcpy(&g2Inverse, &g2InverseBits, sizeof g2);
  const D x = e / (2 * r) * g2Inverse;
  const D k = (x + 0x1.8p52) - 0x1.8p52;
  // Refused within 2^-30 of a half-integer: ||x - k| - 0.5| <= 2^-30.
  constexpr std::int64_t magnitudeBits = 0x7fffffffffffffff;
  D fromHalf = x - k;
  I halfBits;
  std::memcpy(&halfBits, &fromHalf, sizeof fromHalf);
  halfBits &= magnitudeBits;
  std::memcpy(&fromHalf, &halfBits, sizeof fromHalf);
  fromHalf -= 0.5;
  std::memcpy(&halfBits, &fromHalf, sizeof fromHalf);
  refuse |= (halfBits & magnitudeBits) - (std::bit_cast<std::int64_t>(0x1p-30) + 1);
  const D step = k * g2;
  high = r + step;  // TwoSum(r, k * g2)
  {
    const D bb = high - r;
    low = (r - (high - bb)) + (step - bb);
  }
  I highBits, lowBits;
  std::memcpy(&highBits, &high, sizeof high);
  std::memcpy(&lowBits, &low, sizeof low);
  highBits &= ~zero;
  lowBits &= ~zero;
  std::memcpy(&high, &highBits, sizeof high);
  std::memcpy(&low, &lowBits, sizeof low);
  refused = refuse & ~zero;
}

// One object's chord roots, variable by variable: W at a time where the lanes decide them,
// ChordRoot where they cannot.
template <int W>
VARDELL_INLINE void RootsOf(const double* values, const double* offsets, int p, double* high,
                            double* low) {
  using D = typename LaneTypes<W>::Values;
  using I = typename LaneTypes<W>::Bits;
  int v = 0;
  for (; v + W <= p; v += W) {
    D value, offset, h, l;
    I refused;
    LoadLanes<W>(value, values + v);
    LoadLanes<W>(offset, offsets + v);
    RootLanes<W>(value, offset, h, l, refused);
    std::memcpy(high + v, &h, sizeof h);
    std::memcpy(low + v, &l, sizeof l);
    if (!AnySignSet<W>(refused)) continue;
    for (int lane = 0; lane < W; ++lane) {
      if (refused[lane] >= 0) continue;
      const DoubleDouble root = ChordRoot(StorageReal::FromRounded(values[v + lane]),
                                          StorageReal::FromRounded(offsets[v + lane]));
      high[v + lane] = root.H;
      low[v + lane] = root.L;
    }
  }
  for (; v < p; ++v) {
    DoubleDouble root;
    if (!ChordRootFast(values[v], offsets[v], root))
      root = ChordRoot(StorageReal::FromRounded(values[v]), StorageReal::FromRounded(offsets[v]));
    high[v] = root.H;
    low[v] = root.L;
  }
}

using SumsKernel = void (*)(CoefficientCode, BlockPart, const Operands*, int, int, const double*,
                            double*);
using RootsKernel = void (*)(const double*, const double*, int, double*, double*);

// Two lanes a vector: SSE2 on x86-64, NEON on aarch64, plain code elsewhere.
void SumsOf2(CoefficientCode coefficient, BlockPart part, const Operands* in, int rows, int p,
             const double* start, double* sums) {
  SumsOf<2>(coefficient, part, in, rows, p, start, sums);
}
void RootsOf2(const double* values, const double* offsets, int p, double* high, double* low) {
  RootsOf<2>(values, offsets, p, high, low);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void SumsOf4(CoefficientCode coefficient, BlockPart part,
                                             const Operands* in, int rows, int p,
                                             const double* start, double* sums) {
  SumsOf<4>(coefficient, part, in, rows, p, start, sums);
}
__attribute__((target("avx2"))) void RootsOf4(const double* values, const double* offsets, int p,
                                              double* high, double* low) {
  RootsOf<4>(values, offsets, p, high, low);
}
__attribute__((target("avx512f,avx512dq,avx512vl"))) void SumsOf8(CoefficientCode coefficient,
                                                                  BlockPart part,
                                                                  const Operands* in, int rows,
                                                                  int p, const double* start,
                                                                  double* sums) {
  SumsOf<8>(coefficient, part, in, rows, p, start, sums);
}
__attribute__((target("avx512f,avx512dq,avx512vl"))) void RootsOf8(const double* values,
                                                                   const double* offsets, int p,
                                                                   double* high, double* low) {
  RootsOf<8>(values, offsets, p, high, low);
}
#endif

// Whether the processor runs the kernels of `lanes` lanes a vector, and those kernels.
bool Runs(int lanes) {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (lanes == 8)
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("avx512vl");
  if (lanes == 4) return __builtin_cpu_supports("avx2");
#endif
  return lanes == 2;
}
struct Kernels {
  SumsKernel Sums;
  RootsKernel Roots;
};
Kernels KernelsOf([[maybe_unused]] int lanes) {
#if defined(__x86_64__)
  if (lanes == 8) return {SumsOf8, RootsOf8};
  if (lanes == 4) return {SumsOf4, RootsOf4};
#endif
  return {SumsOf2, RootsOf2};
}

// The lanes of the kernel in use: the most the processor runs.
std::atomic<int>& KernelLanes() {
  static std::atomic<int> lanes = Runs(8) ? 8 : Runs(4) ? 4 : 2;
  return lanes;
}

// ---- Preparing the values and finishing the sums ----

// The chord's roots, given as their nearest doubles and the rest, held instead as their first
// 32 bits and the rest. A root r of the binade [2^e, 2^(e+1)) is a 64-bit value, a multiple of
// 2^(e-63); its high part becomes a multiple of 2^(e-31) within 2^(e-31) of it (at most
// 2^(e+1): rounding may carry it to the next binade), so the rest r - high is a multiple of
// 2^(e-63) below 2^(e-31): 32 bits, exact. (The double's distance to its own 32-bit rounding
// is exact too, by Sterbenz's lemma.) The differences of two roots' parts are then exact
// wherever the roots lie in nearby binades (see FindExactGroups).
void SplitRoots(double* high, double* low, int p) {
  constexpr std::uint64_t half = std::uint64_t{1} << 20, dropped = (half << 1) - 1;
  for (int v = 0; v < p; ++v) {
    const double top =
        std::bit_cast<double>((std::bit_cast<std::uint64_t>(high[v]) + half) & ~dropped);
    low[v] += high[v] - top;
    high[v] = top;
  }
}

// The binades a block's values of each variable span: the lowest and highest biased exponent
// (the values are 0 or normal doubles), 0 taken as above every binade.
struct Binades {
  std::int32_t Lowest[MaxVariables], Highest[MaxVariables];
};

void WidenBinades(const double* row, int p, Binades& binades) {
  for (int v = 0; v < p; ++v) {
    const auto exponent =
        static_cast<std::int32_t>(std::bit_cast<std::uint64_t>(row[v]) >> 52 & 0x7ff);
    binades.Lowest[v] = std::min(binades.Lowest[v], exponent == 0 ? 0x7ff : exponent);
    binades.Highest[v] = std::max(binades.Highest[v], exponent);
  }
}

// The values of block k's objects, or for the chord coefficient their offset square roots,
// into the block, and the binades of the block's values (the roots' high parts). One thread
// fills a whole block: the block stores eight objects' values in a cache line, which threads
// sharing the block would pass to and fro.
void PrepareBlock(const DataMatrix& matrix, bool chord, const double* offsets, int k,
                  WorkingState& work, Binades& binades) {
  const int p = matrix.VariableCount;
  const int first = k * BlockLanes + 1, last = std::min(matrix.ObjectCount, first + BlockLanes - 1);
  const RootsKernel roots = KernelsOf(KernelLanes().load(std::memory_order_relaxed)).Roots;
  std::fill_n(binades.Lowest, p, 0x7ff);
  std::fill_n(binades.Highest, p, 0);
  for (int o = first; o <= last; ++o) {
    const StorageReal* values = matrix.Values[o] + 1;
    const int lane = o - first;
    double row[MaxVariables], high[MaxVariables], low[MaxVariables];
    UnpackRow(values, p, row);
    if (!chord) {
      for (int v = 0; v < p; ++v) work.ValueBlocks[k][v][lane] = row[v];
      WidenBinades(row, p, binades);
      continue;
    }
    roots(row, offsets, p, high, low);
    SplitRoots(high, low, p);
    for (int v = 0; v < p; ++v) {
      work.ValueBlocks[k][v][lane] = high[v];
      work.RootLowBlocks[k][v][lane] = low[v];
    }
    WidenBinades(high, p, binades);
  }
}

// The lanes of the last block past the last object: 0.
void ClearPastTheLast(const DataMatrix& matrix, WorkingState& work) {
  const int n = matrix.ObjectCount;
  for (int o = n + 1; o <= (n + BlockLanes - 1) / BlockLanes * BlockLanes; ++o) {
    const int block = (o - 1) / BlockLanes, lane = (o - 1) % BlockLanes;
    for (int v = 0; v < matrix.VariableCount; ++v)
      work.ValueBlocks[block][v][lane] = work.RootLowBlocks[block][v][lane] = 0;
  }
}

// Whether every difference of two values of a variable is exact in double, for every group
// of ChunkTerms variables. Values of 40 bits whose nonzero magnitudes lie in binades
// 2^lo .. 2^hi are multiples of 2^(lo - 39), and their differences are below 2^(hi + 2), so
// they need at most hi - lo + 41 bits: exact when hi - lo <= 12. The chord's roots, split as
// SplitRoots splits them, from binades eB <= eA: the high parts' differences are multiples of
// 2^(eB - 31) of at most 2^(eA + 1), the rest's multiples of 2^(eB - 63) below 2^(eA - 30),
// both at most eA - eB + 33 bits: exact when eA - eB <= 20. The high parts' binades are the
// roots' or one above, so hi - lo <= 18 (`span`) is safe. A difference with 0 is the other
// value.
void FindExactGroups(int p, const Binades* blockBinades, int blocks, int span, bool* exactGroups) {
  for (int v = 0; v < p; ++v) {
    std::int32_t lo = 0x7ff, hi = 0;
    for (int k = 0; k < blocks; ++k) {
      lo = std::min(lo, blockBinades[k].Lowest[v]);
      hi = std::max(hi, blockBinades[k].Highest[v]);
    }
    bool& group = exactGroups[v / ChunkTerms];
    group = (v % ChunkTerms == 0 || group) && hi <= lo + span;
  }
}

// The stored forms of one row's sums against a block, lanes from..to: the quotient by p
// (Manhattan), the square root, or the sum itself, which is already rounded. A sum too large
// for the storage real sets `overflow` instead. The quotients and roots are taken for the
// whole block at once (in vectors) and rounded by PlainRounding; the lanes it leaves are done
// again one by one.
void FinishLanes(CoefficientCode coefficient, bool squared, int p, const double* sums, int from,
                 int to, StorageReal* stored, bool& overflow) {
  const bool manhattan = coefficient == CoefficientCode::Manhattan;
  const bool plainSums = squared && !manhattan;
  alignas(64) double finished[BlockLanes];
  std::int64_t refused = 0;  // bit l for lane l
  if (plainSums) {
    for (int lane = 0; lane < BlockLanes; ++lane) {
      finished[lane] = sums[lane];
      refused |= std::int64_t{!(sums[lane] <= StorageReal::Largest())} << lane;
    }
  } else {
    const double divisor = p;
    for (int lane = 0; lane < BlockLanes; ++lane)
      finished[lane] = manhattan ? sums[lane] / divisor : std::sqrt(sums[lane]);
    for (int lane = 0; lane < BlockLanes; ++lane) {
      bool decided;
      finished[lane] = PlainRounding(finished[lane], decided);
      refused |= std::int64_t{!(decided && sums[lane] <= StorageReal::Largest())} << lane;
    }
  }
  const std::int64_t wanted = (std::int64_t{2} << to) - (std::int64_t{1} << from);
  refused &= wanted;
  if (refused == 0) return PackRow(finished + from, to - from + 1, stored + from);
  for (int lane = from; lane <= to; ++lane) {
    const double s = sums[lane];
    if (!(refused >> lane & 1))
      stored[lane] = StorageReal::FromRounded(finished[lane]);
    else if (!(s <= StorageReal::Largest()))
      overflow = true;  // the only lanes plain sums refuse
    else
      stored[lane] = manhattan ? StoredQuotient(s, p) : StoredSquareRoot(s);
  }
}

// The pairs of every object with the objects of block k after it, finished into the matrix.
// A sum too large for the storage real is noted in overflowed[a] instead.
void FillBlock(CoefficientCode coefficient, bool squared, const bool* exactGroups,
               const DataMatrix& matrix, const WorkingState& work, int k,
               DissimilarityMatrix& dissimilarity, unsigned char* overflowed) {
  const int n = matrix.ObjectCount, p = matrix.VariableCount;
  const int first = k * BlockLanes + 1, last = std::min(n, first + BlockLanes - 1);
  const bool chord = coefficient == CoefficientCode::Chord;
  constexpr int MaxRows = 2;  // the most any kernel takes at once
  alignas(64) double start[BlockLanes], sums[MaxRows * BlockLanes] = {};
  const SumsKernel kernel = KernelsOf(KernelLanes().load(std::memory_order_relaxed)).Sums;
  // Objects before the block want the same lanes: they go two at a time.
  for (int a = 1, rows; a < last; a += rows) {
    rows = a + 1 < first ? MaxRows : 1;
    for (int lane = 0; lane < BlockLanes; ++lane) {
      const int b = first + lane;
      start[lane] = b > a && b <= n ? 0.0 : 1.0;  // the others kept off 0
    }
    const int from = std::max(a + 1, first) - first, to = last - first;  // the wanted lanes
    const BlockPart part = to < BlockLanes / 2      ? BlockPart::FirstHalf
                           : from >= BlockLanes / 2 ? BlockPart::SecondHalf
                                                    : BlockPart::Whole;
    Operands in[MaxRows];
    for (int r = 0; r < rows; ++r) {
      const int ak = (a + r - 1) / BlockLanes, al = (a + r - 1) % BlockLanes;
      in[r] = {&work.ValueBlocks[ak][0][al], chord ? &work.RootLowBlocks[ak][0][al] : nullptr,
               &work.ValueBlocks[k][0][0], chord ? &work.RootLowBlocks[k][0][0] : nullptr,
               exactGroups};
    }
    kernel(coefficient, part, in, rows, p, start, sums);
    for (int r = 0; r < rows; ++r) {
      bool overflow = false;
      FinishLanes(coefficient, squared, p, sums + r * BlockLanes, from, to,
                  dissimilarity.D[a + r] + first, overflow);
      if (overflow) overflowed[a + r] = 1;
    }
  }
}

}  // namespace

namespace detail {
int CoefficientLanes() { return KernelLanes().load(); }
bool UseCoefficientLanes(int lanes) {
  if (!Runs(lanes)) return false;
  KernelLanes().store(lanes);
  return true;
}
}  // namespace detail

// The same sums as the three coefficient functions, term by term and rounded alike.
void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity, WorkingState& work) {
  const int n = matrix.ObjectCount, p = matrix.VariableCount;
  if (n < 2) return;
  const bool squared = SquaredForm(settings.Strategy, settings.Constrained);
  const CoefficientCode coefficient = settings.Coefficient;
  const int threads = ThreadsFor(std::int64_t{n} * (n - 1) / 2 * p, 200000);  // terms
  const bool chord = coefficient == CoefficientCode::Chord;
  if (!chord && coefficient != CoefficientCode::Manhattan &&
      coefficient != CoefficientCode::Euclidean)
    throw std::invalid_argument("Unknown dissimilarity coefficient");
  double offsets[MaxVariables];
  for (int v = 0; v < p; ++v) offsets[v] = matrix.ChordOffset[v + 1].ToDouble();
  const int blocks = (n + BlockLanes - 1) / BlockLanes;
  Binades binades[WorkingState::MaxBlocks];
  RunShared(0, blocks, threads,
            [&](int k) { PrepareBlock(matrix, chord, offsets, k, work, binades[k]); });
  ClearPastTheLast(matrix, work);
  bool exactGroups[MaxVariables / ChunkTerms + 1] = {};
  FindExactGroups(p, binades, blocks, chord ? 18 : 12, exactGroups);
  // The last blocks hold the most pairs: they go first.
  unsigned char overflowed[WorkingState::MaxBlocks][MaxObjects + 1] = {};
  RunShared(0, blocks, threads, [&](int i) {
    const int k = blocks - 1 - i;
    FillBlock(coefficient, squared, exactGroups, matrix, work, k, dissimilarity, overflowed[k]);
  });
  for (int a = 1; a < n; ++a)
    for (int k = 0; k < blocks; ++k)
      if (overflowed[k][a]) throw FloatingPointOverflow();
}

}  // namespace vardell
