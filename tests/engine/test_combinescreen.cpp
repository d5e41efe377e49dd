// The Lance-Williams combination's plain double screen: it leaves every result that lies
// within its error bound of a 40-bit midpoint to the exact paths, and whatever it decides is
// what the extended computation stores.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>

#include "engine/agglomeration.h"
#include "engine/exactsteps.h"

namespace vardell {
namespace {

// The extended result before its storage rounding, as the slow path computes it.
Extended ExtendedCombination(const std::array<double, 4>& c, double ki, double kj, double dij) {
  const auto x = [](double v) { return Extended::FromDouble(v); };
  const Extended sum =
      Add(Add(Multiply(x(c[0]), x(ki)), Multiply(x(c[1]), x(kj))), Multiply(x(c[2]), x(dij)));
  return Add(sum, Multiply(x(c[3]), Absolute(Subtract(x(ki), x(kj)))));
}

// Distance from y to the nearest midpoint between two 40-bit neighbours of its binade.
double DistanceToMidpoint(const Extended& y) {
  if (y.IsZero()) return INFINITY;
  const auto low = static_cast<std::int64_t>(y.Significand & 0xffffff);
  return std::ldexp(static_cast<double>(std::llabs(low - 0x800000)), y.Exponent);
}

double Magnitude(const std::array<double, 4>& c, double ki, double kj, double dij) {
  return std::fabs(c[0] * ki) + std::fabs(c[1] * kj) + std::fabs(c[2] * dij) +
         std::fabs(c[3] * (ki - kj));
}

// CombineMany on one input in every slot, with the coefficients fixed or by slot; NaN where
// it leaves the input to CombineStored. Every slot must agree.
double Many(const std::array<double, 4>& c, double ki, double kj, double dij, bool perSlot) {
  auto in = std::make_unique<CombineOperands>();
  const bool isShort = ShortCombinationTerms(c[0], c[1], c[2], c[3]);
  for (int q = 0; q < CombineLaneCount; ++q) {
    in->Ki[q] = ki, in->Kj[q] = kj;
    in->AlphaI[q] = c[0], in->AlphaJ[q] = c[1], in->Beta[q] = c[2], in->Gamma[q] = c[3];
    in->Short[q] = isShort ? -1 : 0;
  }
  if (perSlot)
    CombineManyPerSlot(*in, CombineLaneCount, dij);
  else
    CombineMany(*in, CombineLaneCount, {c[0], c[1], c[2], c[3], isShort}, dij);
  for (int q = 1; q < CombineLaneCount; ++q)
    EXPECT_EQ(std::bit_cast<std::uint64_t>(in->Values[q]),
              std::bit_cast<std::uint64_t>(in->Values[0]));
  return in->Values[0];
}

// Checks one input; true when the screen decided it.
bool Check(const std::array<double, 4>& c, double ki, double kj, double dij) {
  const Extended y = ExtendedCombination(c, ki, kj, dij);
  double screened = 0;
  const bool decided = CombineScreen(c[0], c[1], ki, kj, c[2], dij, c[3], screened);
  // Within 2^-50 M of a midpoint the double result may lie on either side of it.
  if (DistanceToMidpoint(y) <= 0x1p-50 * Magnitude(c, ki, kj, dij)) {
    EXPECT_FALSE(decided) << ki << " " << kj << " " << dij;
  }
  double stored = 0;
  bool overflow = false;
  try {
    stored = CombineSlow(c[0], c[1], ki, kj, c[2], dij, c[3]).ToDouble();
  } catch (const FloatingPointOverflow&) {
    overflow = true;
  }
  if (decided && !overflow) {
    EXPECT_EQ(exact::Flushed(screened), stored) << ki << " " << kj << " " << dij;
  }
  for (bool perSlot : {false, true}) {
    const double many = Many(c, ki, kj, dij, perSlot);
    if (!std::isnan(many)) {
      EXPECT_FALSE(overflow);
      EXPECT_EQ(many, stored) << ki << " " << kj << " " << dij;
    }
    // The screen's decisions are CombineMany's too.
    if (decided && !overflow && std::fabs(stored) >= 0x1p-119 && std::fabs(stored) <= 0x1p119) {
      EXPECT_FALSE(std::isnan(many)) << ki << " " << kj << " " << dij;
    }
  }
  if (overflow) {
    EXPECT_THROW(Combine(c[0], c[1], ki, kj, c[2], dij, c[3]), FloatingPointOverflow);
  } else {
    EXPECT_EQ(Combine(c[0], c[1], ki, kj, c[2], dij, c[3]).ToDouble(), stored);
  }
  return decided;
}

// ki + kj for the 40-bit value r = 1 + 2^-39 * 12345 and kj = half its unit plus an offset
// of the given number of units: the bound of the screen is about 2^-49 of the result, that
// is 2^-10 of a unit.
// CombineMany decides besides where the sum is exact in double, ties included, as long as
// the coefficients are short.
struct NearMidpoint {
  const char* Name;
  double Offset;  // in units of the last place of r
  bool Decided;
  bool ExactInDouble;
};

const NearMidpoint NearMidpoints[] = {
    {"ExactlyHalfway", 0, false, true},
    {"FarBelowTheLastPlaceAbove", 0x1p-39, false, false},
    {"FarBelowTheLastPlaceBelow", -0x1p-39, false, false},
    {"WithinTheDoubleRounding", 0x1p-14, false, false},
    {"WithinTheBound", -0x1p-12, false, true},
    {"JustWithinTheBound", 0x1p-11, false, true},
    {"BeyondTheBound", 0x1p-8, true, true},
    {"BeyondTheBoundBelow", -0x1p-8, true, true},
    {"QuarterUnit", 0.25, true, true},
};

TEST(CombineScreenTest, LeavesResultsNearAMidpointToTheExactPaths) {
  const double unit = 0x1p-39, r = 1 + 12345 * unit;
  for (const NearMidpoint& c : NearMidpoints) {
    SCOPED_TRACE(c.Name);
    const std::array<double, 4> coefficients = {1, 1, 0, 0};
    EXPECT_EQ(Check(coefficients, r, unit * (0.5 + c.Offset), 0), c.Decided);
    // The same sum as an average of doubled values, and negated.
    const std::array<double, 4> average = {0.5, 0.5, 0, 0}, negated = {-1, -1, 0, 0};
    EXPECT_EQ(Check(average, 2 * r, 2 * unit * (0.5 + c.Offset), 0), c.Decided);
    EXPECT_EQ(Check(negated, r, unit * (0.5 + c.Offset), 0), c.Decided);
    for (bool perSlot : {false, true}) {
      const double kj = unit * (0.5 + c.Offset);
      EXPECT_EQ(!std::isnan(Many(coefficients, r, kj, 0, perSlot)), c.Decided || c.ExactInDouble);
      EXPECT_EQ(!std::isnan(Many(average, 2 * r, 2 * kj, 0, perSlot)),
                c.Decided || c.ExactInDouble);
      // A coefficient with more than 13 bits: nothing is known exact, even where it meets 0.
      const std::array<double, 4> longBeta = {1, 1, RoundToStorage(1.0 / 3), 0};
      EXPECT_EQ(!std::isnan(Many(longBeta, r, kj, 0, perSlot)), c.Decided);
    }
  }
}

// Results outside [2^-120, 2^120], zero among them, are CombineStored's to flush or check.
TEST(CombineManyTest, LeavesResultsOutsideItsRangeToCombineStored) {
  struct Case {
    const char* Name;
    double Ki, Kj;
    bool Decided;
  };
  const Case cases[] = {
      {"Zero", 0, 0, false},
      {"CancelsToZero", 3, 3, false},
      {"BelowTheRange", 0x1p-121, 0x1p-121, false},
      {"AtTheBottom", 0x1p-120, 0x1p-120, true},
      {"AtTheTop", 0x1p120, 0x1p120, true},
      {"AboveTheRange", 0x1p121, 0x1p121, false},
      {"Overflowing", 0x1.8p126, 0x1.8p126, false},
  };
  // The average for a positive sign, the half difference for a cancelling one.
  const std::array<double, 4> average = {0.5, 0.5, 0, 0}, halfDifference = {0.5, -0.5, 0, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto& coefficients = c.Ki == 3 ? halfDifference : average;
    for (bool perSlot : {false, true})
      EXPECT_EQ(!std::isnan(Many(coefficients, c.Ki, c.Kj, 0, perSlot)), c.Decided);
    Check(coefficients, c.Ki, c.Kj, 0);
  }
}

// Random inputs with the strategies' coefficients or arbitrary ones, values across the
// format's range, often close to each other so that sums cancel or land on ties.
TEST(CombineScreenTest, AgreesWithTheSlowPath) {
  std::mt19937_64 random(20);
  const auto integer = [&random](int low, int high) {
    return low + static_cast<int>(random() % static_cast<std::uint64_t>(high - low + 1));
  };
  const auto stored = [&](int low, int high) {
    std::uint64_t significand = (random() >> 24) | (std::uint64_t{1} << 39);
    if (integer(0, 3) == 0) significand &= ~((std::uint64_t{1} << integer(1, 39)) - 1);
    const double v = std::ldexp(static_cast<double>(significand), integer(low, high) - 39);
    return integer(0, 1) ? -v : v;
  };
  long decided = 0;
  const long trials = 300000;
  for (long t = 0; t < trials && !HasFailure(); ++t) {
    const int ni = integer(1, 200), nj = integer(1, 200), nk = integer(1, 200);
    const auto terms = [](const LanceWilliams& w) {
      return std::array<double, 4>{w.AlphaI.ToDouble(), w.AlphaJ.ToDouble(), w.Beta.ToDouble(),
                                   w.Gamma.ToDouble()};
    };
    std::array<double, 4> c = {0.5, 0.5, 0, integer(0, 1) ? -0.5 : 0.5};
    switch (integer(0, 4)) {
      case 0: break;
      case 1: c = terms(SetCentroidCoefficients(ni, nj)); break;
      case 2: c = terms(SetMinimumVarianceCoefficients(ni, nj, nk)); break;
      default:
        for (double& v : c) v = integer(0, 3) == 0 ? 0 : stored(-20, 2);
    }
    const int e = integer(-110, 110);
    const double ki = std::fabs(stored(e, e));
    const double kj = integer(0, 1) ? RoundToStorage(ki * (1 + integer(-64, 64) * 0x1p-39))
                                    : std::fabs(stored(e - 40, e + 2));
    const double dij = integer(0, 1) ? ki : std::fabs(stored(e - 40, e + 2));
    decided += Check(c, ki, kj, dij) ? 1 : 0;
  }
  // Most results are decided by the screen.
  EXPECT_GT(decided, trials / 2);
}

}  // namespace
}  // namespace vardell
