#pragma once
// The loading tests' scratch folder, removed with everything in it at the end, and the
// messages a refused load gives.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/datagrid.h"
#include "analysis/usermessage.h"

namespace vardell::testing {

inline const UserMessage Corrupt{"I/O ERROR", "Data file corrupt."};
inline const UserMessage TooLarge{"DATA PARSING ERROR", "Maximum size of data matrix exceeded."};

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vardell-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_, ignored_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories((path_ / name).parent_path());
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return Path(name);
  }

 private:
  std::filesystem::path path_;
  std::error_code ignored_;
};

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  while (times-- > 0) out += text;
  return out;
}

using Rows = std::vector<std::vector<std::string>>;

// The rows of a grid from the given one on, without the row numbers; row 0 holds the names.
inline Rows GridRows(const DataGrid& grid, int from = 0) {
  Rows rows;
  for (int r = from; r < grid.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 1; c < grid.ColCount(); ++c) rows.back().push_back(grid.Cell(c, r));
  }
  return rows;
}

// A number right-aligned in three characters, as row numbers and column names show it.
inline std::string RightAligned(int number) {
  const std::string digits = std::to_string(number);
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits;
}

// Every cell of a grid, for comparing a whole grid before and after.
inline std::vector<std::vector<std::string>> AllCells(const DataGrid& grid) {
  std::vector<std::vector<std::string>> cells(grid.ColCount());
  for (int c = 0; c < grid.ColCount(); ++c)
    for (int r = 0; r < grid.RowCount(); ++r) cells[c].push_back(grid.Cell(c, r));
  return cells;
}

}  // namespace vardell::testing
