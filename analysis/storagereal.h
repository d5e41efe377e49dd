#pragma once
// The storage real: every number of an analysis is held in this 6-byte real.
//
// Byte 0 is the exponent e biased by 129 (0 means the value 0), byte 1 the lowest 8 bits of
// the 39-bit fraction, bytes 2..5 its upper 31 bits little-endian, bit 7 of byte 5 the sign.
// Value = (-1)^sign * 1.fraction * 2^(e - 129); 40 significant bits.
//
// Arithmetic happens in long double (80-bit extended on x86-64). Every store rounds to
// nearest with ties away from zero, flushes magnitudes below 2^-128 to 0 and throws
// FloatingPointOverflow above the largest value (InvalidFloatingPointOperation for a NaN), so ties between dissimilarities are decided
// at exactly this precision.

#include <array>
#include <cstdint>
#include <stdexcept>

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
  // Rounds v into the storage format; implicit so that "S = S + term" stores as the format does.
  StorageReal(long double v) { Store(v); }  // NOLINT(google-explicit-constructor)

  operator long double() const { return ToExtended(); }  // NOLINT(google-explicit-constructor)
  long double ToExtended() const;

  static StorageReal FromBytes(const std::array<std::uint8_t, 6>& bytes);
  std::array<std::uint8_t, 6> Bytes() const { return bytes_; }

  // Largest and smallest magnitudes the format holds.
  static long double Largest();   // (2 - 2^-39) * 2^126
  static long double Smallest();  // 2^-128

 private:
  void Store(long double v);
  std::array<std::uint8_t, 6> bytes_{};
};

// Rounds a value the way a store into the storage real does, without keeping it.
inline long double RoundToStorage(long double v) { return StorageReal(v).ToExtended(); }

}  // namespace vardell
