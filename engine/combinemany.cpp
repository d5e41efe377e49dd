#include <cstring>
#include <limits>

#include "engine/exactsteps.h"

// CombineMany: CombineQuick lane by lane in GCC's vector types (the compiler picks the
// processor's widest registers; on x86-64 the kernel is built for AVX-512, AVX2 and the
// baseline and chosen at run time).

namespace vardell {
namespace {

using Lanes = double __attribute__((vector_size(CombineLaneCount * sizeof(double))));
using LaneBits = std::int64_t __attribute__((vector_size(CombineLaneCount * sizeof(double))));
using LaneWords = std::uint64_t __attribute__((vector_size(CombineLaneCount * sizeof(double))));

#define VARDELL_INLINE inline __attribute__((always_inline))

// The helpers take and give lanes only by reference: the kernel is built for several
// processors, and a vector passed by value would change its passing convention between them.
template <class To, class From>
VARDELL_INLINE void Reinterpret(To& to, const From& from) {
  static_assert(sizeof to == sizeof from);
  std::memcpy(&to, &from, sizeof to);
}
VARDELL_INLINE void Absolute(Lanes& to, const Lanes& x) {
  LaneBits bits;
  Reinterpret(bits, x);
  bits &= std::numeric_limits<std::int64_t>::max();
  Reinterpret(to, bits);
}
template <class T>
VARDELL_INLINE void LoadLanes(T& to, const void* from) {
  std::memcpy(&to, from, sizeof to);
}

// Adds a TwoSum's error, as an absolute value, to errors.
VARDELL_INLINE void AddSumError(Lanes& errors, const Lanes& x, const Lanes& y, const Lanes& sum) {
  const Lanes yy = sum - x;
  Lanes error;
  Absolute(error, (x - (sum - yy)) + (y - yy));
  errors += error;
}

template <bool PerCluster>
VARDELL_INLINE void CombineAll(CombineOperands& in, int count, const CombineTerms& fixed,
                               double dij) {
  constexpr std::int64_t signBit = std::numeric_limits<std::int64_t>::min(), low13 = 0x1fff;
  constexpr std::int64_t exponentBits = 0x7ff0000000000000, fortyUnits = std::int64_t{40} << 52;
  const auto refused = std::bit_cast<std::int64_t>(std::numeric_limits<double>::quiet_NaN());
  const auto smallestBits = std::bit_cast<std::int64_t>(0x1p-120);
  const auto largestBits = std::bit_cast<std::int64_t>(0x1p120);
  for (int q = 0; q < count; q += CombineLaneCount) {
    Lanes ki, kj, alphaI, alphaJ, beta, gamma;
    LaneBits shortTerms;
    LoadLanes(ki, in.Ki + q);
    LoadLanes(kj, in.Kj + q);
    if constexpr (PerCluster) {
      LoadLanes(alphaI, in.AlphaI + q);
      LoadLanes(alphaJ, in.AlphaJ + q);
      LoadLanes(beta, in.Beta + q);
      LoadLanes(gamma, in.Gamma + q);
      LoadLanes(shortTerms, in.Short + q);
    } else {
      alphaI = Lanes{} + fixed.AlphaI;
      alphaJ = Lanes{} + fixed.AlphaJ;
      beta = Lanes{} + fixed.Beta;
      gamma = Lanes{} + fixed.Gamma;
      shortTerms = LaneBits{} - std::int64_t{fixed.Short};
    }
    const Lanes t1 = alphaI * ki, t2 = alphaJ * kj, t3 = beta * dij;
    const Lanes difference = ki - kj;
    Lanes a1, a2, a3, a4, distance, errors{};
    Absolute(a4, difference);
    const Lanes t4 = gamma * a4;
    const Lanes s1 = t1 + t2, s2 = s1 + t3, s = s2 + t4;
    Absolute(a1, t1);
    Absolute(a2, t2);
    Absolute(a3, t3);
    Absolute(a4, t4);
    const Lanes margin = (((a1 + a2) + a3) + a4) * 0x1p-49;
    LaneBits bits, mask;
    Reinterpret(bits, s);
    const LaneBits absolute = bits & ~signBit, belowBits = absolute & ~low13,
                   halfUnitBits = (absolute & exponentBits) - fortyUnits;
    Lanes a, below, halfUnit;
    Reinterpret(a, absolute);
    Reinterpret(below, belowBits);
    Reinterpret(halfUnit, halfUnitBits);
    Absolute(distance, (a - below) - halfUnit);
    AddSumError(errors, t1, t2, s1);
    AddSumError(errors, s1, t3, s2);
    AddSumError(errors, s2, t4, s);
    AddSumError(errors, ki, -kj, difference);
    // Conditions as sign bits. The sign of a difference of doubles is that of the exact
    // difference (it is 0 only where they are equal, and then +0): margin - distance is
    // negative where distance > margin. errors is +0 or positive, so its bits less 1 are
    // negative only where it is 0; the magnitude's bits order like it.
    const Lanes clear = margin - distance, small = margin - a * 0x1p-42;
    LaneBits clearBits, smallBits, errorBits;
    Reinterpret(clearBits, clear);
    Reinterpret(smallBits, small);
    Reinterpret(errorBits, errors);
    const LaneBits outside = (absolute - smallestBits) | (largestBits - absolute);
    const LaneBits ok = ((clearBits & smallBits) | ((errorBits - 1) & shortTerms)) & ~outside;
    LaneWords okWords;
    Reinterpret(okWords, ok);
    okWords >>= 63;
    Reinterpret(mask, LaneWords{} - okWords);  // all ones where decided
    LaneWords absoluteWords;  // rounded without a signed overflow, whatever the bits
    Reinterpret(absoluteWords, absolute);
    LaneBits out;
    Reinterpret(out, (absoluteWords + 0x1000) & ~std::uint64_t{low13});
    out |= bits & signBit;
    const LaneBits value = (out & mask) | (refused & ~mask);
    std::memcpy(in.Values + q, &value, sizeof value);
  }
}

#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define VARDELL_LANE_TARGETS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VARDELL_LANE_TARGETS
#endif

}  // namespace

VARDELL_LANE_TARGETS void CombineMany(CombineOperands& in, int count, const CombineTerms& terms,
                                      double dij) {
  CombineAll<false>(in, count, terms, dij);
}
VARDELL_LANE_TARGETS void CombineManyPerSlot(CombineOperands& in, int count, double dij) {
  CombineAll<true>(in, count, CombineTerms{}, dij);
}

}  // namespace vardell
