#pragma once
// Helpers shared by the fuzz targets: a scratch folder for the files the table readers open,
// and the checks every successful read must pass.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "analysis/capacities.h"
#include "analysis/datagrid.h"
#include "analysis/tableencoding.h"

namespace vardell::fuzzing {

inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/vardell-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return folder;
}

inline std::string WriteScratch(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = ScratchFolder() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

// A loaded grid stays within the capacities and holds UTF-8 only.
inline void CheckGrid(const DataGrid& grid) {
  if (grid.RowCount() < 1 || grid.RowCount() > MaxObjects + 1) std::abort();
  if (grid.ColCount() < 1 || grid.ColCount() > MaxFileColumns + 1) std::abort();
  for (int c = 0; c < grid.ColCount(); ++c)
    for (int r = 0; r < grid.RowCount(); ++r)
      if (!IsValidUtf8(grid.Cell(c, r))) std::abort();
}

// Takes values from the front of the fuzzer's bytes; zeros once they run out.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return size_ == 0; }
  uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  // A number from 0 to count - 1.
  int Below(int count) { return count <= 1 ? 0 : Byte() % count; }
  bool Flag() { return Byte() & 1; }
  double Double() {
    double value = 0;
    uint8_t raw[sizeof value] = {};
    for (uint8_t& b : raw) b = Byte();
    std::memcpy(&value, raw, sizeof value);
    return value;
  }
  // Up to maxLength bytes, the length taken first.
  std::string Text(int maxLength) {
    std::string text;
    for (int n = Below(maxLength + 1); n > 0 && size_ > 0; --n) text += static_cast<char>(Byte());
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace vardell::fuzzing
