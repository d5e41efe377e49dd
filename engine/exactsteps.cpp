#include "engine/exactsteps.h"

namespace vardell {
namespace {

// The storage real's rounding of a running sum: nearest, ties away from zero, flushed below
// 2^-128, whatever its size (the caller checks the range at the end).
double RoundSum(const Extended& y) {
  if (y.Significand == 0) return 0;
  const std::uint64_t half = std::uint64_t{1} << 23;
  std::uint64_t rounded = y.Significand + half;
  std::int32_t exponent = y.Exponent;
  if (rounded < y.Significand) {
    rounded = std::uint64_t{1} << 63;
    ++exponent;
  }
  rounded >>= 24;  // 40 bits
  return exact::Flushed(TimesTwoTo(static_cast<double>(rounded), exponent + 24));
}

}  // namespace

DoubleDouble ToDoubleDouble(const Extended& v) {
  const double h = v.ToDouble();
  return {h, Subtract(v, Extended::FromDouble(h)).ToDouble()};
}

Extended ToExtended(DoubleDouble v) {
  return Add(Extended::FromDouble(v.H), Extended::FromDouble(v.L));
}

double SquareStepSlow(double s, const Extended& x, const Extended& y) {
  const Extended d = Subtract(x, y);
  return RoundSum(Add(Extended::FromDouble(s), Multiply(d, d)));
}

double AbsoluteStepSlow(double s, const Extended& x, const Extended& y) {
  return RoundSum(Add(Extended::FromDouble(s), Absolute(Subtract(x, y))));
}

DoubleDouble ChordRoot(StorageReal value, StorageReal offset) {
  const Extended root = SquareRoot(Subtract(value.ToExtended(), offset.ToExtended()));
  if (root.NotANumber) throw InvalidFloatingPointOperation();
  return ToDoubleDouble(root);
}

namespace {

// The last place of a 64-bit number in the binade of h (24 bits below the storage real's),
// and a value rounded to an integer, ties to even, for |x| < 2^51.
double ExtendedPlace(double h) { return exact::StorageUnit(h) * 0x1p-24; }
// 1 / g for a power of two g whose reciprocal is a normal double, so that dividing by g is
// multiplying by it, exactly.
double Reciprocal(double g) {
  return std::bit_cast<double>(0x7fe0000000000000u - std::bit_cast<std::uint64_t>(g));
}
double NearestInteger(double x) { return (x + 0x1.8p52) - 0x1.8p52; }

// h's 52-bit fraction is 0 or all ones: its 64-bit neighbours may lie in another binade.
bool AtBinadeEdge(double h) {
  const std::uint64_t fraction = std::bit_cast<std::uint64_t>(h) & 0xfffffffffffffu;
  return fraction == 0 || fraction == 0xfffffffffffffu;
}

}  // namespace

// A = value - offset is a + ae exactly; rounded to 64 bits it is a + k g, g the 64-bit last
// place of a's binade (2^-11 of a double's), k = ae / g rounded to even, decided here unless
// a is at a binade edge. Its square root is r + c with r = sqrt(a) rounded, c = (A - r^2) /
// (2r): r^2 is exact as p + pe, a - p is exact (p lies within a few places of a), and the
// other roundings and the left-out term c^2 / 2r are below 2^-102 r. So with x = c / g2 (g2
// the 64-bit last place of r's binade) the exact root is r + (x + err) g2 with |err| below
// 2^-102 r / g2 <= 2^-38; when x lies farther than 2^-30 from every half-integer, the 64-bit
// root is r + k2 g2 with k2 = x rounded, as the extended format's correctly rounded square
// root gives. The double-double form is then that value's nearest double and the rest.
bool ChordRootFast(double value, double offset, DoubleDouble& out) {
  double a, ae;
  exact::TwoSum(value, -offset, a, ae);
  if (a == 0) {
    out = {};
    return true;
  }
  if (!(a > 0x1p-900 && a < 0x1p900) || AtBinadeEdge(a)) return false;
  const double g = ExtendedPlace(a);
  ae = NearestInteger(ae * Reciprocal(g)) * g;
  const double r = std::sqrt(a);
  if (AtBinadeEdge(r)) return false;
  const double p = r * r;
  const double e = ((a - p) - exact::ProductError(r, r, p)) + ae;
  const double x = e / (2 * r) * Reciprocal(ExtendedPlace(r));
  const double k = NearestInteger(x);
  if (std::fabs(std::fabs(x - k) - 0.5) <= 0x1p-30) return false;
  exact::TwoSum(r, k * ExtendedPlace(r), out.H, out.L);
  return true;
}

StorageReal CombineSlow(double alphaI, double alphaJ, double dki, double dkj, double beta,
                        double dij, double gamma) {
  const auto x = [](double v) { return Extended::FromDouble(v); };
  const Extended ki = x(dki), kj = x(dkj);
  const Extended sum =
      Add(Add(Multiply(x(alphaI), ki), Multiply(x(alphaJ), kj)), Multiply(x(beta), x(dij)));
  return StorageReal(Add(sum, Multiply(x(gamma), Absolute(Subtract(ki, kj)))));
}

bool CombineFast(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                 double gamma, double& out) {
  // Four exact products (40 by 40 bits fit a double-double), |dki - dkj| exactly as d + de.
  double d, de;
  exact::TwoSum(dki, -dkj, d, de);
  if (d < 0) d = -d, de = -de;
  const double p[4] = {alphaI * dki, alphaJ * dkj, beta * dij, gamma * d};
  const double pe[4] = {
      exact::ProductError(alphaI, dki, p[0]), exact::ProductError(alphaJ, dkj, p[1]),
      exact::ProductError(beta, dij, p[2]), exact::ProductError(gamma, d, p[3]) + gamma * de};
  double h = p[0], l = pe[0], magnitude = std::fabs(p[0]);
  for (int i = 1; i < 4; ++i) {
    double e;
    exact::TwoSum(h, p[i], h, e);
    l += e + pe[i];
    magnitude += std::fabs(p[i]);
  }
  double sh, sl;
  exact::TwoSum(h, l, sh, sl);
  return exact::RoundDoubleDouble(sh, sl, magnitude * 0x1p-59, out);
}

namespace {

// Averages land exactly halfway between two stored values about half the time, which no
// approximation can decide. With short coefficients (the averaging strategies' halves, the
// quotients of sizes that add up to a power of two) the products are exact in double; where
// the difference and the sums are exact too, the double result is the exact value, every
// extended operation was exact, and its rounding, ties included, is decided here.
bool CombineExactly(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                    double gamma, double& out) {
  if (!ShortCombinationTerms(alphaI, alphaJ, beta, gamma)) return false;
  double d, de, s1, e1, s2, e2, s3, e3;
  exact::TwoSum(dki, -dkj, d, de);
  exact::TwoSum(alphaI * dki, alphaJ * dkj, s1, e1);
  exact::TwoSum(s1, beta * dij, s2, e2);
  exact::TwoSum(s2, gamma * std::fabs(d), s3, e3);
  if (de != 0 || e1 != 0 || e2 != 0 || e3 != 0) return false;
  return exact::RoundDoubleDouble(s3, 0, 0, out) || exact::RoundExactTie(s3, 0, out);
}

}  // namespace

double CombineStored(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                     double gamma) {
  double r;
  if (CombineScreen(alphaI, alphaJ, dki, dkj, beta, dij, gamma, r) ||
      CombineExactly(alphaI, alphaJ, dki, dkj, beta, dij, gamma, r) ||
      CombineFast(alphaI, alphaJ, dki, dkj, beta, dij, gamma, r)) {
    if (std::fabs(r) > StorageReal::Largest()) throw FloatingPointOverflow();
    return exact::Flushed(r);
  }
  return CombineSlow(alphaI, alphaJ, dki, dkj, beta, dij, gamma).ToDouble();
}

StorageReal Combine(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                    double gamma) {
  return StorageReal::FromRounded(CombineStored(alphaI, alphaJ, dki, dkj, beta, dij, gamma));
}

}  // namespace vardell
