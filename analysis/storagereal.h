#pragma once
// The storage real: every number of an analysis is held in this 6-byte real.
//
// Byte 0 is the exponent e biased by 129 (0 means the value 0), byte 1 the lowest 8 bits of
// the 39-bit fraction, bytes 2..5 its upper 31 bits little-endian, bit 7 of byte 5 the sign.
// Value = (-1)^sign * 1.fraction * 2^(e - 129); 40 significant bits.
//
// Arithmetic happens in the extended format (analysis/extended.h). Every store rounds to
// nearest with ties away from zero, flushes magnitudes below 2^-128 to 0 and throws
// FloatingPointOverflow above the largest value (InvalidFloatingPointOperation for a NaN), so
// ties between dissimilarities are decided at exactly this precision. Every stored value is
// exactly a double.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "analysis/extended.h"

namespace vardell {

// A number too large in magnitude for the storage real (or not a number at all).
class FloatingPointOverflow : public std::overflow_error {
 public:
  FloatingPointOverflow() : std::overflow_error("Floating point overflow") {}
};

// A result that is not a number, such as the square root of a negative value.
class InvalidFloatingPointOperation : public std::domain_error {
 public:
  InvalidFloatingPointOperation() : std::domain_error("Invalid floating point operation") {}
};

class StorageReal {
 public:
  constexpr StorageReal() = default;
  // Rounds v into the storage format; implicit so that constants store as the format does.
  StorageReal(double v);  // NOLINT(google-explicit-constructor)
  explicit StorageReal(const Extended& v) { Store(v); }

  double ToDouble() const {  // exact
    const std::uint64_t packed = Packed();
    const std::uint64_t exponent = packed & 0xff;
    if (exponent == 0) return 0;
    const std::uint64_t fraction = (packed >> 8) & ((std::uint64_t{1} << 39) - 1);
    return std::bit_cast<double>((packed >> 47) << 63 | (exponent - kBias + 1023) << 52 |
                                 fraction << 13);
  }
  Extended ToExtended() const { return Extended::FromDouble(ToDouble()); }

  // A value already rounded to the format and within its range (a double of at most 40
  // significant bits, 0 or of magnitude 2^-128 ... Largest()); packs without rounding.
  static StorageReal FromRounded(double v) {
    StorageReal r;
    if (v == 0) return r;
    // The double's 52-bit fraction holds the 39-bit one in its upper bits.
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const std::uint64_t exponent = ((bits >> 52) & 0x7ff) - 1023 + kBias;
    const std::uint64_t fraction = (bits >> 13) & ((std::uint64_t{1} << 39) - 1);
    r.Unpack(exponent | fraction << 8 | (bits >> 63) << 47);
    return r;
  }

  static StorageReal FromBytes(const std::array<std::uint8_t, 6>& bytes);
  std::array<std::uint8_t, 6> Bytes() const { return bytes_; }

  // Largest and smallest magnitudes the format holds.
  static constexpr double Largest() { return (2 - 0x1p-39) * 0x1p126; }
  static constexpr double Smallest() { return 0x1p-128; }

 private:
  static constexpr std::uint64_t kBias = 129;

  // The six bytes as the low 48 bits of an integer, byte 0 lowest: the biased exponent, then
  // the 39-bit fraction, then the sign in the top bit. Where the processor keeps integers that
  // way they move as a 4-byte and a 2-byte piece, the pieces in which a StorageReal is copied,
  // so that loads find the stores before them whole.
  std::uint64_t Packed() const {
    if constexpr (std::endian::native == std::endian::little) {
      std::uint32_t low = 0;
      std::uint16_t high = 0;
      std::memcpy(&low, bytes_.data(), 4);
      std::memcpy(&high, bytes_.data() + 4, 2);
      return low | std::uint64_t{high} << 32;
    }
    std::uint64_t packed = 0;
    for (int i = 0; i < 6; ++i) packed |= std::uint64_t{bytes_[i]} << (8 * i);
    return packed;
  }
  void Unpack(std::uint64_t packed) {
    if constexpr (std::endian::native == std::endian::little) {
      const auto low = static_cast<std::uint32_t>(packed);
      const auto high = static_cast<std::uint16_t>(packed >> 32);
      std::memcpy(bytes_.data(), &low, 4);
      std::memcpy(bytes_.data() + 4, &high, 2);
      return;
    }
    for (int i = 0; i < 6; ++i) bytes_[i] = static_cast<std::uint8_t>(packed >> (8 * i));
  }

  void Store(const Extended& v);
  std::array<std::uint8_t, 6> bytes_{};
};

// StorageReal::FromRounded for `count` values, values[0], values[1], ... into row[0], ...
void PackRow(const double* values, int count, StorageReal* row);
// StorageReal::ToDouble for `count` stored values, row[0], row[1], ... into values[0], ...
void UnpackRow(const StorageReal* row, int count, double* values);

// Single operations of the extended format on values of at most 64 bits held as doubles
// (stored values, small integers), then stored: a / b (b != 0), sqrt(a) (a >= 0), a + b,
// a - b and (a + b) / 2.
StorageReal StoredQuotient(double a, double b);
StorageReal StoredSquareRoot(double a);
StorageReal StoredSum(double a, double b);
StorageReal StoredDifference(double a, double b);
StorageReal StoredHalfSum(double a, double b);

// Rounds a value the way a store does, without keeping it.
inline double RoundToStorage(double v) { return StorageReal(v).ToDouble(); }
inline double RoundToStorage(const Extended& v) { return StorageReal(v).ToDouble(); }

}  // namespace vardell
