#include "analysis/cellparse.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/doubledouble.h"
#include "analysis/tableencoding.h"

namespace vardell {
namespace {

struct ParseOutcome {
  Extended Value;
  std::int32_t ErrorPosition = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that the extended format holds exactly (10^k = 5^k 2^k and 5^27 < 2^64).
constexpr int ExactPowers = 27;
Extended PowerOfTen(int k) {
  std::uint64_t five = 1;
  for (int i = 0; i < k; ++i) five *= 5;
  return Extended::FromParts(false, five, k);
}

// Non-negative integers of any size, in 32-bit limbs from the lowest; just what an exact
// decimal conversion needs.
using Big = std::vector<std::uint32_t>;

void MultiplyAdd(Big& x, std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (auto& limb : x) {
    const std::uint64_t v = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(v);
    carry = v >> 32;
  }
  if (carry) x.push_back(static_cast<std::uint32_t>(carry));
}

void Trim(Big& x) {
  while (!x.empty() && x.back() == 0) x.pop_back();
}

int BitLength(const Big& x) {  // x trimmed
  return x.empty() ? 0 : 32 * static_cast<int>(x.size()) - std::countl_zero(x.back());
}

bool BitAt(const Big& x, int bit) {
  return bit >= 0 && bit / 32 < static_cast<int>(x.size()) && ((x[bit / 32] >> (bit % 32)) & 1);
}

Big ShiftedLeft(const Big& x, int n) {
  Big r(n / 32, 0);
  std::uint32_t carry = 0;
  for (std::uint32_t limb : x) {
    r.push_back(n % 32 ? (limb << (n % 32)) | carry : limb);
    carry = n % 32 ? limb >> (32 - n % 32) : 0;
  }
  r.push_back(carry);
  Trim(r);
  return r;
}

bool LessThan(const Big& a, const Big& b) {  // both trimmed
  if (a.size() != b.size()) return a.size() < b.size();
  for (std::size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i];
  return false;
}

void SubtractFrom(Big& a, const Big& b) {  // a >= b
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::int64_t v = std::int64_t{a[i]} - borrow - (i < b.size() ? std::int64_t{b[i]} : 0);
    borrow = v < 0;
    a[i] = static_cast<std::uint32_t>(v + (borrow << 32));
  }
  Trim(a);
}

// x * 2^exponent (x trimmed, not 0), plus something strictly between 0 and 1 unit of x's
// last place if sticky, rounded to nearest even on 64 bits.
Extended RoundBig(bool negative, const Big& x, int exponent, bool sticky) {
  const int length = BitLength(x);
  const int drop = std::max(0, length - 64);
  std::uint64_t top = 0;
  for (int bit = length - 1; bit >= drop; --bit) top = (top << 1) | BitAt(x, bit);
  if (drop > 0) {
    const bool half = BitAt(x, drop - 1);
    for (int bit = 0; bit < drop - 1 && !sticky; ++bit) sticky = BitAt(x, bit);
    if (half && (sticky || (top & 1)) && ++top == 0)
      return Extended::FromParts(negative, 1, exponent + length);
  }
  return Extended::FromParts(negative, top, exponent + drop);
}

// The exact value of digits * 10^scale (digits without a sign, not all zeros), rounded once
// to the extended format, as a correctly rounding strtold would give it.
Extended ExactDecimal(bool negative, std::string_view digits, long scale) {
  Big n;
  for (char c : digits) MultiplyAdd(n, 10, static_cast<std::uint32_t>(c - '0'));
  Trim(n);
  if (scale >= 0) {
    for (long i = 0; i < scale; ++i) MultiplyAdd(n, 10, 0);
    return RoundBig(negative, n, 0, false);
  }
  Big d{1};
  for (long i = 0; i < -scale; ++i) MultiplyAdd(d, 10, 0);
  // q = floor(n 2^k / d) with at least 66 bits, by long division one bit at a time.
  const int k = std::max(0, BitLength(d) - BitLength(n) + 66);
  Big rest = ShiftedLeft(n, k), q;
  for (int bit = BitLength(rest) - BitLength(d); bit >= 0; --bit) {
    const Big shifted = ShiftedLeft(d, bit);
    if (LessThan(rest, shifted)) continue;
    SubtractFrom(rest, shifted);
    if (q.size() <= static_cast<std::size_t>(bit / 32)) q.resize(bit / 32 + 1, 0);
    q[bit / 32] |= std::uint32_t{1} << (bit % 32);
  }
  Trim(q);
  return RoundBig(negative, q, -k, !rest.empty());
}

// The value of sign, digits, fraction and exponent, rounded once to the extended format. Up
// to 19 significant digits and a decimal exponent within 10^27 come from one multiplication
// or division of exact operands; the rest from an exact conversion with big integers.
Extended ValueOf(bool negative, std::string_view digits, std::string_view fraction,
                 std::string_view exponent) {
  std::uint64_t mantissa = 0;
  int significant = 0;
  bool fits = true;
  std::string all;
  for (std::string_view part : {digits, fraction}) {
    for (char c : part) {
      if (significant > 0 || c != '0') {
        ++significant;
        all += c;
      }
      if (significant > 19) fits = false;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    }
  }
  if (significant == 0) return Extended{};
  long exponentValue = 0;
  std::size_t at = 0;
  bool exponentNegative = false;
  if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-'))
    exponentNegative = exponent[at++] == '-';
  for (; at < exponent.size(); ++at)  // saturated: far beyond any value the format holds
    exponentValue = std::min(exponentValue * 10 + (exponent[at] - '0'), 100000000L);
  if (exponentNegative) exponentValue = -exponentValue;
  const long scale = exponentValue - static_cast<long>(fraction.size());
  if (fits && scale >= -ExactPowers && scale <= ExactPowers) {
    const Extended m = Extended::FromParts(negative, mantissa, 0);
    return scale >= 0 ? Multiply(m, PowerOfTen(static_cast<int>(scale)))
                      : Divide(m, PowerOfTen(static_cast<int>(-scale)));
  }
  // The value lies in [10^(order - 1), 10^order): beyond 10^40 it overflows the storage
  // real whatever its rounding, below 10^-60 it is stored as 0.
  const long order = significant + scale;
  if (order > 40) return Extended::FromParts(negative, 1, 200);
  if (order < -60) return Extended{};
  // Trailing zeros of the digits move into the scale.
  long trailing = 0;
  while (all.size() > 1 && all.back() == '0') {
    all.pop_back();
    ++trailing;
  }
  return ExactDecimal(negative, all, scale + trailing);
}

// One pass of the number syntax over the whole text: leading spaces, an optional sign,
// digits, an optional point with digits, an optional exponent with at least one digit.
ParseOutcome ParseOnce(std::string_view text) {
  const std::size_t length = text.size();
  const auto endOfText = [&] {
    return ParseOutcome{Extended{}, static_cast<std::int32_t>(length + 1)};
  };
  const auto faultAt = [](std::size_t index) {
    return ParseOutcome{Extended{}, static_cast<std::int32_t>(index + 1)};
  };
  const auto digitsFrom = [&](std::size_t& at) {
    const std::size_t start = at;
    while (at < length && IsDigit(text[at])) ++at;
    return text.substr(start, at - start);
  };
  std::size_t at = 0;
  while (at < length && text[at] == ' ') ++at;
  bool negative = false;
  if (at < length && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == length) return endOfText();  // nothing after the spaces and the sign
  const std::string_view digits = digitsFrom(at);
  std::string_view fraction;
  if (at < length && text[at] == '.') {
    ++at;
    fraction = digitsFrom(at);
  }
  std::string_view exponent;
  if (at < length && (text[at] == 'E' || text[at] == 'e')) {
    const std::size_t start = ++at;
    if (at < length && (text[at] == '+' || text[at] == '-')) ++at;
    if (at == length) return endOfText();
    if (!IsDigit(text[at])) return faultAt(at);
    digitsFrom(at);
    exponent = text.substr(start, at - start);
  }
  if (at < length) return faultAt(at);
  return ParseOutcome{ValueOf(negative, digits, fraction, exponent), 0};
}

// The digits of a plain decimal number as an integer and its decimal scale.
struct PlainDecimal {
  bool Negative = false;
  std::uint64_t Digits = 0;  // below 10^19
  int Scale = 0;
};

// Appends the digits from at to number, as long as they last, and returns where they end.
// Beyond 19 digits the number wraps around; the caller then leaves the text.
const char* ReadDigits(const char* at, const char* end, std::uint64_t& number) {
  for (; at != end; ++at) {
    const unsigned digit = static_cast<unsigned char>(*at) - unsigned{'0'};
    if (digit > 9) break;
    number = number * 10 + digit;
  }
  return at;
}

const char* SkipZeros(const char* at, const char* end) {
  while (at != end && *at == '0') ++at;
  return at;
}

// Reads text when it is a plain decimal number the quick path takes, in the syntax ParseOnce
// reads it with; false for anything else, which then takes the full parse.
bool ReadPlainDecimal(std::string_view text, PlainDecimal& number) {
  if (text.size() > 64) return false;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end && *at == ' ') ++at;
  if (at != end && (*at == '+' || *at == '-')) number.Negative = *at++ == '-';
  // Leading zeros, also those after the point, are no significant digits.
  const char* const start = at;
  const char* digits = SkipZeros(at, end);
  at = ReadDigits(digits, end, number.Digits);
  std::ptrdiff_t significant = at - digits, digitCount = at - start, fractionDigits = 0;
  if (at != end && *at == '.') {
    const char* const fraction = ++at;
    if (number.Digits == 0) at = SkipZeros(at, end);
    digits = at;
    at = ReadDigits(at, end, number.Digits);
    significant += at - digits;
    fractionDigits = at - fraction;
    digitCount += fractionDigits;
  }
  if (digitCount == 0) return false;  // "", ".", "E5": left to the full parse
  if (significant > 19) return false;
  int exponent = 0;
  if (at != end) {
    if (*at != 'E' && *at != 'e') return false;
    ++at;
    bool negative = false;
    if (at != end && (*at == '+' || *at == '-')) negative = *at++ == '-';
    if (at == end || end - at > 4) return false;
    for (; at != end; ++at) {
      const unsigned digit = static_cast<unsigned char>(*at) - unsigned{'0'};
      if (digit > 9) return false;
      exponent = exponent * 10 + static_cast<int>(digit);
    }
    if (negative) exponent = -exponent;
  }
  number.Scale = exponent - static_cast<int>(fractionDigits);
  return true;
}

// Powers of ten that doubles hold exactly (10^k = 5^k 2^k and 5^22 < 2^53), and the doubles
// nearest to their reciprocals.
constexpr int QuickScales = 22;
constexpr double ExactTens[QuickScales + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr double NearestTenths[QuickScales + 1] = {
    1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
    1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

// The stored value of x = m * 10^s (0 < m < 10^19, |s| <= 22), which the full parse stores as
// the 40-bit rounding (ties away from zero) of x rounded to 64 bits (nearest even): first from
// a plain double near x, where that lies far enough from a 40-bit midpoint, else from a
// double-double, where that does.
//
// Error bounds. m rounded to a double, mh, errs by at most 2^-53 m (nothing below 2^53);
// P = 10^|s| is exact, and R = 1/P rounded errs by at most 2^-53 R. Each rounding below errs by
// at most 2^-53 of its result. The 64-bit rounding of x, X, lies within 2^-64 x of x.
//
// The double: h = mh P or mh R rounded lies within 3 * 2^-53 (1 + 2^-52) x < 2^-51 x of x. With
// 2^E <= h < 2^(E + 1) and u = 2^(E - 52) the unit in h's last place, |X - h| < 2^-51 x +
// 2^-64 x < 2^(E - 50) (1 + 2^-12) < 5 u. h's 13 bits below the 40 kept ones, as a multiple
// of u, say how far h lies from the 40-bit midpoint of its binade (at 2^12 u); the midpoints
// of the neighbouring binades lie 2^11 u or more beyond its ends. So where those bits differ
// from 2^12 by more than 8, X lies on h's side of every midpoint and not on one, and rounds
// as h does.
//
// The double-double. m splits exactly into mh and the integer ml = m - mh, |ml| <= 2^10 <=
// 2^-53 mh.
//   s >= 0, x = mh P + ml P: h = mh P rounded and e = mh P - h exactly (Dekker's product),
//     l = e + ml P. |e| <= 2^-53 x and |ml P| <= 2^-52 x: the product ml P and the sum round
//     once each, by at most 2^-105 x and 2^-104 x, so |x - (h + l)| <= 2^-103 x.
//   s < 0, x = m / P: q = mh R rounded lies within 2^-51 of mh / P, and q P = p + e exactly;
//     p lies within a factor 1 + 2^-50 of mh, so mh - p is exact. The remainder
//     m - q P = ((mh - p) - e) + ml has terms of at most 2^-49 m, so its two roundings err by
//     at most 2^-101 m; l = remainder * R rounded adds at most 2^-52 of l, itself at most
//     2^-48 x: |x - (q + l)| <= 2^-99 x.
// So X lies within 2^-64 x + 2^-99 x < 2^-63 |h| of h + l (x <= 2 |h|). RoundDoubleDouble with
// a margin of 2^-62 |h| decides only where every value that near h + l rounds to the same
// 40-bit number (its own rounding of the rest of h against the 40-bit unit errs by at most
// 2^-53 of that unit, 2^-92 |h|, far inside the margin); that includes X, so the result is the
// full parse's. Exact 40-bit midpoints and values within the margin of one are left to the
// full parse.
bool RoundedQuickly(const PlainDecimal& number, double& rounded) {
  const double mh = static_cast<double>(number.Digits);
  const double near =
      number.Scale >= 0 ? mh * ExactTens[number.Scale] : mh * NearestTenths[-number.Scale];
  if (RoundClearOfMidpoint(near, 8, rounded)) {  // more than 8 units from the midpoint
    if (rounded > StorageReal::Largest()) throw FloatingPointOverflow();
    if (number.Negative) rounded = -rounded;
    return true;
  }
  const double ml = static_cast<double>(
      static_cast<std::int64_t>(number.Digits - static_cast<std::uint64_t>(mh)));
  double h = 0, l = 0;
  if (number.Scale >= 0) {
    const double power = ExactTens[number.Scale];
    h = mh * power;
    l = exact::ProductError(mh, power, h) + ml * power;
  } else {
    const double power = ExactTens[-number.Scale], reciprocal = NearestTenths[-number.Scale];
    h = mh * reciprocal;
    const double p = h * power;
    l = (((mh - p) - exact::ProductError(h, power, p)) + ml) * reciprocal;
  }
  // h + l normalized, so that |l| is at most half a unit in h's last place (|l| < |h|).
  const double sum = h + l;
  l -= sum - h;
  h = sum;
  if (!exact::RoundDoubleDouble(h, l, h * 0x1p-62, rounded)) return false;
  // x >= 10^-22 lies far above the storage real's smallest magnitude.
  if (rounded > StorageReal::Largest()) throw FloatingPointOverflow();
  if (number.Negative) rounded = -rounded;
  return true;
}

CellValue ParseFully(std::string_view text) {
  ParseOutcome outcome = ParseOnce(text);
  if (outcome.ErrorPosition > 0 &&
      outcome.ErrorPosition <= static_cast<std::int32_t>(text.size())) {
    // One stray character inside the text is taken for the decimal point; cells hold UTF-8,
    // so a character such as "°" or a no-break space is one sequence of bytes.
    const std::size_t at = static_cast<std::size_t>(outcome.ErrorPosition - 1);
    const std::size_t length = std::max<std::size_t>(Utf8SequenceLength(text, at), 1);
    std::string second(text.substr(0, at));
    second += '.';
    second += text.substr(std::min(at + length, text.size()));
    outcome = ParseOnce(second);
  }
  if (outcome.ErrorPosition != 0) return CellValue{StorageReal(), outcome.ErrorPosition};
  return CellValue{StorageReal(outcome.Value), 0};
}

}  // namespace

bool detail::QuickRounded(std::string_view text, double& rounded) {
  PlainDecimal number;
  if (!ReadPlainDecimal(text, number)) return false;
  if (number.Digits == 0) {
    rounded = 0;
    return true;
  }
  if (number.Scale < -QuickScales || number.Scale > QuickScales) return false;
  return RoundedQuickly(number, rounded);
}

bool QuickCellValue(std::string_view text, StorageReal& stored) {
  double rounded = 0;
  if (!detail::QuickRounded(text, rounded)) return false;
  stored = StorageReal::FromRounded(rounded);
  return true;
}

CellValue ParseCellValueExactly(std::string_view text) { return ParseFully(text); }

}  // namespace vardell
