#include "analysis/storagereal.h"

#include <cmath>
#include <cstring>

namespace vardell {
namespace {

// The x87 extended format: 64-bit significand with an explicit integer bit, then 15 bits of
// exponent biased by 16383 and the sign.
struct Extended {
  std::uint64_t significand;
  std::uint16_t signAndExponent;
};
static_assert(sizeof(long double) >= 10, "long double must be the 80-bit extended format");
static_assert(__LDBL_MANT_DIG__ == 64, "long double must have a 64-bit significand");

constexpr int kExtendedBias = 16383;
constexpr int kStorageBias = 129;
constexpr int kDroppedBits = 64 - 40;  // significand bits the storage real does not keep

Extended Unpack(long double v) {
  Extended e{};
  std::memcpy(&e, &v, 10);
  return e;
}

long double Pack(bool negative, int unbiasedExponent, std::uint64_t significand) {
  Extended e{significand, static_cast<std::uint16_t>((negative ? 0x8000 : 0) |
                                                     (unbiasedExponent + kExtendedBias))};
  long double v = 0;
  std::memcpy(&v, &e, 10);
  return v;
}

}  // namespace

long double StorageReal::Largest() { return Pack(false, 126, ~std::uint64_t{0} << kDroppedBits); }
long double StorageReal::Smallest() { return Pack(false, -128, std::uint64_t{1} << 63); }

void StorageReal::Store(long double v) {
  if (std::isnan(v)) throw InvalidFloatingPointOperation();
  bytes_ = {};
  if (v == 0) return;  // also negative zero: the format has a single zero
  Extended x = Unpack(v);
  bool negative = (x.signAndExponent & 0x8000) != 0;
  int exponent = (x.signAndExponent & 0x7fff) - kExtendedBias;
  std::uint64_t significand = x.significand;
  if ((x.signAndExponent & 0x7fff) == 0x7fff) throw FloatingPointOverflow();  // infinity
  if (exponent < -kStorageBias - 1) return;  // far below 2^-128, also extended denormals
  // Round the magnitude half up at bit 24: ties go away from zero.
  std::uint64_t rounded = significand + (std::uint64_t{1} << (kDroppedBits - 1));
  if (rounded < significand) {  // carried out of the top bit: 1.111..1 became 10.000..0
    rounded = std::uint64_t{1} << 63;
    ++exponent;
  } else {
    rounded &= ~std::uint64_t{0} << kDroppedBits;
  }
  int biased = exponent + kStorageBias;
  if (biased < 1) return;  // below 2^-128 after rounding: stored as 0
  if (biased > 255) throw FloatingPointOverflow();
  std::uint64_t fraction = (rounded >> kDroppedBits) & ((std::uint64_t{1} << 39) - 1);
  bytes_[0] = static_cast<std::uint8_t>(biased);
  bytes_[1] = static_cast<std::uint8_t>(fraction & 0xff);
  std::uint32_t upper = static_cast<std::uint32_t>(fraction >> 8);  // 31 bits
  if (negative) upper |= 0x80000000u;
  std::memcpy(&bytes_[2], &upper, 4);  // little-endian on x86-64
}

long double StorageReal::ToExtended() const {
  if (bytes_[0] == 0) return 0;
  std::uint32_t upper = 0;
  std::memcpy(&upper, &bytes_[2], 4);
  bool negative = (upper & 0x80000000u) != 0;
  std::uint64_t fraction = (std::uint64_t{upper & 0x7fffffffu} << 8) | bytes_[1];
  std::uint64_t significand = (std::uint64_t{1} << 63) | (fraction << kDroppedBits);
  return Pack(negative, bytes_[0] - kStorageBias, significand);
}

StorageReal StorageReal::FromBytes(const std::array<std::uint8_t, 6>& bytes) {
  StorageReal r;
  r.bytes_ = bytes;
  return r;
}

}  // namespace vardell
