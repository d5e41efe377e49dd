#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

#include "analysis/storagereal.h"

namespace vardell {
namespace {

using Bytes = std::array<std::uint8_t, 6>;

// Independent reference: round the magnitude to 40 significant bits, halves away from zero.
long double ReferenceRound(long double x) {
  if (x == 0) return 0;
  int exponent = std::ilogb(x) + 1;
  long double scaled = std::ldexp(x, 40 - exponent);
  return std::ldexp(std::round(scaled), exponent - 40);
}

TEST(StorageReal, ByteLayout) {
  struct Case {
    long double value;
    Bytes bytes;
  } cases[] = {
      {0.0L, {0, 0, 0, 0, 0, 0}},
      {-0.0L, {0, 0, 0, 0, 0, 0}},  // a single zero
      {1.0L, {0x81, 0, 0, 0, 0, 0}},
      {-1.0L, {0x81, 0, 0, 0, 0, 0x80}},
      {0.5L, {0x80, 0, 0, 0, 0, 0}},
      {3.0L, {0x82, 0, 0, 0, 0, 0x40}},
      {-10.0L, {0x84, 0, 0, 0, 0, 0xA0}},
      {1.0L + std::ldexp(1.0L, -39), {0x81, 1, 0, 0, 0, 0}},         // lowest fraction bit
      {1.0L + std::ldexp(1.0L, -31), {0x81, 0, 1, 0, 0, 0}},         // lowest bit of byte 2
      {std::ldexp(1.0L, -128), {1, 0, 0, 0, 0, 0}},                  // smallest magnitude
      {StorageReal::Largest(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}}  // largest
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.value));
    StorageReal r(c.value);
    EXPECT_EQ(r.Bytes(), c.bytes);
    EXPECT_EQ(StorageReal::FromBytes(c.bytes).ToExtended(), c.value == 0 ? 0.0L : c.value);
  }
}

TEST(StorageReal, RoundsToNearestWithTiesAwayFromZero) {
  const long double ulp = std::ldexp(1.0L, -39);  // spacing of stored values in [1, 2)
  const long double tiny = std::ldexp(1.0L, -63);  // spacing of long double values in [1, 2)
  struct Case {
    long double value;
    long double stored;
  } cases[] = {
      {1 + ulp / 2, 1 + ulp},                   // tie goes away from zero
      {-(1 + ulp / 2), -(1 + ulp)},             // also for negative values
      {1 + ulp / 2 - tiny, 1},                  // just below the tie
      {1 + ulp + ulp / 2, 1 + 2 * ulp},         // a tie above an odd neighbour still goes up
      {1 + ulp + ulp / 2 - tiny, 1 + ulp},
      {2 - ulp / 2, 2},                          // rounding carries into the exponent
      {2 - ulp / 2 - tiny, 2 - ulp},             // all 40 bits set
      {std::ldexp(1.0L, -128) * (1 - std::ldexp(1.0L, -42)), std::ldexp(1.0L, -128)},
      {std::ldexp(1.0L, -129), 0},               // below the smallest magnitude
      {-std::ldexp(1.5L, -129), 0},
      {std::numeric_limits<long double>::denorm_min(), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.value));
    EXPECT_EQ(StorageReal(c.value).ToExtended(), c.stored);
  }
}

TEST(StorageReal, OverflowAboveTheLargestValue) {
  const long double largest = StorageReal::Largest();
  const long double halfUlp = std::ldexp(1.0L, 126 - 40);
  EXPECT_EQ(StorageReal(largest + halfUlp - std::ldexp(1.0L, 126 - 63)).ToExtended(), largest);
  const long double overflowing[] = {largest + halfUlp, std::ldexp(1.0L, 127), -1.8e38L,
                                     std::numeric_limits<long double>::infinity()};
  for (long double v : overflowing) {
    SCOPED_TRACE(static_cast<double>(v));
    try {
      StorageReal r(v);
      ADD_FAILURE() << "stored without an error";
    } catch (const FloatingPointOverflow& e) {
      EXPECT_STREQ(e.what(), "Floating point overflow");
    }
  }
  EXPECT_NEAR(static_cast<double>(largest), 1.7014118346e38, 1e28);
  EXPECT_THROW(StorageReal(std::sqrt(-1.0L)), InvalidFloatingPointOperation);
}

TEST(StorageReal, AgreesWithAnIndependentRoundingOnRandomValues) {
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<int> exponent(-120, 120);
  for (int t = 0; t < 200000; ++t) {
    long double significand = 1.0L + static_cast<long double>(random()) * std::ldexp(1.0L, -64);
    long double v = std::ldexp(significand, exponent(random));
    if (t % 2) v = -v;
    if (t % 7 == 0) {  // an exact tie between two stored neighbours
      long double below = ReferenceRound(v);
      v = below + std::copysign(std::ldexp(1.0L, std::ilogb(below) - 40), below);
    }
    ASSERT_EQ(StorageReal(v).ToExtended(), ReferenceRound(v)) << static_cast<double>(v);
  }
}

TEST(StorageReal, StoredValuesRoundTripUnchanged) {
  std::mt19937_64 random(7);
  for (int t = 0; t < 10000; ++t) {
    Bytes b{};
    for (auto& byte : b) byte = static_cast<std::uint8_t>(random());
    if (b[0] == 0) continue;
    StorageReal r = StorageReal::FromBytes(b);
    ASSERT_EQ(StorageReal(r.ToExtended()).Bytes(), b);
  }
}

}  // namespace
}  // namespace vardell
