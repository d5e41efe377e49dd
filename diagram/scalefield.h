#pragma once
// The number syntax of the results window's scale and tick fields.

#include <optional>
#include <string_view>

namespace vardell {

// Optional leading blanks, an optional sign, digits with an optional "." and fraction digits
// (either part may be missing, not both), an optional exponent; nothing after it. A number
// too large for a double is refused as well.
std::optional<double> ParseScaleField(std::string_view text);

}  // namespace vardell
