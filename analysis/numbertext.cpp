#include "analysis/numbertext.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace vardell {
namespace {

template <typename Number, typename... Format>
std::string CharsOf(Number value, Format... format) {
  char buffer[400];  // the fixed form of the largest double needs about 315 characters
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string FixedText(double value, int width, int decimals) {
  std::string text = CharsOf(value, std::chars_format::fixed, decimals);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

std::string GeneralText(double value, int digits) {
  return CharsOf(value, std::chars_format::general, digits);
}

std::optional<double> ReadPlainNumber(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
    text.remove_prefix(1);  // from_chars takes no plus sign
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;  // "inf" and "nan" are no numbers here
  return value;
}

}  // namespace vardell
