// Fuzzes the text-table reader. Input up to the first four zero bytes is the table; what
// follows them, if anything, is a schema file beside the table. (Four, because UTF-16 text
// is full of single zero bytes.)
#include <string_view>

#include "analysis/tableengine.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t mark = input.find(std::string_view("\0\0\0\0", 4));
  const size_t tableSize = mark == std::string_view::npos ? size : mark;
  const std::string path = vardell::fuzzing::WriteScratch("table.txt", data, tableSize);
  const std::string schema = vardell::fuzzing::ScratchFolder() + "/table.SCH";
  if (mark != std::string_view::npos)
    vardell::fuzzing::WriteScratch("table.SCH", data + mark + 4, size - tableSize - 4);
  else
    std::remove(schema.c_str());
  vardell::DataGrid grid;
  try {
    if (!vardell::ReadTable(path, grid)) vardell::fuzzing::CheckGrid(grid);
  } catch (const vardell::TableEngineError&) {
  }
  return 0;
}
