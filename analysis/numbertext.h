#pragma once
// Numbers as text in the plain form with a full stop, whatever the desktop's locale: the
// C library's printf and strtod follow the locale's decimal comma, these never do.

#include <optional>
#include <string>
#include <string_view>

namespace vardell {

// value with `decimals` digits after the point, right-aligned in at least `width`
// characters: what printf's "%width.decimalsf" gives in the C locale.
std::string FixedText(double value, int width, int decimals);

// value with `digits` significant digits: what printf's "%.digitsg" gives in the C locale.
std::string GeneralText(double value, int digits);

// The whole of text as a decimal number ("12.5", "-.5", "+3e2"), or nothing when it is not one
// or lies outside the range of double.
std::optional<double> ReadPlainNumber(std::string_view text);

}  // namespace vardell
