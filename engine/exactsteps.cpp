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
  return exact::Flushed(std::ldexp(static_cast<double>(rounded), exponent + 24));
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

StorageReal Combine(double alphaI, double alphaJ, double dki, double dkj, double beta, double dij,
                    double gamma) {
  double r;
  if (CombineFast(alphaI, alphaJ, dki, dkj, beta, dij, gamma, r)) {
    if (std::fabs(r) > StorageReal::Largest()) throw FloatingPointOverflow();
    return StorageReal::FromRounded(exact::Flushed(r));
  }
  return CombineSlow(alphaI, alphaJ, dki, dkj, beta, dij, gamma);
}

}  // namespace vardell
