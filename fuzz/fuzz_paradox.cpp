// Fuzzes the Paradox reader over the bytes of a table file.
#include "analysis/tableengine.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = vardell::fuzzing::WriteScratch("table.db", data, size);
  vardell::DataGrid grid;
  try {
    if (!vardell::ReadTable(path, grid)) vardell::fuzzing::CheckGrid(grid);
  } catch (const vardell::TableEngineError&) {
  }
  return 0;
}
