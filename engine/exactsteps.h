#pragma once
// The analysis's arithmetic steps, exact to the bit on every processor: each step's result is
// what the extended format (64-bit significand, nearest even at every operation) followed by
// the storage real's rounding (40 bits, nearest, ties away from zero) gives.
//
// Fast path: the step's exact mathematical value z is approximated in double-double by z'
// and the storage rounding is decided from z' when z' lies far enough from every 40-bit
// rounding boundary. Slow path: where it does not, the step is done again in the extended
// format (analysis/extended.h), exactly as written.
//
// Why the fast decision is right. Let y be the extended-format result before the storage
// rounding. Every extended operation has a relative error of at most 2^-64. In a running sum
// both addends are >= 0, so the chain d = x - y, t = d * d, s + t gives
// |y - z| <= ((1 + 2^-64)^4 - 1) z < 2^-61.9 z. In the Lance-Williams combination, seven
// operations each err by at most 2^-64 times a partial result, and every partial result is at
// most M = |aI ki| + |aJ kj| + |beta dij| + |gamma| |ki - kj| (times 1 + 2^-62), so
// |y - z| < 2^-60.9 M. The double-double approximations below are exact except for a few
// roundings of relative size 2^-104 of z (or of M), and the residual against the boundary is
// computed with an error below 2^-92 |z'|. A caller passes a margin covering all of these
// (2^-60 z' for the sums, 2^-59 M for the combination). RoundDoubleDouble decides only when
// z' is farther than the margin from the nearest 40-bit midpoint and the margin is below a
// quarter unit of the last place (so no binade edge lies within reach); then y and z' are on
// the same side of every midpoint, and both round to the same 40-bit value.

#include <bit>
#include <cmath>
#include <cstdint>

#include "analysis/capacities.h"
#include "analysis/doubledouble.h"
#include "analysis/storagereal.h"

namespace vardell {

DoubleDouble ToDoubleDouble(const Extended& v);  // exact for values of at most 106 bits
Extended ToExtended(DoubleDouble v);

// One step of a running sum: s (a 40-bit value >= 0) plus the term of x and y, rounded to
// the storage real's precision and flushed below 2^-128 but not checked against the largest
// value (the sums only grow, so their callers check once at the end).
//   Euclidean and chord: s + (x - y)^2;  Manhattan: s + |x - y|.
// For the chord coefficient x and y are the variables' square roots (64-bit values).
double SquareStepSlow(double s, const Extended& x, const Extended& y);
double AbsoluteStepSlow(double s, const Extended& x, const Extended& y);

// The fast paths: false when the slow path must decide.
namespace exact {
// s + (d + de)^2, where d + de is the exact difference and |de| <= half a unit of d's last
// place; de^2 (below 2^-106 d^2) is left out.
inline bool SquareSumStep(double s, double d, double de, double& out) {
  double h, l;
  const double t = d * d;
  const double te = exact::ProductError(d, d, t) + 2 * d * de;
  TwoSum(s, t, h, l);
  if (!RoundDoubleDouble(h, l + te, h * 0x1p-60, out)) return false;
  out = Flushed(out);
  return true;
}
}  // namespace exact

inline bool SquareStepFast(double s, double x, double y, double& out) {
  double d, de;
  exact::TwoSum(x, -y, d, de);
  return exact::SquareSumStep(s, d, de, out);
}

inline bool AbsoluteStepFast(double s, double x, double y, double& out) {
  double d, de, h, l;
  exact::TwoSum(x, -y, d, de);
  if (d < 0) d = -d, de = -de;
  exact::TwoSum(s, d, h, l);
  // Sums of absolute differences often land exactly halfway: decided here when all is exact.
  if (!exact::RoundDoubleDouble(h, l + de, h * 0x1p-60, out) &&
      !(de == 0 && exact::RoundExactTie(h, l, out)))
    return false;
  out = exact::Flushed(out);
  return true;
}

// The roots are held as H + L, both multiples of 2^-63 of the root's binade, |L| < 2^-30 H
// (ChordRoot's nearest double and rest, or the coefficient step's 32-bit split). TwoSum takes
// x.H - y.H exactly. When the high parts lie within a factor 2 of each other, x.L - y.L is
// exact too (at most 36 bits), and d + de is the exact difference; otherwise
// |x - y| >= max / 2, x.L - y.L is below 2^-28 of it, and the two roundings before the last
// TwoSum err by less than 2^-80 |x - y|. The square then errs by less than 2^-79 z, far
// inside SquareSumStep's margin (2^-60 z' against the chain's 2^-61.9 z).
inline bool ChordStepFast(double s, DoubleDouble x, DoubleDouble y, double& out) {
  double dh, dl, d, de;
  exact::TwoSum(x.H, -y.H, dh, dl);
  exact::TwoSum(dh, dl + (x.L - y.L), d, de);
  return exact::SquareSumStep(s, d, de, out);
}

inline double SquareStep(double s, double x, double y) {
  double out;
  if (SquareStepFast(s, x, y, out)) return out;
  return SquareStepSlow(s, Extended::FromDouble(x), Extended::FromDouble(y));
}
inline double AbsoluteStep(double s, double x, double y) {
  double out;
  if (AbsoluteStepFast(s, x, y, out)) return out;
  return AbsoluteStepSlow(s, Extended::FromDouble(x), Extended::FromDouble(y));
}
inline double ChordStep(double s, DoubleDouble x, DoubleDouble y) {
  double out;
  if (ChordStepFast(s, x, y, out)) return out;
  return SquareStepSlow(s, ToExtended(x), ToExtended(y));
}

// The screen of the coefficient sums computes in plain double and decides with
// RoundClearOfMidpoint (analysis/doubledouble.h).
//
// The bounds |h - y| for h computed from 40-bit (or, for the chord, 64-bit) operands with
// round-to-nearest double operations, in last places of h. Near a midpoint, h, z and y lie in
// h's binade [2^e, 2^(e+1)) (the midpoints are 2^12 places from its edges); its place is
// p = 2^(e-52). z is the exact value, and |y - z| < 2^-61.9 z < 0.003 p as above.
//   Each rounding to nearest errs by half a place of its result at most: by p / 2 at most for
//     the sum h, and for every partial result no larger than h (the sums' addends are >= 0).
//   A difference D = x - y rounded once, to d, errs by half a place of D at most, so
//     |d^2 - D^2| = |d - D| |d + D| is at most D times D's place (and a negligible 2^-106 D^2).
//     With D in [2^a, 2^(a+1)) and z >= D^2: where z < 2^(2a+1), D < 2^(a+1/2) and
//     p >= 2^(2a-52), so D 2^(a-52) < sqrt(2) p; otherwise p >= 2^(2a-51) > D 2^(a-52). In all,
//     |d^2 - D^2| < 1.4143 p.
//   s + |x - y| (Manhattan): the difference and the sum round: |h - y| < 1.003 p; margin 1.
//   s + (x - y)^2 (Euclidean): the difference's 1.4143 p, the square's and the sum's
//     roundings: |h - y| < 2.42 p; margin 2. Where the difference is exact, 1.003 p: margin 1.
//   s + ((xH - yH) + (xL - yL))^2 (chord, roots held as H + L, both multiples of 2^-63 of
//     the root's binade, |L| < 2^-30 H): when xH and yH lie within a factor 2 of each other
//     both differences are exact (Sterbenz; the L differences need at most 36 bits), and d
//     is the difference rounded once, as the Euclidean sum's. Otherwise
//     |xH - yH| > max(xH, yH) / 2, so |xL - yL| < 2^-29 max is below 2^-28 |xH - yH|:
//     xH - yH errs by u |xH - yH| <= 1.0001u |x - y| (u = 2^-53), xL - yL by less than
//     2^-80 |x - y|, and their sum by 1.0001u |x - y|; |d - (x - y)| <= 2.0003u |x - y|. The
//     square then errs by 4.0007u z < 4.001 p (z < 2^(e+1) makes u z less than p), and with
//     the square's and the sum's roundings |h - y| < 5.01 p; margin 5.
//   The chord's roots where both parts' differences are exact (coefficient step's exact
//     groups): d is the difference rounded once, as the Euclidean sum's d = x - y: margin 2.
// Where the square is added to the sum in one fused operation (s + d^2 rounded once), the
// square's own rounding goes: |h - y| < 1.92 p for the Euclidean sum and the chord's exact
// groups (margin 1), 0.503 p where the difference is exact (margin 0), 4.51 p for the chord's
// (margin 4). The screens' test builds Euclidean sums that need the margins 1 (fused) and 2:
// one smaller would decide some of them wrongly.

// The screens' margins (see above).
constexpr std::int64_t AbsoluteSumMargin = 1;
constexpr std::int64_t SquareSumMargin = 2;
constexpr std::int64_t ChordSumMargin = 5;
constexpr std::int64_t FusedSquareSumMargin = 1;
constexpr std::int64_t FusedExactSquareSumMargin = 0;
constexpr std::int64_t FusedChordSumMargin = 4;

// The chord coefficient's square root of a value less its variable's offset, kept in the
// extended format.
DoubleDouble ChordRoot(StorageReal value, StorageReal offset);
// The same root decided in double arithmetic; false where only ChordRoot can decide it.
bool ChordRootFast(double value, double offset, DoubleDouble& out);

// ((alphaI dki + alphaJ dkj) + beta dij) + gamma |dki - dkj|, each operation in the extended
// format, then stored.
//
// A first screen in plain double. Let e1 = alphaI dki, e2 = alphaJ dkj, e3 = beta dij,
// e4 = gamma |dki - dkj| be the exact terms, M = |e1| + |e2| + |e3| + |e4| and u = 2^-53.
// The computed terms are t_n = e_n (1 + d_n) with |d_n| <= u for n = 1..3 and
// |d_4| <= 2u + u^2 (the difference and the product each round once), so
// sum |t_n - e_n| <= (2u + u^2) M and T = sum |t_n| <= (1 + 2.001u) M. The three additions
// round partial sums of magnitude at most T (1 + u)^k, k = 1..3, adding at most 3.001 u T.
// The double result s thus lies within 5.002 u M < 2^-50.68 M of the exact value z, and the
// extended result y within 2^-60.9 M of z (see above), so |s - y| < 2^-50.6 M. The magnitude
// summed in double is at least (1 - 6u) M, so 2^-49 times it is a margin that covers
// |s - y|; RoundDoubleDouble (with l = 0 its residual is exact) then decides only where y
// rounds as s. Results below 2^-960 are refused there; terms that underflow beside a larger
// result err by at most 2^-1074 each, far inside the margin.
inline bool CombineScreen(double alphaI, double alphaJ, double dki, double dkj, double beta,
                          double dij, double gamma, double& out) {
  const double t1 = alphaI * dki, t2 = alphaJ * dkj, t3 = beta * dij;
  const double t4 = gamma * std::fabs(dki - dkj);
  const double sum = ((t1 + t2) + t3) + t4;
  const double magnitude = ((std::fabs(t1) + std::fabs(t2)) + std::fabs(t3)) + std::fabs(t4);
  return exact::RoundDoubleDouble(sum, 0, magnitude * 0x1p-49, out);
}

// Whether alphaI, alphaJ and beta have at most 13 significant bits (53 - 40, so that their
// products with stored values are exact) and gamma none but the leading one, or is 0.
inline bool ShortCombinationTerms(double alphaI, double alphaJ, double beta, double gamma) {
  const auto lowBits = [](double v, std::uint64_t mask) {
    return std::bit_cast<std::uint64_t>(v) & mask;
  };
  constexpr std::uint64_t low40 = 0xffffffffffu, fraction = 0xfffffffffffffu;
  return (lowBits(alphaI, low40) | lowBits(alphaJ, low40) | lowBits(beta, low40) |
          lowBits(gamma, fraction)) == 0;
}

// One combination's coefficients as doubles (stored values, so exact) and whether
// ShortCombinationTerms holds for them.
struct CombineTerms {
  double AlphaI, AlphaJ, Beta, Gamma;
  bool Short;
};

// Many combinations with the same dij at once, for the agglomeration's update loop: the
// operands by slot, the coefficients too where they differ between slots.
constexpr int CombineLaneCount = 8;
constexpr int CombineSlots =
    (MaxObjects + CombineLaneCount - 1) / CombineLaneCount * CombineLaneCount;
struct CombineOperands {
  alignas(64) double Ki[CombineSlots];
  alignas(64) double Kj[CombineSlots];
  alignas(64) double AlphaI[CombineSlots];
  alignas(64) double AlphaJ[CombineSlots];
  alignas(64) double Beta[CombineSlots];
  alignas(64) double Gamma[CombineSlots];
  alignas(64) std::int64_t Short[CombineSlots];  // -1 where ShortCombinationTerms holds, else 0
  alignas(64) double Values[CombineSlots];       // the results
};

// Values[0 .. count) (count a multiple of CombineLaneCount, at most CombineSlots): the
// stored results (rounded, within range), or NaN where CombineStored must decide. The
// screen and the exact case are decided at once, with no branch, since a branch on which of
// them decides would guess wrong about half the time (averages land exactly halfway about
// that often). A slot is left to CombineStored where neither decides or the result lies
// outside [2^-120, 2^120] (zero, flushing, overflow: CombineStored's care).
//
// The screen: CombineScreen's terms t1 ... t4, sum s and margin, and its decision taken from
// the bits. With a the magnitude of s, b = a with its lowest 13 bits cleared (the 40-bit value
// at or below a) and h = 2^-40 of a's binade (half the 40-bit unit), a - b and (a - b) - h are
// exact (multiples of a's last place below 2^13 of them), and |(a - b) - h| is the distance
// from a to the midpoint b + h, the nearest one. That is RoundDoubleDouble's rest against half
// a unit with l = 0, so a slot is decided where CombineScreen decides (the same margin, below a
// quarter unit), and a rounded half up is the 40-bit value next to s.
//
// The exact case, where ShortCombinationTerms holds: the stored values' products with such
// coefficients have at most 53 bits and are normal doubles (stored values are 0 or at least
// 2^-128 in magnitude, so an exact difference of two is 0 or at least 2^-167), so t1 ... t3
// are exact. When the difference dki - dkj and the three additions are exact as well (their
// TwoSum errors, held as absolute values summed, are all 0: a sum of non-negative doubles is 0
// only when each is), t4 is exact and s is the exact value z. Every extended operation of the
// combination then has a result of at most 53 bits, so is exact, the extended result is z = s,
// and its storage rounding, ties away from zero included, is a rounded half up at 40 bits.
void CombineMany(CombineOperands& in, int count, const CombineTerms& terms, double dij);
// The same with the coefficients of each slot.
void CombineManyPerSlot(CombineOperands& in, int count, double dij);

StorageReal CombineSlow(double alphaI, double alphaJ, double dki, double dkj, double beta,
                        double dij, double gamma);
bool CombineFast(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                 double gamma, double& out);  // out rounded, not yet flushed or range-checked
// The screen, then the double-double path, then the slow path: the stored value as a double
// (flushed, checked against the largest value).
double CombineStored(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                     double gamma);
StorageReal Combine(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                    double gamma);

}  // namespace vardell
