// Fuzzes the text-table reader. Input up to the first zero byte is the table; what follows
// it, if anything, is a schema file beside the table.
#include <cstring>

#include "analysis/tableengine.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t tableSize = zero ? static_cast<size_t>(zero - data) : size;
  const std::string path = vardell::fuzzing::WriteScratch("table.txt", data, tableSize);
  const std::string schema = vardell::fuzzing::ScratchFolder() + "/table.SCH";
  if (zero)
    vardell::fuzzing::WriteScratch("table.SCH", zero + 1, size - tableSize - 1);
  else
    std::remove(schema.c_str());
  vardell::DataGrid grid;
  try {
    if (!vardell::ReadTable(path, grid)) vardell::fuzzing::CheckGrid(grid);
  } catch (const vardell::TableEngineError&) {
  }
  return 0;
}
