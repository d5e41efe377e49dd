#pragma once
#include <cstdint>
#include <string>

#include "analysis/storagereal.h"

namespace vardell {

struct CellValue {
  StorageReal Value;
  std::int32_t ErrorPosition = 0;  // 0 on success, else the position (from 1) of the fault
};

// Parses a cell text as a number. A fault inside the text gets one second attempt with the
// offending character read as a decimal point, so "2,5" and "2x5" read 2.5. Throws
// FloatingPointOverflow for a number too large for the storage real.
CellValue ParseCellValue(const std::string& text);

}  // namespace vardell
