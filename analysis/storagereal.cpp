#include "analysis/storagereal.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "analysis/doubledouble.h"

namespace vardell {
namespace {

constexpr int kStorageBias = 129;
constexpr int kDroppedBits = 64 - 40;  // extended significand bits the storage real drops

}  // namespace

StorageReal::StorageReal(double v) {
  if (std::isnan(v)) throw InvalidFloatingPointOperation();
  if (std::isinf(v)) throw FloatingPointOverflow();
  Store(Extended::FromDouble(v));
}

void StorageReal::Store(const Extended& v) {
  if (v.NotANumber) throw InvalidFloatingPointOperation();
  bytes_ = {};
  if (v.Significand == 0) return;  // also negative zero: the format has a single zero
  // Value = 1.significand * 2^exponent.
  std::int64_t exponent = std::int64_t{v.Exponent} + 63;
  if (exponent < -kStorageBias - 1) return;  // far below 2^-128
  if (exponent > 255) throw FloatingPointOverflow();
  // Round the magnitude half up at bit 24: ties go away from zero.
  std::uint64_t rounded = v.Significand + (std::uint64_t{1} << (kDroppedBits - 1));
  if (rounded < v.Significand) {  // carried out of the top bit: 1.111..1 became 10.000..0
    rounded = std::uint64_t{1} << 63;
    ++exponent;
  } else {
    rounded &= ~std::uint64_t{0} << kDroppedBits;
  }
  const std::int64_t biased = exponent + kStorageBias;
  if (biased < 1) return;  // below 2^-128 after rounding: stored as 0
  if (biased > 255) throw FloatingPointOverflow();
  const std::uint64_t fraction = (rounded >> kDroppedBits) & ((std::uint64_t{1} << 39) - 1);
  bytes_[0] = static_cast<std::uint8_t>(biased);
  bytes_[1] = static_cast<std::uint8_t>(fraction & 0xff);
  std::uint32_t upper = static_cast<std::uint32_t>(fraction >> 8);  // 31 bits
  if (v.Negative) upper |= 0x80000000u;
  for (int i = 0; i < 4; ++i) bytes_[2 + i] = static_cast<std::uint8_t>(upper >> (8 * i));
}

namespace {

// Stores the rounding of h + l that RoundDoubleDouble decides within margin, or else the
// extended-format result slow() computes. A single extended operation errs by at most
// 2^-64 of its result and the approximations below by far less, so a margin of 2^-62 |h|
// covers both (see engine/exactsteps.h).
template <class Slow>
StorageReal Decided(double h, double l, Slow slow) {
  double r = 0;
  if (exact::RoundDoubleDouble(h, l, std::fabs(h) * 0x1p-62, r)) {
    if (std::fabs(r) > StorageReal::Largest()) throw FloatingPointOverflow();
    return StorageReal::FromRounded(exact::Flushed(r));
  }
  return StorageReal(slow());
}

}  // namespace

StorageReal StoredQuotient(double a, double b) {
  const double q = a / b;
  if (StorageReal stored; DecidedPlainly(q, stored)) return stored;
  const double p = q * b;
  const double l = ((a - p) - exact::ProductError(q, b, p)) / b;  // a - p is exact
  return Decided(q, l, [&] { return Divide(Extended::FromDouble(a), Extended::FromDouble(b)); });
}

StorageReal StoredSquareRoot(double a) {
  const double q = std::sqrt(a);
  if (StorageReal stored; DecidedPlainly(q, stored)) return stored;
  const double p = q * q;
  const double l = q > 0 ? ((a - p) - exact::ProductError(q, q, p)) / (2 * q) : 0;
  return Decided(q, l, [&] { return SquareRoot(Extended::FromDouble(a)); });
}

StorageReal StoredSum(double a, double b) {
  double h = 0, l = 0;
  exact::TwoSum(a, b, h, l);
  return Decided(h, l, [&] { return Add(Extended::FromDouble(a), Extended::FromDouble(b)); });
}

StorageReal StoredDifference(double a, double b) { return StoredSum(a, -b); }

StorageReal StoredHalfSum(double a, double b) {
  double h = 0, l = 0;
  exact::TwoSum(a, b, h, l);
  return Decided(h * 0.5, l * 0.5, [&] {
    return Multiply(Add(Extended::FromDouble(a), Extended::FromDouble(b)),
                    Extended::FromDouble(0.5));
  });
}

StorageReal StorageReal::FromBytes(const std::array<std::uint8_t, 6>& bytes) {
  StorageReal r;
  r.bytes_ = bytes;
  return r;
}

}  // namespace vardell
