#include "analysis/cellparse.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/doubledouble.h"
#include "analysis/tableencoding.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VARDELL_SHUFFLED_READER 1
#include <immintrin.h>
#else
#define VARDELL_SHUFFLED_READER 0
#endif

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
using PlainDecimal = detail::PlainNumber;

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

// Short texts are read whole, in the bytes of two 64-bit integers with the first character
// lowest (on processors that keep integers that way; elsewhere they take the reader above).
constexpr std::uint64_t EveryByte(std::uint8_t byte) { return 0x0101010101010101u * byte; }

std::uint64_t Load8(const char* at) {
  std::uint64_t word = 0;
  std::memcpy(&word, at, 8);
  return word;
}

std::uint64_t Load4(const char* at) {
  std::uint32_t word = 0;
  std::memcpy(&word, at, 4);
  return word;
}

// A short text: its length after the leading spaces, and its bytes from the first, zero
// beyond its end, with a leading sign replaced by '0'.
struct ShortText {
  int Length = 0;
  bool Signed = false, Negative = false;
  std::uint64_t Low = 0, High = 0;
};

// Reads the short texts the readers below take: spaces, then 1 to 16 characters (of a text
// of at most 64, as ReadPlainDecimal wants). With branches on the length only.
inline bool LoadShortText(std::string_view text, ShortText& loaded) {
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end && *at == ' ') ++at;
  const auto length = static_cast<int>(end - at);
  if (text.size() > 64 || length == 0 || length > 16) return false;
  std::uint64_t low = 0, high = 0;
  if (length >= 8) {
    low = Load8(at);
    if (length > 8) high = Load8(end - 8) >> (8 * (16 - length));
  } else if (length >= 4) {
    low = Load4(at) | Load4(end - 4) << (8 * (length - 4));
  } else {
    for (int i = 0; i < length; ++i)
      low |= std::uint64_t{static_cast<unsigned char>(at[i])} << (8 * i);
  }
  const auto first = static_cast<unsigned char>(low);
  loaded.Signed = first == '-' || first == '+';
  loaded.Negative = first == '-';
  loaded.Low = low ^ ((low ^ '0') & 0xFF & (std::uint64_t{0} - loaded.Signed));
  loaded.High = high;
  loaded.Length = length;
  return true;
}

// The lowest `count` bytes set, none for count <= 0, all for count >= 8.
std::uint64_t LowBytes(int count) {
  return count >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * std::max(count, 0))) - 1;
}

// The high bit of every byte of x that is 0, and perhaps of bytes above the lowest such one
// (a borrow runs upwards from it only); so the lowest bit set marks the lowest zero byte.
std::uint64_t ZeroBytes(std::uint64_t x) { return (x - EveryByte(1)) & ~x & EveryByte(0x80); }

// Whether all sixteen bytes are digits. A byte below '0' sets its high bit in x - '0', one
// above '9' in x + 0x46 (or, from 0xBA, in x - '0'); carries and borrows start only at such a
// byte, so the lowest one that is no digit always shows.
bool SixteenDigits(std::uint64_t x, std::uint64_t y) {
  return (((x + EveryByte(0x46)) | (x - EveryByte('0')) | (y + EveryByte(0x46)) |
           (y - EveryByte('0'))) &
          EveryByte(0x80)) == 0;
}

// The number that eight digits write, the first the most significant: pairs, then fours,
// then the eight, each step multiplying the higher part by 10, 100 and 10^4 in place.
std::uint64_t EightDigitsValue(std::uint64_t x) {
  x -= EveryByte('0');
  x = x * 10 + (x >> 8);  // byte 2j: the pair 2j, 2j + 1 (below 100)
  constexpr std::uint64_t pairs = 0x000000FF000000FFu;
  x = (((x & pairs) * (100 + (std::uint64_t{1000000} << 32))) +
       (((x >> 16) & pairs) * (1 + (std::uint64_t{10000} << 32)))) >>
      32;
  return x & 0xFFFFFFFFu;
}

// Reads a short text as ReadPlainDecimal does where it is an optional sign, digits and an
// optional point, with at least one digit, 16 characters at most with a point and 15
// without; no exponent. Such a text has digits below 10^16 and a scale in -15 ... 0. False,
// with number untouched, for every other text. The first point leaves and the bytes before
// it move up by one behind a new '0' (without a point all bytes do), so that the digits stand
// in the bytes below `used`; aligned to the right of 16 bytes filled with '0', they are
// checked and converted eight at a time. A second point stays and fails the check.
bool ReadShortDecimal(const ShortText& text, PlainDecimal& number) {
  std::uint64_t low = text.Low, high = text.High;
  const std::uint64_t lowPoints = ZeroBytes(low ^ EveryByte('.'));
  const std::uint64_t highPoints = ZeroBytes(high ^ EveryByte('.'));
  const int point =  // 16 for none
      std::countr_zero(lowPoints) / 8 + (lowPoints == 0 ? std::countr_zero(highPoints) / 8 : 0);
  const int used = point < 16 ? text.Length : text.Length + 1;
  if (used > 16 || text.Length == int{text.Signed} + int{point < 16}) return false;
  const std::uint64_t lowBefore = low & LowBytes(point);
  high = (high & LowBytes(point - 8)) << 8 | lowBefore >> 56 | (high & ~LowBytes(point - 7));
  low = lowBefore << 8 | (low & ~LowBytes(point + 1)) | '0';
  // Shifted left by 16 - used bytes across both words.
  const int shift = 16 - used;
  const int bits = (8 * shift) & 63;
  const std::uint64_t highShifted = high << bits | (low >> (63 - bits)) >> 1;
  high = shift >= 8 ? low << bits : highShifted;
  low = shift >= 8 ? 0 : low << bits;
  low |= EveryByte('0') & LowBytes(shift);
  high |= EveryByte('0') & LowBytes(shift - 8);
  if (!SixteenDigits(low, high)) return false;
  number.Negative = text.Negative;
  number.Digits = EightDigitsValue(low) * 100000000 + EightDigitsValue(high);
  number.Scale = std::min(point + 1 - text.Length, 0);
  return true;
}

#if VARDELL_SHUFFLED_READER
// ReadShortDecimal with byte shuffles and multiply-adds of 16 bytes at a time, for processors
// that have them (checked once, at start-up); it takes the same texts and gives the same
// numbers. The first point's place and the bytes that are digits come as bit masks; one
// shuffle drops the point and aligns the digits to the right, zeros before them.
__attribute__((target("avx2,bmi,bmi2"))) bool ReadShortDecimalShuffled(const ShortText& text,
                                                                       PlainDecimal& number) {
  const __m128i bytes =
      _mm_set_epi64x(static_cast<long long>(text.High), static_cast<long long>(text.Low));
  const __m128i digits = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  const __m128i nine = _mm_set1_epi8(9);
  const auto isDigit =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(digits, nine), nine)));
  const auto isPoint =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
  const int point = std::countr_zero(isPoint | 0x10000u);  // 16 for none
  const unsigned inText = (1u << text.Length) - 1;
  const int count = point < 16 ? text.Length - 1 : text.Length;  // digits, with a sign's '0'
  if (((isDigit | 1u << point) & inText) != inText || count == int{text.Signed} || count > 15)
    return false;
  // Output byte j takes digit j - (16 - count); digits from the point's place on stand one
  // byte further; a negative place gives 0.
  __m128i from = _mm_add_epi8(_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                              _mm_set1_epi8(static_cast<char>(count - 16)));
  from = _mm_sub_epi8(from, _mm_cmpgt_epi8(from, _mm_set1_epi8(static_cast<char>(point - 1))));
  const __m128i aligned = _mm_shuffle_epi8(digits, from);
  const __m128i pairs = _mm_maddubs_epi16(
      aligned, _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
  const __m128i eights = _mm_madd_epi16(_mm_packus_epi32(fours, fours),
                                        _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
  const auto halves = static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights));
  number.Negative = text.Negative;
  number.Digits = (halves & 0xFFFFFFFFu) * 100000000 + (halves >> 32);
  number.Scale = std::min(point + 1 - text.Length, 0);
  return true;
}
#endif

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

// The stored value of a short text's number (digits below 10^16, scale in -15 ... 0): first
// RoundedQuickly's first decision, without its branches (NearestTenths[0] = 1 is exact, and
// no overflow is in reach), else RoundedQuickly. The decision is taken on the signed value:
// the conversion and the product round symmetrically, and the decision and the rounding look
// at the magnitude's bits alone; 0 stays +0.
inline bool RoundedShort(const PlainDecimal& number, double& rounded) {
  const auto digits = static_cast<std::int64_t>(number.Digits);
  const double near =
      static_cast<double>(number.Negative ? -digits : digits) * NearestTenths[-number.Scale];
  return RoundClearOfMidpoint(near, 8, rounded) || RoundedQuickly(number, rounded);
}

// QuickRounded for a text the short readers do not take.
bool RoundedPlain(std::string_view text, double& rounded) {
  PlainDecimal number;
  if (!ReadPlainDecimal(text, number)) return false;
  if (number.Digits == 0) {
    rounded = 0;
    return true;
  }
  if (number.Scale < -QuickScales || number.Scale > QuickScales) return false;
  return RoundedQuickly(number, rounded);
}

// QuickRoundedRow with the portable short reader.
int RoundedTexts(const std::string_view* texts, int count, double* rounded) {
  for (int k = 0; k < count; ++k) {
    ShortText text;
    PlainDecimal number;
    const bool taken = std::endian::native == std::endian::little &&
                               LoadShortText(texts[k], text) && ReadShortDecimal(text, number)
                           ? RoundedShort(number, rounded[k])
                           : RoundedPlain(texts[k], rounded[k]);
    if (!taken) return k;
  }
  return count;
}

#if VARDELL_SHUFFLED_READER
// One text of QuickRoundedRow with the shuffling reader, compiled for the processors that have
// it. A call per text: inlined into the loop below, the same code ran markedly slower.
__attribute__((target("avx2,bmi,bmi2"), noinline)) bool RoundedTextShuffled(std::string_view text,
                                                                            double& rounded) {
  ShortText loaded;
  PlainDecimal number;
  return LoadShortText(text, loaded) && ReadShortDecimalShuffled(loaded, number)
             ? RoundedShort(number, rounded)
             : RoundedPlain(text, rounded);
}

int RoundedTextsShuffled(const std::string_view* texts, int count, double* rounded) {
  for (int k = 0; k < count; ++k)
    if (!RoundedTextShuffled(texts[k], rounded[k])) return k;
  return count;
}

// Eight short texts at a time, four in each of two 512-bit registers, one in each 128-bit
// lane, for processors with the 512-bit byte, mask and bit-count instructions (checked once,
// at start-up). They take the texts ReadShortDecimal takes, if these have no leading spaces,
// and give the same numbers and, where RoundedShort's first decision settles a text, the same
// stored value; the others go to RoundedTextShuffled one by one.
//
// GCC 12's 512-bit intrinsics start some results from a deliberately undefined register,
// which its uninitialised-use warnings flag once inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define VARDELL_WIDE_TARGET \
  "avx512f,avx512bw,avx512vl,avx512dq,avx512bitalg,avx512vpopcntdq,avx2,bmi,bmi2"

// Eight texts read: text t's digits and the count of its bytes up to its point in 64-bit
// element t; bit t of the masks for text t.
struct EightTexts {
  __m512i Digits;
  __m512i UpToPoint;  // 16 - the digits after the point; 0 without a point, 16 for "5."
  unsigned Taken;     // the texts that are numbers ReadShortDecimal takes, without spaces
  unsigned Negative;  // the texts that start with '-'
};

// The bits of low's lanes, then of high's, as eight 16-bit counts.
__attribute__((target(VARDELL_WIDE_TARGET))) inline __m128i LaneCounts(std::uint64_t low,
                                                                       std::uint64_t high) {
  return _mm_popcnt_epi16(
      _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low)));
}

// Four texts of up to 16 characters, each aligned to the right of its lane, zeros before it;
// a longer text is left empty, which no lane takes. The masked loads read only the texts' own
// bytes. inText: the lanes' bytes that hold characters, 16 bits to a lane.
__attribute__((target(VARDELL_WIDE_TARGET))) inline __m512i LoadFourTexts(
    const std::string_view* texts, std::uint64_t& inText) {
  __m512i bytes = _mm512_setzero_si512();
  inText = 0;
#pragma GCC unroll 4
  for (int q = 0; q < 4; ++q) {
    const std::size_t length = texts[q].size();
    const std::uint64_t mask =
        std::uint64_t{length - 1 < 16 ? (0xFFFF0000u >> length) & 0xFFFFu : 0u} << (16 * q);
    const auto end = reinterpret_cast<std::uintptr_t>(texts[q].data()) + length;
    bytes = _mm512_or_si512(
        bytes, _mm512_maskz_loadu_epi8(mask, reinterpret_cast<const void*>(end - 16 * (q + 1))));
    inText |= mask;
  }
  return bytes;
}

// The digits of four loaded texts, each aligned to the right with zeros before them (a sign
// counts as a 0; the bytes up to the point move up by one, over it), multiplied out in pairs,
// fours and eights as ReadShortDecimalShuffled does: each lane's first eight digits' number
// in its lowest 32 bits, the last eight's in the next. The masks mark the lanes' characters
// that are digits, points, a leading sign or a leading '-'.
struct FourMasks {
  std::uint64_t Digits, Points, Signs, Minus;
};
__attribute__((target(VARDELL_WIDE_TARGET))) inline FourMasks MarkFourTexts(__m512i bytes,
                                                                            std::uint64_t inText) {
  const std::uint64_t first = inText & ~((inText << 1) & 0xFFFEFFFEFFFEFFFEu);
  FourMasks marks;
  marks.Digits =
      _mm512_cmple_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8('0')), _mm512_set1_epi8(9)) &
      inText;
  marks.Points = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('.')) & inText;
  marks.Minus = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('-')) & first;
  marks.Signs = (_mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('+')) & first) | marks.Minus;
  return marks;
}

__attribute__((target(VARDELL_WIDE_TARGET))) inline __m512i FourEights(__m512i bytes,
                                                                       std::uint64_t digits,
                                                                       std::uint64_t upToPoint) {
  const __m512i values = _mm512_maskz_sub_epi8(digits, bytes, _mm512_set1_epi8('0'));
  const __m512i aligned = _mm512_mask_blend_epi8(upToPoint, values, _mm512_bslli_epi128(values, 1));
  const __m512i pairs = _mm512_maddubs_epi16(aligned, _mm512_set1_epi16(0x010A));  // 10, 1
  const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010064));   // 100, 1
  return _mm512_madd_epi16(_mm512_packus_epi32(fours, fours),
                           _mm512_set1_epi32(0x00012710));  // 10^4, 1
}

// The masks' counts, text by text in 16-bit elements, decide which texts are numbers: every
// character a digit, the point or the leading sign, one point at most, at least one digit,
// and at most 15 characters besides the point.
__attribute__((target(VARDELL_WIDE_TARGET))) inline EightTexts ReadEightTexts(
    const std::string_view* texts) {
  std::uint64_t inLow = 0, inHigh = 0;
  const __m512i low = LoadFourTexts(texts, inLow), high = LoadFourTexts(texts + 4, inHigh);
  const FourMasks lowMarks = MarkFourTexts(low, inLow), highMarks = MarkFourTexts(high, inHigh);
  // Each lane's bits from its lowest up to its (last) point.
  __m128i upTo = _mm_set_epi64x(static_cast<long long>(highMarks.Points),
                                static_cast<long long>(lowMarks.Points));
  upTo = _mm_or_si128(upTo, _mm_srli_epi16(upTo, 1));
  upTo = _mm_or_si128(upTo, _mm_srli_epi16(upTo, 2));
  upTo = _mm_or_si128(upTo, _mm_srli_epi16(upTo, 4));
  upTo = _mm_or_si128(upTo, _mm_srli_epi16(upTo, 8));
  const __m512i eights = _mm512_permutex2var_epi64(
      FourEights(low, lowMarks.Digits, static_cast<std::uint64_t>(_mm_cvtsi128_si64(upTo))),
      _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14),
      FourEights(high, highMarks.Digits, static_cast<std::uint64_t>(_mm_extract_epi64(upTo, 1))));
  EightTexts read;
  read.Digits = _mm512_add_epi64(_mm512_mul_epu32(eights, _mm512_set1_epi64(100000000)),
                                 _mm512_srli_epi64(eights, 32));
  read.UpToPoint = _mm512_cvtepu16_epi64(_mm_popcnt_epi16(upTo));
  const __m128i length = LaneCounts(inLow, inHigh),
                digitCount = LaneCounts(lowMarks.Digits, highMarks.Digits),
                pointCount = LaneCounts(lowMarks.Points, highMarks.Points),
                signCount = LaneCounts(lowMarks.Signs, highMarks.Signs), one = _mm_set1_epi16(1);
  read.Taken = _mm_cmpeq_epi16_mask(_mm_add_epi16(_mm_add_epi16(digitCount, pointCount), signCount),
                                    length) &
               _mm_cmple_epu16_mask(pointCount, one) & _mm_cmpge_epu16_mask(digitCount, one) &
               _mm_cmple_epu16_mask(_mm_sub_epi16(length, pointCount), _mm_set1_epi16(15));
  const __m128i minus = _mm_set_epi64x(static_cast<long long>(highMarks.Minus),
                                       static_cast<long long>(lowMarks.Minus));
  read.Negative = _mm_test_epi16_mask(minus, minus);
  return read;
}

// NearestTenths by a text's UpToPoint (modulo 16): 1 without digits after the point, else
// 10^-(16 - UpToPoint).
alignas(64) constexpr double WideTenths[16] = {
    NearestTenths[0],  NearestTenths[15], NearestTenths[14], NearestTenths[13],
    NearestTenths[12], NearestTenths[11], NearestTenths[10], NearestTenths[9],
    NearestTenths[8],  NearestTenths[7],  NearestTenths[6],  NearestTenths[5],
    NearestTenths[4],  NearestTenths[3],  NearestTenths[2],  NearestTenths[1]};

// RoundedShort's first decision for the texts of `wanted` that read took: their stored values
// into rounded[t] for text t, wherever the decision settles them; returns those texts. The
// decision is RoundClearOfMidpoint's, the sign set after the product (RoundedShort sets it
// before: the conversion and the product round symmetrically). Where all eight are wanted,
// all eight places are written in one plain store (a masked one costs several times as much),
// those of the texts not settled with values their caller must write over.
__attribute__((target(VARDELL_WIDE_TARGET))) inline unsigned RoundEightTexts(const EightTexts& read,
                                                                             unsigned wanted,
                                                                             double* rounded) {
  const __m512d tenths = _mm512_permutex2var_pd(_mm512_load_pd(WideTenths), read.UpToPoint,
                                                _mm512_load_pd(WideTenths + 8));
  const __m512i magnitude =
      _mm512_castpd_si512(_mm512_mul_pd(_mm512_cvtepi64_pd(read.Digits), tenths));
  const __m512i bits = _mm512_mask_xor_epi64(magnitude, static_cast<__mmask8>(read.Negative),
                                             magnitude, _mm512_set1_epi64(std::int64_t{1} << 63));
  const __mmask8 clear =
      _mm512_cmpgt_epu64_mask(_mm512_sub_epi64(_mm512_and_si512(bits, _mm512_set1_epi64(0x1fff)),
                                               _mm512_set1_epi64(0x1000 - 8)),
                              _mm512_set1_epi64(16));
  const __m512d nearest = _mm512_castsi512_pd(_mm512_and_si512(
      _mm512_add_epi64(bits, _mm512_set1_epi64(0x1000)), _mm512_set1_epi64(~0x1fffll)));
  const __mmask8 stored = _mm512_cmp_pd_mask(_mm512_abs_pd(nearest),
                                             _mm512_set1_pd(StorageReal::Smallest()), _CMP_GE_OQ);
  const unsigned settled = clear & read.Taken & wanted;
  const __m512d values = _mm512_maskz_mov_pd(stored, nearest);
  if (wanted == 0xFFu)
    _mm512_storeu_pd(rounded, values);
  else
    _mm512_mask_storeu_pd(rounded, static_cast<__mmask8>(settled), values);
  return settled;
}

// QuickRoundedRow eight texts at a time (the last group filled up with its first text), in
// stretches of 64: first each text the wide reader settles, then the others in turn, each
// into its place; where one stops the row, the places after it may hold anything.
__attribute__((target(VARDELL_WIDE_TARGET))) int RoundedTextsWide(const std::string_view* texts,
                                                                  int count, double* rounded) {
  for (int start = 0; start < count; start += 64) {
    const int stretch = std::min(count - start, 64);
    std::uint64_t unsettled = 0;
    int k = 0;
    for (; k + 8 <= stretch; k += 8)
      unsettled |= std::uint64_t{0xFFu & ~RoundEightTexts(ReadEightTexts(texts + start + k), 0xFFu,
                                                          rounded + start + k)}
                   << k;
    if (k < stretch) {
      const int left = stretch - k;
      std::string_view filled[8];
      for (int t = 0; t < 8; ++t) filled[t] = texts[start + k + (t < left ? t : 0)];
      const unsigned wanted = (1u << left) - 1;
      unsettled |= std::uint64_t{wanted & ~RoundEightTexts(ReadEightTexts(filled), wanted,
                                                           rounded + start + k)}
                   << k;
    }
    for (; unsettled != 0; unsettled &= unsettled - 1) {
      const int at = start + std::countr_zero(unsettled);
      if (!RoundedTextShuffled(texts[at], rounded[at])) return at;
    }
  }
  return count;
}

// ReadQuickly's wide reader: the text after its leading spaces, as the other readers skip
// them, in all eight places.
__attribute__((target(VARDELL_WIDE_TARGET))) bool ReadWide(std::string_view text,
                                                           PlainDecimal& number) {
  if (text.size() > 64) return false;
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
  std::string_view eight[8];
  std::fill(eight, eight + 8, text);
  const EightTexts read = ReadEightTexts(eight);
  if (!(read.Taken & 1)) return false;
  const auto upToPoint =
      static_cast<int>(_mm_cvtsi128_si64(_mm512_castsi512_si128(read.UpToPoint)));
  number.Negative = (read.Negative & 1) != 0;
  number.Digits =
      static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_castsi512_si128(read.Digits)));
  number.Scale = upToPoint % 16 == 0 ? 0 : upToPoint - 16;
  return true;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Whether the processor has the shuffles; false (the portable reader) before it is set.
const bool HasShuffles = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("bmi2");
}();

// Whether it also has the 512-bit instructions of the wide reader.
const bool HasWide = [] {
  __builtin_cpu_init();
  return HasShuffles && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vpopcntdq");
}();
#endif

}  // namespace

bool detail::Available(QuickReader reader) {
  switch (reader) {
    case QuickReader::Plain:
    case QuickReader::Short: return true;
#if VARDELL_SHUFFLED_READER
    case QuickReader::ShortShuffled: return HasShuffles;
    case QuickReader::Wide: return HasWide;
#else
    case QuickReader::ShortShuffled:
    case QuickReader::Wide: return false;
#endif
  }
  return false;
}

bool detail::QuickRounded(std::string_view text, double& rounded) {
  return QuickRoundedRow(&text, 1, &rounded) == 1;
}

int detail::QuickRoundedRow(const std::string_view* texts, int count, double* rounded) {
#if VARDELL_SHUFFLED_READER
  // A text or two, such as a single cell, are read sooner one by one.
  if (HasWide && count > 2) return RoundedTextsWide(texts, count, rounded);
  if (HasShuffles) return RoundedTextsShuffled(texts, count, rounded);
#endif
  return RoundedTexts(texts, count, rounded);
}

bool detail::ReadQuickly(QuickReader reader, std::string_view text, PlainNumber& number) {
  ShortText loaded;
  switch (reader) {
    case QuickReader::Plain: return ReadPlainDecimal(text, number);
    case QuickReader::Short:
      return std::endian::native == std::endian::little && LoadShortText(text, loaded) &&
             ReadShortDecimal(loaded, number);
    case QuickReader::ShortShuffled:
#if VARDELL_SHUFFLED_READER
      return HasShuffles && LoadShortText(text, loaded) && ReadShortDecimalShuffled(loaded, number);
    case QuickReader::Wide: return HasWide && ReadWide(text, number);
#else
      return false;
    case QuickReader::Wide: return false;
#endif
  }
  return false;
}

int detail::QuickRoundedRowWith(QuickReader reader, const std::string_view* texts, int count,
                                double* rounded) {
  switch (reader) {
    case QuickReader::Plain:
      for (int k = 0; k < count; ++k)
        if (!RoundedPlain(texts[k], rounded[k])) return k;
      return count;
    case QuickReader::Short: return RoundedTexts(texts, count, rounded);
    case QuickReader::ShortShuffled:
#if VARDELL_SHUFFLED_READER
      if (HasShuffles) return RoundedTextsShuffled(texts, count, rounded);
#endif
      return 0;
    case QuickReader::Wide:
#if VARDELL_SHUFFLED_READER
      if (HasWide) return RoundedTextsWide(texts, count, rounded);
#endif
      return 0;
  }
  return 0;
}

bool QuickCellValue(std::string_view text, StorageReal& stored) {
  double rounded = 0;
  if (!detail::QuickRounded(text, rounded)) return false;
  stored = StorageReal::FromRounded(rounded);
  return true;
}

CellValue ParseCellValueExactly(std::string_view text) { return ParseFully(text); }

}  // namespace vardell
