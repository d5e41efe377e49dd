#include "engine/storedrows.h"

#include <cstdint>
#include <cstring>

// Four values at a time in GCC's vector types: the six-byte values are moved into and out of
// 64-bit lanes with byte shuffles and converted with the same shifts and masks as
// StorageReal::ToDouble and FromRounded, lane by lane.

namespace vardell {
namespace {

using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
using Bytes32 = std::uint8_t __attribute__((vector_size(32)));
using Words2 = std::uint64_t __attribute__((vector_size(16)));
using Words4 = std::uint64_t __attribute__((vector_size(32)));

#define VARDELL_INLINE inline __attribute__((always_inline))

constexpr std::uint64_t Fraction39 = (std::uint64_t{1} << 39) - 1;
constexpr std::uint64_t BiasChange = 1023 - 129;  // double's exponent bias less the format's

// Two packed values (12 bytes and 4 more, unused) in the low six bytes of two lanes.
VARDELL_INLINE void WidenPair(Words2& to, const std::uint8_t* from) {
  Bytes16 bytes;
  std::memcpy(&bytes, from, sizeof bytes);
  const Bytes16 spread = __builtin_shufflevector(bytes, Bytes16{}, 0, 1, 2, 3, 4, 5, 16, 16, 6, 7,
                                                 8, 9, 10, 11, 16, 16);
  std::memcpy(&to, &spread, sizeof to);
}

// Lanes of packed values (byte 0 the biased exponent, then the fraction, the sign in bit 47)
// to the doubles' bits; a zero exponent is the value 0.
VARDELL_INLINE void PackedToDouble(Words4& lanes) {
  const Words4 exponent = lanes & 0xff;
  const Words4 bits =
      (lanes >> 47 & 1) << 63 | (exponent + BiasChange) << 52 | (lanes >> 8 & Fraction39) << 13;
  lanes = bits & reinterpret_cast<Words4>(exponent != 0);
}

VARDELL_INLINE void DoubleToPacked(Words4& lanes) {
  const Words4 exponent = lanes >> 52 & 0x7ff;
  const Words4 packed =
      (exponent - BiasChange) | (lanes >> 13 & Fraction39) << 8 | (lanes >> 63) << 47;
  lanes = packed & reinterpret_cast<Words4>(exponent != 0);
}

#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define VARDELL_ROW_TARGETS __attribute__((target_clones("avx2", "default")))
#else
#define VARDELL_ROW_TARGETS
#endif

}  // namespace

VARDELL_ROW_TARGETS void UnpackStored(const StorageReal* from, double* to, int count) {
  static_assert(sizeof(StorageReal) == 6);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(from);
  int q = 0;
  // The second pair's load reads 4 bytes past the fourth value: only where a fifth follows.
  for (; q + 5 <= count; q += 4) {
    Words2 low, high;
    WidenPair(low, bytes + 6 * q);
    WidenPair(high, bytes + 6 * q + 12);
    Words4 lanes = __builtin_shufflevector(low, high, 0, 1, 2, 3);
    PackedToDouble(lanes);
    std::memcpy(to + q, &lanes, sizeof lanes);
  }
  for (; q < count; ++q) to[q] = from[q].ToDouble();
}

VARDELL_ROW_TARGETS void PackStored(const double* from, StorageReal* to, int count) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(to);
  int q = 0;
  for (; q + 4 <= count; q += 4) {
    Words4 lanes;
    std::memcpy(&lanes, from + q, sizeof lanes);
    DoubleToPacked(lanes);
    Bytes32 packed;
    std::memcpy(&packed, &lanes, sizeof packed);
    const Bytes16 low = __builtin_shufflevector(packed, packed, 0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12,
                                                13, 16, 17, 18, 19);
    const Bytes16 high = __builtin_shufflevector(packed, packed, 20, 21, 24, 25, 26, 27, 28, 29, 0,
                                                 0, 0, 0, 0, 0, 0, 0);
    std::memcpy(bytes + 6 * q, &low, sizeof low);
    std::memcpy(bytes + 6 * q + 16, &high, 8);
  }
  for (; q < count; ++q) to[q] = StorageReal::FromRounded(from[q]);
}

}  // namespace vardell
