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

// Every cell of a grid, for comparing a whole grid before and after.
inline std::vector<std::vector<std::string>> AllCells(const DataGrid& grid) {
  std::vector<std::vector<std::string>> cells(grid.ColCount());
  for (int c = 0; c < grid.ColCount(); ++c)
    for (int r = 0; r < grid.RowCount(); ++r) cells[c].push_back(grid.Cell(c, r));
  return cells;
}

}  // namespace vardell::testing
