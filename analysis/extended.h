#pragma once
// The extended format in which the analysis computes between stores: a 64-bit significand,
// every operation rounded to nearest with ties to even. Computed exactly with integers, so
// every processor and compiler gives the same bits (the x87 unit gives them too; the tests
// compare the two where it exists).
//
// This is the slow, obviously right path: the hot loops decide most results in double and
// double-double and call these operations only where their approximation could round
// differently.

#include <bit>
#include <cstdint>

namespace vardell {

struct Extended {
  // Value = (-1)^Negative * Significand * 2^Exponent. Significand is 0 (the value 0, whose
  // sign and exponent mean nothing) or has bit 63 set. The exponent range is far wider than
  // any analysis needs, so there is no overflow, underflow or denormal.
  std::uint64_t Significand = 0;
  std::int32_t Exponent = 0;
  bool Negative = false;
  bool NotANumber = false;  // the square root of a negative value

  bool IsZero() const { return Significand == 0 && !NotANumber; }

  static Extended FromDouble(double v);         // exact; v must be finite
  static Extended FromInteger(std::int64_t v);  // exact
  // Rounds (-1)^negative * significand * 2^exponent (any significand) to the format.
  static Extended FromParts(bool negative, std::uint64_t significand, std::int32_t exponent);
  double ToDouble() const;  // rounded to nearest even; exact for values of 53 bits or fewer

  Extended operator-() const {
    Extended r = *this;
    if (Significand != 0) r.Negative = !r.Negative;
    return r;
  }
};

double TimesTwoToFar(double v, std::int32_t e);  // std::ldexp

// v * 2^e, as std::ldexp gives it (one rounding of the exact product): by a multiplication
// where 2^e is a normal double, so that the slow paths spend no call on it.
inline double TimesTwoTo(double v, std::int32_t e) {
  if (e < -1022 || e > 1023) return TimesTwoToFar(v, e);
  return v * std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52);
}

Extended Add(const Extended& a, const Extended& b);
Extended Subtract(const Extended& a, const Extended& b);
Extended Multiply(const Extended& a, const Extended& b);
Extended Divide(const Extended& a, const Extended& b);  // b must not be 0
Extended SquareRoot(const Extended& a);                 // NotANumber below 0
Extended Absolute(const Extended& a);

// -1, 0 or 1 as a is below, equal to or above b (neither NotANumber).
int Compare(const Extended& a, const Extended& b);

}  // namespace vardell
