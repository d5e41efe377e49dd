#include "analysis/rowcolumnreader.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "analysis/capacities.h"
#include "analysis/regularfile.h"
#include "analysis/tableencoding.h"
#include "analysis/tableengine.h"

namespace vardell {
namespace {

constexpr int EndOfFile = -1;
constexpr unsigned char EndOfFileMark = 26;  // Ctrl-Z ends a DOS text file

UserMessage CorruptFile() { return {IoError, "Data file corrupt."}; }
UserMessage TooLarge() { return {DataParsingError, "Maximum size of data matrix exceeded."}; }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Bytes of a file or of memory, one at a time, ending at the end-of-file mark.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : data_(bytes) {}
  ByteReader(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}

  int Peek() {
    if (ended_) return EndOfFile;
    if (at_ == data_.size() && !Refill()) return EndOfFile;
    const auto b = static_cast<unsigned char>(data_[at_]);
    if (b == EndOfFileMark) {
      ended_ = true;
      return EndOfFile;
    }
    return b;
  }

  int Get() {
    const int b = Peek();
    if (b != EndOfFile) ++at_;
    return b;
  }

  // Notepad starts UTF-8 files with a byte order mark, which is no part of the header. Called
  // before anything is read, when the first read has the file's first bytes.
  void SkipByteOrderMark() {
    Peek();
    if (data_.substr(at_).starts_with("\xEF\xBB\xBF")) at_ += 3;
  }

 private:
  bool Refill() {
    if (file_ == nullptr) return false;
    const std::size_t got = std::fread(buffer_, 1, sizeof buffer_, file_);
    if (got == 0) {
      if (std::ferror(file_))
        throw TableEngineError("Read error in file " + path_ + ": " + std::strerror(errno));
      return false;
    }
    data_ = std::string_view(buffer_, got);
    at_ = 0;
    return true;
  }

  std::string_view data_;
  std::size_t at_ = 0;
  bool ended_ = false;
  std::FILE* file_ = nullptr;
  std::string path_;
  char buffer_[65536];
};

constexpr std::size_t MaxTokenLength = 64;  // longer is no 32-bit number, however padded

bool IsBlank(int b) { return b >= 0 && b <= ' '; }

// One whole decimal number of the header, after any white space; 0 when the file ends first.
bool ReadHeaderNumber(ByteReader& in, long long& value) {
  while (IsBlank(in.Peek())) in.Get();
  value = 0;
  if (in.Peek() == EndOfFile) return true;
  std::string token;
  while (in.Peek() != EndOfFile && !IsBlank(in.Peek())) {
    const int b = in.Get();
    if (token.size() <= MaxTokenLength) token += static_cast<char>(b);
  }
  if (token.size() > MaxTokenLength) return false;
  const char* first = token.data();
  const char* last = first + token.size();
  if (*first == '+' && ++first != last && *first == '-') return false;
  int number = 0;
  const auto [end, error] = std::from_chars(first, last, number);
  if (error != std::errc() || end != last || first == last) return false;
  value = number;
  return true;
}

// Reads up to a carriage return, a line feed or both; true when a line end was read.
bool ReadLine(ByteReader& in, std::string& line) {
  line.clear();
  for (int b = in.Get(); b != EndOfFile; b = in.Get()) {
    if (b == '\n') return true;
    if (b == '\r') {
      if (in.Peek() == '\n') in.Get();
      return true;
    }
    line += static_cast<char>(b);
  }
  return false;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

std::string Cell(std::string_view bytes, bool utf8) {
  return utf8 ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

// Splits one data line into cells [1..columns, row]; false when a value is missing.
bool ReadDataLine(std::string_view raw, int columns, int row, bool utf8, DataGrid& grid) {
  std::string_view line = Trimmed(raw);
  for (int j = 1; j < columns; ++j) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space == 0) return false;
    grid.SetCell(j, row, Cell(line.substr(0, space), utf8));
    line = Trimmed(line.substr(space));
  }
  if (columns >= 1) grid.SetCell(columns, row, Cell(line, utf8));
  return true;
}

std::optional<UserMessage> ReadRowColumn(ByteReader& in, DataGrid& grid) {
  in.SkipByteOrderMark();
  long long rows = 0, columns = 0;
  if (!ReadHeaderNumber(in, rows) || !ReadHeaderNumber(in, columns)) return CorruptFile();
  if (columns > MaxFileColumns || rows > MaxObjects) return TooLarge();
  std::string skipped;
  ReadLine(in, skipped);  // the rest of the header line

  const int rowCount = rows > 0 ? static_cast<int>(rows) : 0;
  const int colCount = columns > 0 ? static_cast<int>(columns) : 0;
  std::vector<std::string> lines(rowCount);
  bool utf8 = true;
  for (auto& line : lines) {
    ReadLine(in, line);  // a line missing at the end reads as an empty line
    utf8 = utf8 && IsValidUtf8(line);
  }

  grid.SetRowCount(rowCount + 1);
  grid.SetColCount(colCount + 1);
  for (int r = 1; r <= rowCount; ++r) {
    if (!ReadDataLine(lines[r - 1], colCount, r, utf8, grid)) return CorruptFile();
    grid.SetCell(0, r, RowNumberText(r));
  }
  for (int j = 1; j <= colCount; ++j) grid.SetCell(j, 0, RowColumnName(j));
  return std::nullopt;
}

std::string RightAligned3(int number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), ' ');
  return digits;
}

}  // namespace

std::string RowColumnName(int column) { return "COLUMN" + RightAligned3(column); }

std::string RowNumberText(int row) { return RightAligned3(row); }

std::optional<UserMessage> ReadRowColumnFile(const std::string& path, DataGrid& grid) {
  std::unique_ptr<std::FILE, FileCloser> file(OpenRegularFile(path));
  if (!file) return CorruptFile();
  auto in = std::make_unique<ByteReader>(file.get(), path);
  return ReadRowColumn(*in, grid);
}

std::optional<UserMessage> ReadRowColumnBytes(std::string_view bytes, DataGrid& grid) {
  ByteReader in(bytes);
  return ReadRowColumn(in, grid);
}

}  // namespace vardell
