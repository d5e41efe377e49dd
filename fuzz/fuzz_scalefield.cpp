// Fuzzes the number syntax of the scale and tick fields: whatever it accepts is finite, and
// the text a scale field shows for an accepted positive value reads back to that value
// within the four decimals shown.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "diagram/scalefield.h"
#include "diagram/treediagram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<double> value = vardell::ParseScaleField(text);
  if (!value) return 0;
  if (!std::isfinite(*value)) std::abort();
  if (*value > 0) {
    const std::optional<double> shown = vardell::ParseScaleField(vardell::FormatScaleField(*value));
    if (!shown || std::fabs(*shown - *value) > 5e-5 + std::fabs(*value) * 1e-15) std::abort();
  }
  return 0;
}
