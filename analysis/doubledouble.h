#pragma once
// Deciding the storage real's rounding from a double-double approximation (see
// engine/exactsteps.h for the bounds its callers prove).

#include <bit>
#include <cmath>
#include <cstdint>

#include "analysis/storagereal.h"

namespace vardell {

// A value of the extended format held exactly as h + l (the chord coefficient's square roots).
struct DoubleDouble {
  double H = 0, L = 0;
};

namespace exact {

// a + b = s + e exactly.
inline void TwoSum(double a, double b, double& s, double& e) {
  s = a + b;
  const double bb = s - a;
  e = (a - (s - bb)) + (b - bb);
}

// The error of the product p = a * b (so that a * b = p + error exactly), by Veltkamp's
// splitting and Dekker's product: no fused multiply-add, which baseline x86-64 lacks (a call
// into the C library there). Needs magnitudes below 2^995 and an error above the smallest
// normal double, which the analysis's numbers keep far from.
inline double ProductError(double a, double b, double p) {
  constexpr double splitter = 134217729.0;  // 2^27 + 1
  const double ta = splitter * a, tb = splitter * b;
  const double ah = ta - (ta - a), bh = tb - (tb - b);
  const double al = a - ah, bl = b - bh;
  return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// The value of the last place of a 40-bit number with the binade of |h| (h normal, nonzero).
inline double StorageUnit(double h) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(h) & 0x7ff0000000000000u;
  return std::bit_cast<double>(bits - (std::uint64_t{39} << 52));
}

// Rounds h + l (|l| at most a unit in h's last place) to 40 bits, nearest with ties away
// from zero, when every value within margin of h + l rounds alike; returns false otherwise.
// Neither flushes nor checks the range.
inline bool RoundDoubleDouble(double h, double l, double margin, double& out) {
  if (h == 0) {
    out = 0;
    return l == 0 && margin == 0;
  }
  const double magnitude = std::fabs(h);
  if (!(margin < magnitude * 0x1p-42) || magnitude < 0x1p-960 || magnitude > 0x1p960) return false;
  const double u = StorageUnit(h);
  const double shifter = u * 0x1.8p52;  // adding and removing it rounds to a multiple of u
  const double r = h >= 0 ? (h + shifter) - shifter : (h - shifter) + shifter;
  const double rest = (h - r) + l;  // h - r is exact
  const double beyondHalf = std::fabs(rest) - 0.5 * u;
  if (std::fabs(beyondHalf) <= margin) return false;
  out = beyondHalf > 0 ? r + std::copysign(u, rest) : r;
  return true;
}

// When h + l is known to equal the exact result z, and z lies exactly halfway between two
// 40-bit neighbours (so that the extended format holds it and every extended result equals
// it), rounds it away from zero; false otherwise. For ties that RoundDoubleDouble leaves.
inline bool RoundExactTie(double h, double l, double& out) {
  if (h == 0 || std::fabs(h) < 0x1p-960 || std::fabs(h) > 0x1p960) return false;
  const double u = StorageUnit(h);
  const double shifter = u * 0x1.8p52;
  const double r = h >= 0 ? (h + shifter) - shifter : (h - shifter) + shifter;
  double rest, error;
  TwoSum(h - r, l, rest, error);
  if (error != 0 || std::fabs(rest) != 0.5 * u) return false;
  out = r + rest + std::copysign(0.5 * u, r);  // the tie, moved half a unit away from zero
  return true;
}

// Storage-real flush for a rounded 40-bit value.
inline double Flushed(double r) { return std::fabs(r) < StorageReal::Smallest() ? 0.0 : r; }

}  // namespace exact

// Deciding the storage rounding from a plain double h. A double h of the
// binade [2^e, 2^(e+1)) has its last place at 2^(e-52); the 40-bit numbers are every 2^13-th
// double of the binade, and their midpoints are the doubles whose lowest 13 bits are 0x1000.
// h lies a whole number of last places from the nearest midpoint; when that is more than
// margin, and the extended-format result y lies less than margin + 1 places from h, y and h
// are on the same side of the midpoint and round alike (no binade edge is within reach: the
// nearest midpoint across an edge is 2^11 places away). Rounds the magnitude half up, which is ties
// away from zero; then flushes below 2^-128. False, with out untouched, when h is too near a
// midpoint.
// The margin for a single operation that both formats round correctly (a quotient, a square
// root): half a place in double, 2^-12 of one in the extended format, |h - y| < 0.51 places.
constexpr std::int64_t CorrectlyRoundedMargin = 0;

inline bool RoundClearOfMidpoint(double h, std::int64_t margin, double& out) {
  const auto bits = std::bit_cast<std::uint64_t>(h);
  const std::int64_t fromMidpoint = static_cast<std::int64_t>(bits & 0x1fff) - 0x1000;
  if (fromMidpoint >= -margin && fromMidpoint <= margin) return false;
  out = exact::Flushed(std::bit_cast<double>((bits + 0x1000) & ~std::uint64_t{0x1fff}));
  return true;
}

// A quotient or square root h correctly rounded in double lies within half a last place of the
// exact value, and the extended format's within 2^-12 of one: so the plain double decides
// the stored value wherever it is not itself a 40-bit midpoint (RoundClearOfMidpoint with
// margin 0), away from the bottom of the range. PlainRounding gives h's rounding (flushed)
// and sets `decided` where h decides it, without branches, so that loops over many values
// run in vectors; it does not look at the top of the range.
inline double PlainRounding(double h, bool& decided) {
  const auto bits = std::bit_cast<std::uint64_t>(h);
  decided = std::fabs(h) >= 0x1p-1000 && (bits & 0x1fff) != 0x1000;
  return exact::Flushed(std::bit_cast<double>((bits + 0x1000) & ~std::uint64_t{0x1fff}));
}

// The stored value of such an h where h alone decides it (false elsewhere).
inline bool DecidedPlainly(double h, StorageReal& stored) {
  bool decided;
  const double r = PlainRounding(h, decided);
  if (!decided || !(std::fabs(h) <= StorageReal::Largest())) return false;
  if (std::fabs(r) > StorageReal::Largest()) throw FloatingPointOverflow();
  stored = StorageReal::FromRounded(r);
  return true;
}

}  // namespace vardell
