// Fuzzes the parsing of cell texts into numbers.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "analysis/cellparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const vardell::CellValue value = vardell::ParseCellValue(text);
    // A fault lies inside the text or just after its end.
    if (value.ErrorPosition < 0 || static_cast<size_t>(value.ErrorPosition) > size + 1)
      std::abort();
    // A stored number is never a NaN or an infinity.
    const double stored = value.Value.ToDouble();
    if (stored != stored || stored - stored != 0) std::abort();
  } catch (const vardell::FloatingPointOverflow&) {
  }
  return 0;
}
