#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "analysis/storagereal.h"

namespace vardell {
namespace {

using Bytes = std::array<std::uint8_t, 6>;

// significand * 2^exponent in the extended format.
Extended Ext(std::uint64_t significand, int exponent, bool negative = false) {
  return Extended::FromParts(negative, significand, exponent);
}

// Independent reference: the significand rounded half up to its upper 40 bits, as a double;
// below 2^-128 after rounding, 0.
double ReferenceRound(const Extended& x) {
  const std::uint64_t upper = (x.Significand >> 24) + ((x.Significand >> 23) & 1);
  const double magnitude = std::ldexp(static_cast<double>(upper), x.Exponent + 24);
  if (magnitude < std::ldexp(1.0, -128)) return 0;
  return x.Negative ? -magnitude : magnitude;
}

TEST(StorageReal, ByteLayout) {
  struct Case {
    double value;
    Bytes bytes;
  } cases[] = {
      {0.0, {0, 0, 0, 0, 0, 0}},
      {-0.0, {0, 0, 0, 0, 0, 0}},  // a single zero
      {1.0, {0x81, 0, 0, 0, 0, 0}},
      {-1.0, {0x81, 0, 0, 0, 0, 0x80}},
      {0.5, {0x80, 0, 0, 0, 0, 0}},
      {3.0, {0x82, 0, 0, 0, 0, 0x40}},
      {-10.0, {0x84, 0, 0, 0, 0, 0xA0}},
      {1.0 + std::ldexp(1.0, -39), {0x81, 1, 0, 0, 0, 0}},            // lowest fraction bit
      {1.0 + std::ldexp(1.0, -31), {0x81, 0, 1, 0, 0, 0}},            // lowest bit of byte 2
      {std::ldexp(1.0, -128), {1, 0, 0, 0, 0, 0}},                    // smallest magnitude
      {StorageReal::Largest(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}}  // largest
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.value));
    StorageReal r(c.value);
    EXPECT_EQ(r.Bytes(), c.bytes);
    EXPECT_EQ(StorageReal::FromBytes(c.bytes).ToDouble(), c.value == 0 ? 0.0 : c.value);
  }
}

TEST(StorageReal, RoundsToNearestWithTiesAwayFromZero) {
  // Extended values in [1, 2): 2^63 + k units of 2^-63; a stored unit is 2^24 of them.
  const std::uint64_t one = std::uint64_t{1} << 63, unit = std::uint64_t{1} << 24;
  const double ulp = std::ldexp(1.0, -39);  // spacing of stored values in [1, 2)
  struct Case {
    Extended value;
    double stored;
  } cases[] = {
      {Ext(one + unit / 2, -63), 1 + ulp},             // tie goes away from zero
      {Ext(one + unit / 2, -63, true), -(1 + ulp)},    // also for negative values
      {Ext(one + unit / 2 - 1, -63), 1},               // just below the tie
      {Ext(one + unit + unit / 2, -63), 1 + 2 * ulp},  // a tie above an odd neighbour
      {Ext(one + unit + unit / 2 - 1, -63), 1 + ulp},
      {Ext(~std::uint64_t{0} - unit / 2 + 1, -63), 2},    // rounding carries into the exponent
      {Ext(~std::uint64_t{0} - unit / 2, -63), 2 - ulp},  // all 40 bits set
      {Ext(~std::uint64_t{0} - (1u << 20), -128 - 64), std::ldexp(1.0, -128)},
      {Ext(one, -129 - 63), 0},  // below the smallest magnitude
      {Ext(3, -130, true), 0},
      {Ext(1, -16445), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.ToDouble());
    EXPECT_EQ(StorageReal(c.value).ToDouble(), c.stored);
  }
}

TEST(StorageReal, OverflowAboveTheLargestValue) {
  const double largest = StorageReal::Largest();
  // The largest value's significand, then half a stored unit above it less one extended unit.
  const std::uint64_t top = ~std::uint64_t{0} << 24;
  EXPECT_EQ(StorageReal(Ext(top + (1u << 23) - 1, 126 - 63)).ToDouble(), largest);
  const Extended overflowing[] = {Ext(top + (1u << 23), 126 - 63), Ext(1, 127),
                                  Extended::FromDouble(-1.8e38), Ext(1, 20000)};
  for (const Extended& v : overflowing) {
    SCOPED_TRACE(v.ToDouble());
    try {
      StorageReal r(v);
      ADD_FAILURE() << "stored without an error";
    } catch (const FloatingPointOverflow& e) {
      EXPECT_STREQ(e.what(), "Floating point overflow");
    }
  }
  EXPECT_THROW(StorageReal{std::numeric_limits<double>::infinity()}, FloatingPointOverflow);
  EXPECT_NEAR(largest, 1.7014118346e38, 1e28);
  EXPECT_THROW(StorageReal(std::sqrt(-1.0)), InvalidFloatingPointOperation);
  EXPECT_THROW(StorageReal(SquareRoot(Extended::FromDouble(-1))), InvalidFloatingPointOperation);
}

TEST(StorageReal, AgreesWithAnIndependentRoundingOnRandomValues) {
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<int> exponent(-120, 120);
  for (int t = 0; t < 200000; ++t) {
    std::uint64_t significand = random() | (std::uint64_t{1} << 63);
    if (t % 7 == 0) significand = (significand & ~std::uint64_t{0xffffff}) | 0x800000;  // a tie
    const Extended v = Ext(significand, exponent(random) - 63, t % 2);
    ASSERT_EQ(StorageReal(v).ToDouble(), ReferenceRound(v)) << v.ToDouble();
  }
}

TEST(StorageReal, StoredValuesRoundTripUnchanged) {
  std::mt19937_64 random(7);
  for (int t = 0; t < 10000; ++t) {
    Bytes b{};
    for (auto& byte : b) byte = static_cast<std::uint8_t>(random());
    if (b[0] == 0) continue;
    const StorageReal r = StorageReal::FromBytes(b);
    ASSERT_EQ(StorageReal(r.ToDouble()).Bytes(), b);
    ASSERT_EQ(StorageReal(r.ToExtended()).Bytes(), b);
    ASSERT_EQ(StorageReal::FromRounded(r.ToDouble()).Bytes(), b);
  }
}

// A row unpacked at once gives every value's ToDouble, zeros with stray bytes included, and
// packed again every value's FromRounded, for every length a vector of eight may leave over
// and around the last whole 64-byte store; neither writes past the row.
TEST(StorageReal, RowsUnpackAndPackAsTheValuesDo) {
  std::mt19937_64 random(11);
  for (const int count : {0, 1, 5, 7, 8, 9, 10, 11, 15, 16, 17, 18, 19, 150}) {
    std::vector<StorageReal> row(count + 8);  // bytes past the row, as a matrix row has them
    for (auto& value : row) {
      Bytes b{};
      for (auto& byte : b) byte = static_cast<std::uint8_t>(random());
      if (random() % 4 == 0) b[0] = 0;  // the value 0
      value = StorageReal::FromBytes(b);
    }
    const double guard = -1234.5;
    std::vector<double> values(count + 8, guard);
    UnpackRow(row.data(), count, values.data());
    for (int k = 0; k < count; ++k)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(values[k]),
                std::bit_cast<std::uint64_t>(row[k].ToDouble()))
          << count << ": " << k;
    for (int k = count; k < count + 8; ++k) ASSERT_EQ(values[k], guard) << count << ": " << k;
    std::vector<StorageReal> packed(count + 8, StorageReal(guard));
    PackRow(values.data(), count, packed.data());
    for (int k = 0; k < count + 8; ++k)
      ASSERT_EQ(packed[k].Bytes(),
                (k < count ? StorageReal::FromRounded(values[k]) : StorageReal(guard)).Bytes())
          << count << ": " << k;
  }
}

}  // namespace
}  // namespace vardell
