#include "analysis/extended.h"

#include <bit>
#include <cmath>

namespace vardell {
namespace {

// An unsigned 128-bit integer, as much of one as the operations below need.
struct U128 {
  std::uint64_t Hi = 0, Lo = 0;
};

bool Less(U128 a, U128 b) { return a.Hi != b.Hi ? a.Hi < b.Hi : a.Lo < b.Lo; }
bool IsZero(U128 a) { return (a.Hi | a.Lo) == 0; }

U128 Plus(U128 a, U128 b, bool* carry = nullptr) {
  U128 r{a.Hi + b.Hi, a.Lo + b.Lo};
  if (r.Lo < a.Lo) ++r.Hi;
  if (carry) *carry = r.Hi < a.Hi || (r.Hi == a.Hi && r.Lo < a.Lo);
  return r;
}

U128 Minus(U128 a, U128 b) {  // a >= b
  U128 r{a.Hi - b.Hi, a.Lo - b.Lo};
  if (a.Lo < b.Lo) --r.Hi;
  return r;
}

// a >> n for 0 <= n < 128; *lost tells whether any 1 bit was shifted out.
U128 ShiftRight(U128 a, int n, bool* lost) {
  if (n == 0) {
    *lost = false;
    return a;
  }
  if (n < 64) {
    *lost = (a.Lo << (64 - n)) != 0;
    return {a.Hi >> n, (a.Lo >> n) | (a.Hi << (64 - n))};
  }
  *lost = a.Lo != 0 || (n > 64 && (a.Hi << (128 - n)) != 0);
  return {0, n == 64 ? a.Hi : a.Hi >> (n - 64)};
}

U128 Product(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xffffffffu)};
}

int BitLength(U128 a) { return a.Hi ? 128 - std::countl_zero(a.Hi) : 64 - std::countl_zero(a.Lo); }

// Rounds (-1)^negative * (m + f) * 2^exponent to nearest even on 64 bits, where f is 0 if
// !sticky and lies strictly between 0 and 1 otherwise (then m must have at least 65 bits, so
// that f only breaks ties between the dropped bits and half a unit).
Extended Round(bool negative, U128 m, std::int32_t exponent, bool sticky) {
  Extended r;
  const int length = BitLength(m);
  if (length == 0) return r;
  r.Negative = negative;
  if (length <= 64) {
    r.Significand = m.Lo << (64 - length);
    r.Exponent = exponent - (64 - length);
    return r;
  }
  const int shift = length - 64;
  bool lost = false;
  const U128 kept = ShiftRight(m, shift, &lost);
  // The dropped bits against half a unit of the last kept place.
  const U128 half = shift > 64 ? U128{std::uint64_t{1} << (shift - 65), 0}
                               : U128{0, std::uint64_t{1} << (shift - 1)};
  const U128 dropped = shift >= 64 ? U128{m.Hi & ((std::uint64_t{1} << (shift - 64)) - 1), m.Lo}
                                   : U128{0, m.Lo & ((std::uint64_t{1} << shift) - 1)};
  r.Significand = kept.Lo;
  r.Exponent = exponent + shift;
  const bool up =
      Less(half, dropped) || (!Less(dropped, half) && (sticky || (r.Significand & 1) != 0));
  if (up && ++r.Significand == 0) {  // 1.11..1 rounded up to 10.00..0
    r.Significand = std::uint64_t{1} << 63;
    ++r.Exponent;
  }
  return r;
}

Extended NotANumber() {
  Extended r;
  r.NotANumber = true;
  return r;
}

// |a| against |b| for nonzero values.
bool MagnitudeLess(const Extended& a, const Extended& b) {
  return a.Exponent != b.Exponent ? a.Exponent < b.Exponent : a.Significand < b.Significand;
}

}  // namespace

double TimesTwoToFar(double v, std::int32_t e) { return std::ldexp(v, e); }

Extended Extended::FromParts(bool negative, std::uint64_t significand, std::int32_t exponent) {
  return Round(negative, U128{0, significand}, exponent, false);
}

Extended Extended::FromDouble(double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  const auto field = static_cast<std::int32_t>((bits >> 52) & 0x7ff);
  std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
  if (field != 0) significand |= std::uint64_t{1} << 52;
  return FromParts((bits >> 63) != 0, significand, (field == 0 ? 1 : field) - 1075);
}

Extended Extended::FromInteger(std::int64_t v) {
  const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : v;
  return FromParts(v < 0, magnitude, 0);
}

double Extended::ToDouble() const {
  if (NotANumber) return std::nan("");
  const double magnitude = TimesTwoTo(static_cast<double>(Significand), Exponent);
  return Negative ? -magnitude : magnitude;
}

Extended Add(const Extended& a, const Extended& b) {
  if (a.NotANumber || b.NotANumber) return NotANumber();
  if (b.Significand == 0) return a;
  if (a.Significand == 0) return b;
  const Extended& big = MagnitudeLess(a, b) ? b : a;
  const Extended& small = MagnitudeLess(a, b) ? a : b;
  // The larger significand fills the upper 64 bits; the smaller one, aligned below it, keeps
  // at least 64 bits beneath the larger one's last place. What falls off the end is jammed
  // into bit 0, far below any rounding position, where it breaks ties the right way and
  // cannot change anything else (the result keeps 63 bits or more above bit 0).
  const U128 x{big.Significand, 0};
  const int distance = big.Exponent - small.Exponent;
  bool lost = false;
  U128 y = distance >= 128 ? U128{0, 0} : ShiftRight(U128{small.Significand, 0}, distance, &lost);
  if (distance >= 128) lost = true;
  if (lost) y.Lo |= 1;
  std::int32_t exponent = big.Exponent - 64;
  if (big.Negative != small.Negative) return Round(big.Negative, Minus(x, y), exponent, false);
  bool carry = false;
  U128 sum = Plus(x, y, &carry);
  if (carry) {  // a 129th bit: halve, jamming the bit that falls off
    const bool odd = (sum.Lo & 1) != 0;
    sum = {(sum.Hi >> 1) | (std::uint64_t{1} << 63), (sum.Lo >> 1) | (sum.Hi << 63)};
    sum.Lo |= odd ? 1 : 0;
    ++exponent;
  }
  return Round(big.Negative, sum, exponent, false);
}

Extended Subtract(const Extended& a, const Extended& b) { return Add(a, -b); }

Extended Multiply(const Extended& a, const Extended& b) {
  if (a.NotANumber || b.NotANumber) return NotANumber();
  return Round(a.Negative != b.Negative, Product(a.Significand, b.Significand),
               a.Exponent + b.Exponent, false);
}

Extended Divide(const Extended& a, const Extended& b) {
  if (a.NotANumber || b.NotANumber || b.Significand == 0) return NotANumber();
  if (a.Significand == 0) return a;
  // Long division, one quotient bit at a time: 66 bits of a / b (which lies in (1/2, 2)),
  // then the remainder says whether anything is left below them.
  U128 remainder{0, a.Significand};
  const U128 divisor{0, b.Significand};
  U128 quotient;
  for (int bit = 0; bit < 66; ++bit) {
    quotient = {(quotient.Hi << 1) | (quotient.Lo >> 63), quotient.Lo << 1};
    if (!Less(remainder, divisor)) {
      remainder = Minus(remainder, divisor);
      quotient.Lo |= 1;
    }
    remainder = {(remainder.Hi << 1) | (remainder.Lo >> 63), remainder.Lo << 1};
  }
  return Round(a.Negative != b.Negative, quotient, a.Exponent - b.Exponent - 65,
               !IsZero(remainder));
}

Extended SquareRoot(const Extended& a) {
  if (a.NotANumber || (a.Negative && a.Significand != 0)) return NotANumber();
  if (a.Significand == 0) return a;
  // N = significand * 2^k with an even exponent a.Exponent - k and 2^126 <= N < 2^128, so
  // that its integer square root r has exactly 64 bits.
  const int k = (a.Exponent & 1) == 0 ? 64 : 63;
  const U128 n = k == 64 ? U128{a.Significand, 0} : U128{a.Significand >> 1, a.Significand << 63};
  // Digit by digit: afterwards root = floor(sqrt(N)) and rest = N - root^2.
  U128 rest = n, root, bit{std::uint64_t{1} << 62, 0};
  while (!IsZero(bit)) {
    const U128 trial = Plus(root, bit);
    bool lost = false;
    root = ShiftRight(root, 1, &lost);
    if (!Less(rest, trial)) {
      rest = Minus(rest, trial);
      root = Plus(root, bit);
    }
    bit = ShiftRight(bit, 2, &lost);
  }
  // sqrt(N) >= root + 1/2 exactly when N >= root^2 + root + 1/4, that is rest > root; it is
  // never exactly halfway.
  Extended r;
  r.Significand = root.Lo;
  r.Exponent = (a.Exponent - k) / 2;
  if (Less(root, rest) && ++r.Significand == 0) {
    r.Significand = std::uint64_t{1} << 63;
    ++r.Exponent;
  }
  return r;
}

Extended Absolute(const Extended& a) {
  Extended r = a;
  r.Negative = false;
  return r;
}

int Compare(const Extended& a, const Extended& b) {
  const int signA = a.Significand == 0 ? 0 : a.Negative ? -1 : 1;
  const int signB = b.Significand == 0 ? 0 : b.Negative ? -1 : 1;
  if (signA != signB || signA == 0) return signA < signB ? -1 : signA > signB ? 1 : 0;
  if (!MagnitudeLess(a, b) && !MagnitudeLess(b, a)) return 0;
  return MagnitudeLess(a, b) == (signA > 0) ? -1 : 1;
}

}  // namespace vardell
