// Fuzzes the row-column reader over the bytes of a file.
#include <string_view>

#include "analysis/rowcolumnreader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vardell::DataGrid grid;
  const auto message = vardell::ReadRowColumnBytes(
      std::string_view(reinterpret_cast<const char*>(data), size), grid);
  if (!message) vardell::fuzzing::CheckGrid(grid);
  return 0;
}
