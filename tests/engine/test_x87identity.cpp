// The program's own exact arithmetic against the x87 unit, bit for bit, on random operands
// across the storage real's whole range with deliberate ties and near-ties at the 40-bit
// boundary: the extended operations, the store, the running-sum steps (fast path with its
// fallback, and the slow path alone), the Lance-Williams combination and the single stored
// operations. The x87 side is the arithmetic the program used before it had its own.
//
// VARDELL_IDENTITY_TRIALS sets the trials per operation (scripts/check-x87-identity.sh runs
// 10^8); the everyday run uses fewer. Left out where the compiler's long double is not the
// x87 format.

#include "tests/x87.h"

#if VARDELL_HAS_X87

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "engine/exactsteps.h"

namespace vardell {
namespace {

using testing::FromX87;
using testing::SameExtended;
using testing::ToX87;

long Trials() {
  const char* text = std::getenv("VARDELL_IDENTITY_TRIALS");
  return text ? std::atol(text) : 2000000;
}

// ---- The x87 reference: the program's former arithmetic, in long double ----

// Rounds x >= 0 to 40 bits, nearest with ties away from zero, and flushes below 2^-128, in
// x87 arithmetic (Veltkamp's splitting; a tie rounded down takes the upper neighbour).
long double X87RoundSum(long double x) {
  const long double p = x * 16777217.0L;  // 2^24 + 1
  const long double hi = p - (p - x);
  const long double p41 = x * 8388609.0L;  // 2^23 + 1
  const bool fits41 = p41 - (p41 - x) == x;
  const long double rounded = fits41 && hi < x ? hi + 2 * (x - hi) : hi;
  return rounded < 0x1p-128L ? 0.0L : rounded;
}

// A store: the same rounding for either sign.
long double X87Store(long double x) { return x < 0 ? -X87RoundSum(-x) : X87RoundSum(x); }

bool X87Overflows(long double stored) { return fabsl(stored) > StorageReal::Largest(); }

// Whether an extended value lies exactly halfway between two 40-bit neighbours.
bool ExactTie(long double v) {
  const Extended e = FromX87(v);
  return e.Significand != 0 && (e.Significand & 0xffffff) == 0x800000;
}

// ---- Operands ----

class Operands {
 public:
  explicit Operands(std::uint64_t seed) : random_(seed) {}

  int Int(int low, int high) {
    return low + static_cast<int>(random_() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool Chance(int outOf) { return random_() % outOf == 0; }

  // A stored value with its exponent (value in [2^e, 2^(e + 1))) in [low, high]; often with
  // only a few significant bits, so that sums meet ties.
  double Stored(int low, int high, bool maybeNegative = true) {
    std::uint64_t significand = (random_() >> 24) | (std::uint64_t{1} << 39);
    if (Chance(4)) significand &= ~((std::uint64_t{1} << Int(1, 39)) - 1);
    const double v = std::ldexp(static_cast<double>(significand), Int(low, high) - 39);
    return maybeNegative && Chance(2) ? -v : v;
  }

  // An extended value, often exactly at, or a few units off, a 40-bit tie, or with trailing
  // zeros, or just below a power of two.
  Extended Wide(int low, int high, bool maybeNegative = true) {
    std::uint64_t significand = random_() | (std::uint64_t{1} << 63);
    const std::uint64_t low24 = ~std::uint64_t{0} << 24;
    switch (Int(0, 7)) {
      case 0: significand = (significand & low24) | 0x800000; break;
      case 1:
        significand = (significand & low24) | static_cast<std::uint64_t>(0x800000 + Int(-3, 3));
        break;
      case 2: significand &= low24; break;
      case 3: significand &= ~std::uint64_t{0} << Int(1, 62); break;
      case 4:
        significand = ~std::uint64_t{0} - static_cast<std::uint64_t>(Int(0, 0x1000000));
        break;
      default: break;
    }
    return Extended::FromParts(maybeNegative && Chance(2), significand, Int(low, high) - 63);
  }

  // Another value near v: a few units of its last place away, or at a random distance.
  Extended Near(const Extended& v) {
    Extended r = v;
    r.Significand += static_cast<std::uint64_t>(Int(-1000, 1000)) << Int(0, 40);
    r.Significand |= std::uint64_t{1} << 63;
    return r;
  }

 private:
  std::mt19937_64 random_;
};

// body(operands, t) for every trial t, with operands drawn from seed; a failed assertion
// ends the trials.
template <typename Body>
void ForEachTrial(std::uint64_t seed, Body body) {
  Operands operands(seed);
  const long trials = Trials();
  for (long t = 0; t < trials && !::testing::Test::HasFatalFailure(); ++t) body(operands, t);
}

// ---- The extended operations ----

enum class Operation { Add, Subtract, Multiply, Divide, SquareRoot };

void CheckOperation(Operation operation, std::uint64_t seed) {
  ForEachTrial(seed, [&](Operands& operands, long t) {
    const Extended a = operands.Wide(-340, 260);
    const Extended b = operands.Chance(3) ? operands.Near(a)
                       : operands.Chance(2)
                           ? operands.Wide(-340, 260)
                           : operands.Wide(a.Exponent + 63 - 70, a.Exponent + 63 + 3);
    const long double x = ToX87(a), y = ToX87(b);
    Extended mine;
    long double reference = 0;
    switch (operation) {
      case Operation::Add: mine = Add(a, b), reference = x + y; break;
      case Operation::Subtract: mine = Subtract(a, b), reference = x - y; break;
      case Operation::Multiply: mine = Multiply(a, b), reference = x * y; break;
      case Operation::Divide: mine = Divide(a, b), reference = x / y; break;
      case Operation::SquareRoot: mine = SquareRoot(a), reference = sqrtl(x); break;
    }
    ASSERT_TRUE(SameExtended(mine, FromX87(reference)))
        << "trial " << t << ": " << static_cast<double>(x) << ", " << static_cast<double>(y);
  });
}

TEST(X87Identity, Add) { CheckOperation(Operation::Add, 1); }
TEST(X87Identity, Subtract) { CheckOperation(Operation::Subtract, 2); }
TEST(X87Identity, Multiply) { CheckOperation(Operation::Multiply, 3); }
TEST(X87Identity, Divide) { CheckOperation(Operation::Divide, 4); }
TEST(X87Identity, SquareRoot) { CheckOperation(Operation::SquareRoot, 5); }

// ---- The store ----

TEST(X87Identity, Store) {
  ForEachTrial(6, [&](Operands& operands, long t) {
    const Extended v = operands.Wide(-132, 128);
    const long double stored = X87Store(ToX87(v));
    if (X87Overflows(stored)) {
      ASSERT_THROW(StorageReal{v}, FloatingPointOverflow) << "trial " << t;
      return;
    }
    ASSERT_EQ(StorageReal(v).ToDouble(), static_cast<double>(stored)) << "trial " << t;
  });
}

// ---- The running-sum steps ----

enum class Term { Square, Absolute, Chord };

// The former step: the term in extended precision, added, and rounded like a store.
long double X87Step(Term term, long double s, long double x, long double y) {
  const long double d = x - y;
  return s + (term == Term::Absolute ? fabsl(d) : d * d);
}

void CheckSteps(Term term, std::uint64_t seed) {
  long slow = 0;
  ForEachTrial(seed, [&](Operands& operands, long t) {
    // Operands: the chord coefficient's square roots are 64-bit values, the others stored.
    const int e = operands.Int(-128, 124);
    Extended x, y;
    if (term == Term::Chord) {
      x = operands.Wide(e / 2 - 1, e / 2 + 1, false);
      y = operands.Chance(2) ? operands.Near(x) : operands.Wide(e / 2 - 30, e / 2 + 1, false);
    } else {
      x = Extended::FromDouble(operands.Stored(e, e));
      const double close = x.ToDouble() * (1 + operands.Int(-1000, 1000) * 0x1p-39);
      y = Extended::FromDouble(operands.Chance(2)   ? RoundToStorage(close)
                               : operands.Chance(2) ? operands.Stored(e - 30, e + 1)
                                                    : 0.0);
    }
    // The sum so far, near the term's size; sometimes chosen so that the new sum is exactly
    // halfway between two stored values.
    const long double dx = ToX87(Subtract(x, y));
    const long double termX87 = term == Term::Absolute ? fabsl(dx) : dx * dx;
    double s = 0;
    if (!operands.Chance(16)) {
      const int te = std::ilogb(static_cast<double>(termX87 == 0 ? 1 : termX87));
      s = operands.Stored(std::min(te - 45, 120), std::min(te + 45, 126), false);
      if (operands.Chance(3)) {
        // s + term lands on a tie when term is an odd multiple of half s's last unit.
        const long double unit = std::ldexp(1.0L, std::ilogb(s) - 39);
        const long double tie = unit / 2 * (2 * operands.Int(0, 20) + 1);
        if (term == Term::Absolute) {
          x = FromX87(tie), y = Extended{};
        } else {
          const long double root = sqrtl(tie);
          x = FromX87(root), y = Extended{};
          if (term != Term::Chord) x = Extended::FromDouble(RoundToStorage(x));
        }
      }
    }
    const long double sum = X87Step(term, s, ToX87(x), ToX87(y));
    const double expected = static_cast<double>(X87RoundSum(sum));
    double fast = 0;
    bool decided = false;
    double mine = 0;
    const double slowResult =
        term == Term::Absolute ? AbsoluteStepSlow(s, x, y) : SquareStepSlow(s, x, y);
    switch (term) {
      case Term::Square:
        decided = SquareStepFast(s, x.ToDouble(), y.ToDouble(), fast);
        mine = SquareStep(s, x.ToDouble(), y.ToDouble());
        break;
      case Term::Absolute:
        decided = AbsoluteStepFast(s, x.ToDouble(), y.ToDouble(), fast);
        mine = AbsoluteStep(s, x.ToDouble(), y.ToDouble());
        break;
      case Term::Chord:
        decided = ChordStepFast(s, ToDoubleDouble(x), ToDoubleDouble(y), fast);
        mine = ChordStep(s, ToDoubleDouble(x), ToDoubleDouble(y));
        break;
    }
    ASSERT_EQ(slowResult, expected) << "slow path, trial " << t;
    ASSERT_EQ(mine, expected) << "trial " << t;
    if (decided) {
      ASSERT_EQ(fast, expected) << "fast path, trial " << t;
    }
    // An extended sum exactly halfway must never be decided by the approximation (the
    // Manhattan step decides the ties it computed exactly).
    if (ExactTie(sum) && term != Term::Absolute) {
      ASSERT_FALSE(decided) << "tie decided by the fast path, trial " << t;
    }
    slow += decided ? 0 : 1;
  });
  ::testing::Test::RecordProperty("SlowPathShare",
                                  std::to_string(static_cast<double>(slow) / Trials()));
}

TEST(X87Identity, EuclideanStep) { CheckSteps(Term::Square, 7); }
TEST(X87Identity, ManhattanStep) { CheckSteps(Term::Absolute, 8); }
TEST(X87Identity, ChordStep) { CheckSteps(Term::Chord, 9); }

TEST(X87Identity, ChordRoot) {
  ForEachTrial(10, [&](Operands& operands, long t) {
    const double offset = operands.Chance(2) ? 0 : -operands.Stored(-128, 126, false);
    const double value =
        operands.Chance(4) ? offset : offset + std::fabs(operands.Stored(-128, 126));
    const double stored = RoundToStorage(value);
    if (stored < offset) return;
    const long double expected = sqrtl(static_cast<long double>(stored) - offset);
    ASSERT_TRUE(SameExtended(ToExtended(ChordRoot(stored, offset)), FromX87(expected)))
        << "trial " << t;
    DoubleDouble fast;
    if (ChordRootFast(stored, offset, fast)) {
      ASSERT_TRUE(SameExtended(ToExtended(fast), FromX87(expected))) << "fast, trial " << t;
    }
  });
}

// ---- The Lance-Williams combination ----

long double X87Combine(long double aI, long double aJ, long double ki, long double kj,
                       long double beta, long double dij, long double gamma) {
  return ((aI * ki + aJ * kj) + beta * dij) + gamma * fabsl(ki - kj);
}

TEST(X87Identity, Combine) {
  long slow = 0;
  const auto many = std::make_unique<CombineOperands>();  // slot 0 holds the trial
  ForEachTrial(11, [&](Operands& operands, long t) {
    // The strategies' coefficients, or arbitrary stored ones.
    const int ni = operands.Int(1, 200), nj = operands.Int(1, 200), nk = operands.Int(1, 200);
    double c[4];
    switch (operands.Int(0, 4)) {
      case 0: c[0] = c[1] = 0.5, c[2] = 0, c[3] = operands.Chance(2) ? -0.5 : 0.5; break;
      case 1:
        c[0] = StoredQuotient(ni, ni + nj).ToDouble(),
        c[1] = StoredQuotient(nj, ni + nj).ToDouble();
        c[2] = RoundToStorage(Multiply(Extended::FromDouble(c[0]), Extended::FromDouble(-c[1])));
        c[3] = 0;
        break;
      case 2:
        c[0] = StoredQuotient(ni + nk, ni + nj + nk).ToDouble();
        c[1] = StoredQuotient(nj + nk, ni + nj + nk).ToDouble();
        c[2] = StoredQuotient(-nk, ni + nj + nk).ToDouble(), c[3] = 0;
        break;
      default:
        for (double& v : c) v = operands.Chance(4) ? 0 : operands.Stored(-20, 2);
    }
    const int e = operands.Int(-110, 110);
    const double ki = operands.Stored(e, e);
    const double kj = operands.Chance(2)
                          ? RoundToStorage(ki * (1 + operands.Int(-64, 64) * 0x1p-39))
                          : operands.Stored(e - 40, e + 2);
    const double dij = operands.Chance(2) ? ki : operands.Stored(e - 40, e + 2);
    const long double sum = X87Combine(c[0], c[1], ki, kj, c[2], dij, c[3]);
    const long double stored = X87Store(sum);
    double fast = 0;
    const bool decided = CombineFast(c[0], c[1], ki, kj, c[2], dij, c[3], fast);
    double screened = 0;
    const bool screenDecided = CombineScreen(c[0], c[1], ki, kj, c[2], dij, c[3], screened);
    if (ExactTie(sum)) {
      ASSERT_FALSE(decided) << "tie decided by the fast path, trial " << t;
      ASSERT_FALSE(screenDecided) << "tie decided by the screen, trial " << t;
    }
    slow += decided ? 0 : 1;
    if (X87Overflows(stored)) {
      ASSERT_THROW(Combine(c[0], c[1], ki, kj, c[2], dij, c[3]), FloatingPointOverflow);
      ASSERT_THROW(CombineSlow(c[0], c[1], ki, kj, c[2], dij, c[3]), FloatingPointOverflow);
      return;
    }
    if (decided) {
      ASSERT_EQ(exact::Flushed(fast), static_cast<double>(stored)) << "trial " << t;
    }
    if (screenDecided) {
      ASSERT_EQ(exact::Flushed(screened), static_cast<double>(stored)) << "screen, trial " << t;
    }
    many->Ki[0] = ki, many->Kj[0] = kj;
    CombineMany(*many, CombineLaneCount,
                {c[0], c[1], c[2], c[3], ShortCombinationTerms(c[0], c[1], c[2], c[3])}, dij);
    if (!std::isnan(many->Values[0])) {
      ASSERT_EQ(many->Values[0], static_cast<double>(stored)) << "many at once, trial " << t;
    }
    ASSERT_EQ(Combine(c[0], c[1], ki, kj, c[2], dij, c[3]).ToDouble(), static_cast<double>(stored))
        << "trial " << t;
    ASSERT_EQ(CombineSlow(c[0], c[1], ki, kj, c[2], dij, c[3]).ToDouble(),
              static_cast<double>(stored))
        << "slow path, trial " << t;
  });
  ::testing::Test::RecordProperty("SlowPathShare",
                                  std::to_string(static_cast<double>(slow) / Trials()));
}

// ---- Single stored operations: quotients, roots, sums, halfway points ----

TEST(X87Identity, StoredOperations) {
  const auto check = [](StorageReal mine, long double sum, long t) {
    ASSERT_EQ(mine.ToDouble(), static_cast<double>(X87Store(sum))) << "trial " << t;
  };
  ForEachTrial(12, [&](Operands& operands, long t) {
    const int n = operands.Int(-600, 600), d = operands.Int(1, 600);
    check(StoredQuotient(n, d), static_cast<long double>(n) / d, t);
    const int e = operands.Int(-126, 124);
    const double a = operands.Stored(e, e);
    const double b =
        operands.Chance(2) ? operands.Stored(e - 45, e) : RoundToStorage(a * (1 + 0x1p-38));
    const int p = operands.Int(1, 150);
    check(StoredQuotient(a, p), a / static_cast<long double>(p), t);
    check(StoredSquareRoot(std::fabs(a)), sqrtl(std::fabs(a)), t);
    check(StoredSum(a, b), static_cast<long double>(a) + b, t);
    check(StoredDifference(a, b), static_cast<long double>(a) - b, t);
    check(StoredHalfSum(a, b), (static_cast<long double>(a) + b) * 0.5L, t);
  });
}

}  // namespace
}  // namespace vardell

#endif
