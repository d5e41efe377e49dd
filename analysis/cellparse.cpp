#include "analysis/cellparse.h"

#include <cctype>
#include <cstdlib>

namespace vardell {
namespace {

struct ParseOutcome {
  long double Value = 0;
  std::int32_t ErrorPosition = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One pass of the number syntax over the whole text: leading spaces, an optional sign,
// digits, an optional point with digits, an optional exponent with at least one digit.
ParseOutcome ParseOnce(const std::string& text) {
  const std::size_t length = text.size();
  const auto endOfText = [&] { return ParseOutcome{0, static_cast<std::int32_t>(length + 1)}; };
  const auto faultAt = [](std::size_t index) {
    return ParseOutcome{0, static_cast<std::int32_t>(index + 1)};
  };
  std::size_t at = 0;
  while (at < length && text[at] == ' ') ++at;
  std::string canonical;
  if (at < length && (text[at] == '+' || text[at] == '-')) {
    if (text[at] == '-') canonical += '-';
    ++at;
  }
  if (at == length) return endOfText();  // nothing after the spaces and the sign
  std::string digits;
  while (at < length && IsDigit(text[at])) digits += text[at++];
  std::string fraction;
  if (at < length && text[at] == '.') {
    ++at;
    while (at < length && IsDigit(text[at])) fraction += text[at++];
  }
  std::string exponent;
  if (at < length && (text[at] == 'E' || text[at] == 'e')) {
    ++at;
    if (at < length && (text[at] == '+' || text[at] == '-')) exponent += text[at++];
    if (at == length) return endOfText();
    if (!IsDigit(text[at])) return faultAt(at);
    while (at < length && IsDigit(text[at])) exponent += text[at++];
  }
  if (at < length) return faultAt(at);
  canonical += digits.empty() ? "0" : digits;
  if (!fraction.empty()) canonical += "." + fraction;
  if (!exponent.empty()) canonical += "e" + exponent;
  return ParseOutcome{std::strtold(canonical.c_str(), nullptr), 0};
}

}  // namespace

CellValue ParseCellValue(const std::string& text) {
  ParseOutcome outcome = ParseOnce(text);
  if (outcome.ErrorPosition > 0 && outcome.ErrorPosition <= static_cast<std::int32_t>(text.size())) {
    // One stray character inside the text is taken for the decimal point.
    std::string second = text;
    second[outcome.ErrorPosition - 1] = '.';
    outcome = ParseOnce(second);
  }
  if (outcome.ErrorPosition != 0) return CellValue{StorageReal(), outcome.ErrorPosition};
  return CellValue{StorageReal(outcome.Value), 0};
}

}  // namespace vardell
