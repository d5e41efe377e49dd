#include "engine/exactsteps.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "support_engine.h"

namespace vardell {
namespace {

// The double-only screen decides a value only when it lies more than the margin from the
// nearest 40-bit midpoint, measured in the double's last places; there it rounds half up.
TEST(RoundClearOfMidpointTest, DecidesOnlyOutsideTheMargin) {
  for (const double binade : {0x1p-128, 0x1p-3, 1.0, 0x1p40, 0x1p126}) {
    const double place = binade * 0x1p-52;
    const double below = binade * (1 + 1234 * 0x1p-39);  // a 40-bit number
    const double midpoint = below + binade * 0x1p-40;
    for (const std::int64_t margin :
         {CorrectlyRoundedMargin, AbsoluteSumMargin, SquareSumMargin, ChordSumMargin,
          FusedSquareSumMargin, FusedExactSquareSumMargin, FusedChordSumMargin}) {
      for (std::int64_t k = -margin - 2; k <= margin + 2; ++k) {
        SCOPED_TRACE(std::to_string(binade) + " margin " + std::to_string(margin) + " k " +
                     std::to_string(k));
        double out = -1;
        const bool decided = RoundClearOfMidpoint(midpoint + k * place, margin, out);
        EXPECT_EQ(decided, std::abs(k) > margin);
        if (decided) {
          EXPECT_EQ(out, k < 0 ? below : below + binade * 0x1p-39);
        }
      }
    }
  }
  double out = -1;
  EXPECT_TRUE(RoundClearOfMidpoint(0.0, SquareSumMargin, out));
  EXPECT_EQ(out, 0.0);
  EXPECT_TRUE(RoundClearOfMidpoint(0x1p-129 * 1.25, SquareSumMargin, out));
  EXPECT_EQ(out, 0.0) << "flushed below 2^-128";
}

// The rounding of a correctly rounded quotient or root, without branches: decided wherever
// the double is not itself a midpoint and not below 2^-1000; the same as RoundClearOfMidpoint
// with margin 0 there, and as the stored value DecidedPlainly gives.
TEST(PlainRoundingTest, DecidesAllButMidpointsAndTheBottomOfTheRange) {
  const double place = 0x1p-52, unit = 0x1p-39;  // of the binade [1, 2)
  const struct {
    double H;
    bool Decided;
    double Rounded;  // where decided
  } cases[] = {
      {1 + 5 * unit, true, 1 + 5 * unit},
      {1 + unit / 2, false, 0},
      {1 + unit / 2 - place, true, 1},
      {1 + unit / 2 + place, true, 1 + unit},
      {-(1 + unit / 2 + place), true, -(1 + unit)},
      {-(1 + unit / 2), false, 0},
      {2 - place, true, 2},        // up into the next binade
      {0x1p-129 * 1.25, true, 0},  // flushed
      {0x1p-1001, false, 0},       // too small to decide
      {0x1p100 * (1 + unit / 2 + place), true, 0x1p100 * (1 + unit)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.H);
    bool decided = !c.Decided;
    const double rounded = PlainRounding(c.H, decided);
    ASSERT_EQ(decided, c.Decided);
    if (!decided) continue;
    EXPECT_EQ(rounded, c.Rounded);
    double out = -1;
    EXPECT_TRUE(RoundClearOfMidpoint(c.H, CorrectlyRoundedMargin, out));
    EXPECT_EQ(out, rounded);
    StorageReal stored;
    EXPECT_TRUE(DecidedPlainly(c.H, stored));
    EXPECT_EQ(stored.Bytes(), StorageReal::FromRounded(rounded).Bytes());
  }
  StorageReal stored;
  EXPECT_FALSE(DecidedPlainly(StorageReal::Largest() * (1 + place), stored))
      << "above the largest value";
}

// The chord roots decided in double arithmetic are the extended format's, to the last bit;
// the values include few-bit ones, whose differences land on the 64-bit ties of the
// subtraction, and offsets far from the values.
TEST(ChordRootFastTest, AgreesWithTheExtendedRoot) {
  std::uint64_t state = 5;
  const auto next = [&state] { return testing::NextRandom(state) >> 11; };
  int decided = 0, trials = 0;
  for (int t = 0; t < 200000; ++t) {
    const int bits = next() % 3 == 0 ? 1 + static_cast<int>(next() % 40) : 40;
    const auto significand = static_cast<double>((next() >> (53 - bits)) | 1);
    const double value =
        RoundToStorage(std::ldexp(significand, static_cast<int>(next() % 80) - 40 - bits));
    const double offset = next() % 4 == 0
                              ? 0.0
                              : -RoundToStorage(std::ldexp(static_cast<double>(next() >> 13),
                                                           static_cast<int>(next() % 100) - 90));
    const StorageReal v = next() % 16 == 0 ? StorageReal(offset) : StorageReal(value);
    DoubleDouble fast;
    ++trials;
    if (!ChordRootFast(v.ToDouble(), offset, fast)) continue;
    ++decided;
    const DoubleDouble exact = ChordRoot(v, offset);
    ASSERT_EQ(fast.H, exact.H) << v.ToDouble() << " " << offset;
    ASSERT_EQ(fast.L, exact.L) << v.ToDouble() << " " << offset;
  }
  EXPECT_GT(decided, trials * 9 / 10) << "the fast path decides nearly every root";
}

// Euclidean sums near a 40-bit midpoint from differences that double rounds by nearly half a
// place, as the coefficient step's lanes compute them: with the square rounded on its own, and
// added in one fused operation. Every sum the screen decides with its margin rounds as the
// exact step; some wrong ones lie right at the margin, so that a smaller one would fail. With
// the differences exact (a nearby 40-bit value subtracted), the exact-difference margins hold.
TEST(RoundClearOfMidpointTest, SquareSumMarginsAreNeeded) {
  std::uint64_t state = 23;
  const auto unit = [&state] {
    return static_cast<double>(testing::NextRandom(state) >> 11) * 0x1p-53;  // [0, 1)
  };
  const auto round40 = [](double v) { return StorageReal::FromRounded(v).ToDouble(); };
  struct Screen {
    const char* name;
    bool fused, exactDifference;
    std::int64_t margin;
    int wrongAtTheMargin = 0;
  } screens[] = {{"separate", false, false, SquareSumMargin},
                 {"fused", true, false, FusedSquareSumMargin},
                 {"separate, exact difference", false, true, AbsoluteSumMargin},
                 {"fused, exact difference", true, true, FusedExactSquareSumMargin}};
  for (int t = 0; t < 200000; ++t) {
    // D = x - y lies beside the midpoint of two doubles in [1, sqrt(2)), or is a double.
    const double nearest = 1 + 0.41421 * unit();
    const bool exactDifference = t % 2 == 1;
    const double tie = exactDifference ? 0.0 : (0.5 - 0x1p-6) * 0x1p-52 * (t % 4 == 0 ? 1 : -1);
    const double x = round40(nearest + (exactDifference ? 0.25 : 0x1p-20) * (1 + unit()));
    const double y = round40((x - nearest) - tie);
    const double d = x - y;
    // s puts s + D^2 within a few places of the first midpoint above D^2 + 2^-30.
    const double square = d * d;
    const auto midpointBits =
        (std::bit_cast<std::uint64_t>(square + 0x1p-30) & ~0x1fffull) | 0x1000;
    const double s = round40(std::bit_cast<double>(midpointBits) - square +
                             static_cast<double>(static_cast<int>(t % 9) - 4) * 0x1p-53);
    if (!(s > 0)) continue;
    const double exact = SquareStepSlow(s, Extended::FromDouble(x), Extended::FromDouble(y));
    volatile double product = d * d;  // no fused multiply-add here
    for (Screen& screen : screens) {
      if (screen.exactDifference != exactDifference) continue;
      const double h = screen.fused ? std::fma(d, d, s) : s + product;
      double out;
      if (RoundClearOfMidpoint(h, screen.margin, out)) {
        ASSERT_EQ(out, exact) << screen.name << ": " << x << " " << y << " " << s;
      }
      const auto fromMidpoint =
          static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(h) & 0x1fff) - 0x1000;
      if ((fromMidpoint == screen.margin || fromMidpoint == -screen.margin) && round40(h) != exact)
        ++screen.wrongAtTheMargin;
    }
  }
  for (const Screen& screen : screens) {
    if (!screen.exactDifference) {
      EXPECT_GT(screen.wrongAtTheMargin, 0) << screen.name;
    }
  }
}

}  // namespace
}  // namespace vardell
