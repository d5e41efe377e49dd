#include "analysis/cellparse.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "analysis/tableencoding.h"

namespace vardell {
namespace {

struct ParseOutcome {
  long double Value = 0;
  std::int32_t ErrorPosition = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that long double holds exactly (5^27 < 2^64).
constexpr int ExactPowers = 27;
long double PowerOfTen(int k) {
  static const auto table = [] {
    struct Table {
      long double p[ExactPowers + 1];
    } t{};
    t.p[0] = 1;
    for (int i = 1; i <= ExactPowers; ++i) t.p[i] = t.p[i - 1] * 10;
    return t;
  }();
  return table.p[k];
}

// The decimal exponent of the leading digit, for a number beyond long double's range: only
// its sign matters then. The exponent's own digits are read up to a bound.
long LeadingExponent(std::string_view digits, std::string_view fraction, long exponentValue) {
  const std::size_t integral = digits.find_first_not_of('0');
  if (integral != std::string_view::npos)
    return exponentValue + static_cast<long>(digits.size() - integral) - 1;
  const std::size_t first = fraction.find_first_not_of('0');
  return exponentValue - static_cast<long>(first == std::string_view::npos ? 0 : first) - 1;
}

long BoundedExponent(std::string_view exponent) {
  long value = 0;
  bool negative = false;
  for (char c : exponent) {
    if (c == '-') negative = true;
    if (IsDigit(c) && value < 1000000000L) value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

// The value of a canonical number text (digits, point, "e", no plus sign) rounded once to
// long double, without the locale's decimal comma; beyond the range, infinity or zero.
long double ConvertedLongDouble(const std::string& canonical, bool negative,
                                std::string_view digits, std::string_view fraction,
                                std::string_view exponent) {
  long double value = 0;
  const auto result = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
  if (result.ec != std::errc::result_out_of_range) return value;
  const bool huge = LeadingExponent(digits, fraction, BoundedExponent(exponent)) > 0;
  const long double magnitude = huge ? std::numeric_limits<long double>::infinity() : 0;
  return negative ? -magnitude : magnitude;
}

// The value of sign, digits, fraction and exponent, rounded once to long double. Up to 19
// significant digits and a decimal exponent within 10^27 come from one multiplication or
// division of exact operands, which rounds exactly as a full conversion does; the rest goes
// to the full conversion.
long double ValueOf(bool negative, std::string_view digits, std::string_view fraction,
                    std::string_view exponent) {
  std::uint64_t mantissa = 0;
  int significant = 0;
  bool fits = true;
  for (std::string_view part : {digits, fraction}) {
    for (char c : part) {
      if (significant > 0 || c != '0') ++significant;
      if (significant > 19) fits = false;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    }
  }
  long exponentValue = 0;
  if (fits && exponent.size() < 6) {
    std::size_t at = 0;
    bool exponentNegative = false;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-'))
      exponentNegative = exponent[at++] == '-';
    for (; at < exponent.size(); ++at) exponentValue = exponentValue * 10 + (exponent[at] - '0');
    if (exponentNegative) exponentValue = -exponentValue;
  } else {
    fits = false;
  }
  const long scale = exponentValue - static_cast<long>(fraction.size());
  if (fits && scale >= -ExactPowers && scale <= ExactPowers) {
    const long double m = static_cast<long double>(mantissa);
    const long double v = scale >= 0 ? m * PowerOfTen(static_cast<int>(scale))
                                     : m / PowerOfTen(static_cast<int>(-scale));
    return negative ? -v : v;
  }
  // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) about "." + std::string(...).
  std::string canonical;
  canonical.reserve(digits.size() + fraction.size() + exponent.size() + 4);
  if (negative) canonical += '-';
  canonical.append(digits.empty() ? std::string_view("0") : digits);
  if (!fraction.empty()) canonical.append(1, '.').append(fraction);
  if (!exponent.empty()) canonical.append(1, 'e').append(exponent);
  return ConvertedLongDouble(canonical, negative, digits, fraction, exponent);
}

// One pass of the number syntax over the whole text: leading spaces, an optional sign,
// digits, an optional point with digits, an optional exponent with at least one digit.
ParseOutcome ParseOnce(std::string_view text) {
  const std::size_t length = text.size();
  const auto endOfText = [&] { return ParseOutcome{0, static_cast<std::int32_t>(length + 1)}; };
  const auto faultAt = [](std::size_t index) {
    return ParseOutcome{0, static_cast<std::int32_t>(index + 1)};
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

}  // namespace

CellValue ParseCellValue(const std::string& text) {
  ParseOutcome outcome = ParseOnce(text);
  if (outcome.ErrorPosition > 0 && outcome.ErrorPosition <= static_cast<std::int32_t>(text.size())) {
    // One stray character inside the text is taken for the decimal point; cells hold UTF-8,
    // so a character such as "°" or a no-break space is one sequence of bytes.
    const std::size_t at = static_cast<std::size_t>(outcome.ErrorPosition - 1);
    const std::size_t length = std::max<std::size_t>(Utf8SequenceLength(text, at), 1);
    std::string second = text;
    second.replace(at, length, ".");
    outcome = ParseOnce(second);
  }
  if (outcome.ErrorPosition != 0) return CellValue{StorageReal(), outcome.ErrorPosition};
  return CellValue{StorageReal(outcome.Value), 0};
}

}  // namespace vardell
