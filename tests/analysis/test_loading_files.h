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

// The rows of a grid from the given one on, from column 1 (past the row numbers) unless told;
// row 0 holds the names. GridRows(grid, 0, 0) is every cell.
inline Rows GridRows(const DataGrid& grid, int fromRow = 0, int fromColumn = 1) {
  Rows rows;
  for (int r = fromRow; r < grid.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = fromColumn; c < grid.ColCount(); ++c) rows.back().push_back(grid.Cell(c, r));
  }
  return rows;
}

// A number right-aligned in three characters, as row numbers and column names show it.
inline std::string RightAligned(int number) {
  const std::string digits = std::to_string(number);
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits;
}

}  // namespace vardell::testing
