#include "diagram/scalefield.h"

#include "analysis/numbertext.h"

namespace vardell {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Advances at over a run of digits; false when there is none.
bool SkipDigits(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at > start;
}

void SkipSign(std::string_view text, std::size_t& at) {
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
}

}  // namespace

std::optional<double> ParseScaleField(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  const std::size_t start = at;
  SkipSign(text, at);
  bool digits = SkipDigits(text, at);
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits = SkipDigits(text, at) || digits;
  }
  if (!digits) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    SkipSign(text, at);
    if (!SkipDigits(text, at)) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  return ReadPlainNumber(text.substr(start));
}

}  // namespace vardell
