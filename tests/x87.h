#pragma once
// The x87 unit's 80-bit extended format, where the compiler's long double is that format: the
// reference the program's own exact arithmetic is checked against, bit for bit. Elsewhere
// (aarch64, x86-64 built with -mlong-double-64) VARDELL_HAS_X87 is 0 and the tests that need
// the unit are left out.

#if (defined(__x86_64__) || defined(__i386__)) && __LDBL_MANT_DIG__ == 64
#define VARDELL_HAS_X87 1

#include <cstdint>
#include <cstring>

#include "analysis/extended.h"

namespace vardell::testing {

inline Extended FromX87(long double v) {
  std::uint64_t significand = 0;
  std::uint16_t signAndExponent = 0;
  std::memcpy(&significand, &v, 8);
  std::memcpy(&signAndExponent, reinterpret_cast<const char*>(&v) + 8, 2);
  const int field = signAndExponent & 0x7fff;
  if (field == 0x7fff) {  // infinities and NaNs: only NaNs are met here
    Extended nan;
    nan.NotANumber = true;
    return nan;
  }
  return Extended::FromParts((signAndExponent & 0x8000) != 0, significand,
                             (field == 0 ? 1 : field) - 16383 - 63);
}

inline long double ToX87(const Extended& v) {
  long double r = 0;
  if (v.NotANumber) return __builtin_nanl("");
  if (v.Significand == 0) return r;
  const auto signAndExponent =
      static_cast<std::uint16_t>((v.Negative ? 0x8000 : 0) | (v.Exponent + 63 + 16383));
  std::memcpy(&r, &v.Significand, 8);
  std::memcpy(reinterpret_cast<char*>(&r) + 8, &signAndExponent, 2);
  return r;
}

// The same value to the last bit (NaNs equal each other).
inline bool SameExtended(const Extended& a, const Extended& b) {
  if (a.NotANumber || b.NotANumber) return a.NotANumber == b.NotANumber;
  if (a.Significand == 0 || b.Significand == 0) return a.Significand == b.Significand;
  return a.Significand == b.Significand && a.Exponent == b.Exponent && a.Negative == b.Negative;
}

}  // namespace vardell::testing

#else
#define VARDELL_HAS_X87 0
#endif
