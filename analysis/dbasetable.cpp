#include "analysis/dbasetable.h"

#include <shapefil.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include "analysis/capacities.h"
#include "analysis/regularfile.h"
#include "analysis/tableencoding.h"

namespace vardell {
namespace {

// shapelib's hooks carry no user data; the path being opened and the library's last message
// live here for the length of one call on this thread.
thread_local const std::string* openingPath = nullptr;
thread_local std::string lastError;

void RecordError(const char* message) { lastError = message ? message : ""; }

// shapelib builds the names it opens from the base name with ".dbf" or ".DBF"; the table is
// opened under its own name instead, whatever the case of its extension, and the code page
// file beside it under the base name of that.
SAFile OpenExactly(const char* name, const char* access) {
  std::filesystem::path target = name;
  if (openingPath != nullptr) {
    if (strcasecmp(target.extension().c_str(), ".cpg") == 0)
      target = std::filesystem::path(*openingPath).replace_extension(target.extension());
    else
      target = *openingPath;
  }
  const bool reading = std::string(access) == "rb" || std::string(access) == "r";
  return reinterpret_cast<SAFile>(reading ? OpenRegularFile(target)
                                          : std::fopen(target.c_str(), access));
}

std::string ErrorText(const std::string& path, const std::string& what) {
  std::string text = "Cannot read dBase table " + path;
  if (!lastError.empty()) return text + ": " + lastError;
  return text + ": " + what;
}

// The code page a dBase file names in its language driver byte, if any.
std::string LanguageDriverCodePage(int driver) {
  switch (driver) {
    case 0x01: return "437";
    case 0x02: return "850";
    case 0x03: return "1252";
    case 0x57: return "1252";
    case 0x58: return "1252";
    case 0x59: return "1252";
    case 0x64: return "852";
    case 0x65: return "866";
    case 0x66: return "865";
    case 0x67: return "861";
    case 0x6A: return "737";
    case 0x6B: return "857";
    case 0x78: return "950";
    case 0x79: return "949";
    case 0x7A: return "936";
    case 0x7B: return "932";
    case 0x7C: return "874";
    case 0x7D: return "1255";
    case 0x7E: return "1256";
    case 0xC8: return "1250";
    case 0xC9: return "1251";
    case 0xCA: return "1254";
    case 0xCB: return "1253";
    case 0xCC: return "1257";
    default: return "";
  }
}

std::string NamedCodePage(DBFHandle handle) {
  const char* named = DBFGetCodePage(handle);
  if (named == nullptr) return "";
  const std::string page = named;
  if (page.rfind("LDID/", 0) == 0) return LanguageDriverCodePage(std::atoi(page.c_str() + 5));
  return page;
}

// YYYYMMDD as YYYY-MM-DD; anything else stays as it is.
std::string IsoDate(const std::string& digits) {
  if (digits.size() != 8 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return digits;
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2);
}

std::string LogicalText(const std::string& value) {
  if (value.empty()) return "";
  switch (value[0]) {
    case 'T':
    case 't':
    case 'Y':
    case 'y': return "T";
    case 'F':
    case 'f':
    case 'N':
    case 'n': return "F";
    default: return "";
  }
}

// The record count as the header's four bytes hold it, 0 when they cannot be read.
std::uint32_t HeaderRecordCount(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenRegularFile(path), std::fclose);
  unsigned char header[8] = {};
  if (!file || std::fread(header, 1, sizeof header, file.get()) != sizeof header) return 0;
  return static_cast<std::uint32_t>(header[4]) | static_cast<std::uint32_t>(header[5]) << 8 |
         static_cast<std::uint32_t>(header[6]) << 16 | static_cast<std::uint32_t>(header[7]) << 24;
}

struct DbaseCloser {
  void operator()(DBFHandle handle) const { DBFClose(handle); }
};
using DbaseHandle = std::unique_ptr<DBFInfo, DbaseCloser>;

class DbaseTable : public Table {
 public:
  DbaseTable(const std::string& path, DbaseHandle handle)
      : path_(path), owner_(std::move(handle)), handle_(owner_.get()) {
    codePage_ = NamedCodePage(handle_);
    // shapelib drops the top bit of the record count; a count beyond its range is more than
    // the grid takes anyway, and reading no further gives the capacity message.
    if (HeaderRecordCount(path_) > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
      liveCount_ = std::numeric_limits<int>::max();
      return;
    }
    Validate();
    FindLiveRecords();
  }

  int RecordCount() const override { return liveCount_; }
  int FieldCount() const override { return DBFGetFieldCount(handle_); }

  std::string FieldName(int field) const override {
    char name[XBASE_FLDNAME_LEN_READ + 1] = {};
    DBFGetFieldInfo(handle_, field, name, nullptr, nullptr);
    return Decode(name);
  }

  std::string FieldText(int field) override {
    if (cursor_ >= live_.size()) return "";
    const int record = live_[cursor_];
    const char type = DBFGetNativeFieldType(handle_, field);
    if (type == 'M' || type == 'G' || type == 'P') return "";  // memo blocks lie in another file
    lastError.clear();
    if (type == 'I') return BinaryInteger(record, field);
    const bool null = DBFIsAttributeNULL(handle_, record, field);
    if (!lastError.empty()) throw TableEngineError(ErrorText(path_, ""));
    if (null) return "";
    const char* raw = DBFReadStringAttribute(handle_, record, field);
    if (raw == nullptr) throw TableEngineError(ErrorText(path_, "a record cannot be read"));
    const std::string value = Decode(raw);
    if (type == 'D') return IsoDate(value);
    if (type == 'L') return LogicalText(value);
    return value;
  }

  void Next() override { ++cursor_; }

 private:
  // The header's sizes are checked against each other and the file before any record is
  // read, so a damaged header ends the load instead of reading past a record.
  void Validate() {
    const DBFInfo& info = *handle_;
    struct stat status {};
    if (stat(path_.c_str(), &status) != 0)
      throw TableEngineError(ErrorText(path_, std::strerror(errno)));
    if (info.nFields < 0 || info.nRecords < 0 || info.nRecordLength <= 0)
      throw TableEngineError(ErrorText(path_, "the header is damaged"));
    long long width = 1;  // the deletion flag
    for (int f = 0; f < info.nFields; ++f) {
      if (info.panFieldSize[f] <= 0 || info.panFieldOffset[f] != width)
        throw TableEngineError(ErrorText(path_, "the field list is damaged"));
      width += info.panFieldSize[f];
    }
    if (width > info.nRecordLength)
      throw TableEngineError(ErrorText(path_, "the fields do not fit in a record"));
    const long long needed =
        static_cast<long long>(info.nHeaderLength) +
        static_cast<long long>(info.nRecords) * static_cast<long long>(info.nRecordLength);
    if (needed > static_cast<long long>(status.st_size))
      throw TableEngineError("Cannot read dBase table " + path_ +
                             ": the file is shorter than its header says");
  }

  // Records marked deleted are not shown, as a table component hides them. The search stops
  // at the first live record past the grid's capacity, since more are refused anyway.
  void FindLiveRecords() {
    const int records = DBFGetRecordCount(handle_);
    for (int r = 0; r < records && liveCount_ <= MaxObjects; ++r) {
      lastError.clear();
      const bool deleted = DBFIsRecordDeleted(handle_, r);
      if (!lastError.empty()) throw TableEngineError(ErrorText(path_, ""));
      if (deleted) continue;
      if (live_.size() <= static_cast<std::size_t>(MaxObjects)) live_.push_back(r);
      ++liveCount_;
    }
  }

  std::string BinaryInteger(int record, int field) {
    const char* tuple = DBFReadTuple(handle_, record);
    if (tuple == nullptr) throw TableEngineError(ErrorText(path_, "a record cannot be read"));
    if (handle_->panFieldSize[field] != 4) return "";
    std::uint32_t bits = 0;
    for (int k = 3; k >= 0; --k)
      bits = bits << 8 | static_cast<unsigned char>(tuple[handle_->panFieldOffset[field] + k]);
    return std::to_string(static_cast<std::int32_t>(bits));
  }

  std::string Decode(const std::string& bytes) const {
    return codePage_.empty() ? DecodeText(bytes) : DecodeCodePage(bytes, codePage_);
  }

  std::string path_;
  DbaseHandle owner_;
  DBFHandle handle_;
  std::string codePage_;
  std::vector<int> live_;
  int liveCount_ = 0;
  std::size_t cursor_ = 0;
};

}  // namespace

std::unique_ptr<Table> OpenDbaseTable(const std::string& path) {
  SAHooks hooks;
  SASetupDefaultHooks(&hooks);
  hooks.FOpen = OpenExactly;
  hooks.Error = RecordError;
  lastError.clear();
  openingPath = &path;
  DbaseHandle handle(DBFOpenLL(path.c_str(), "rb", &hooks));
  openingPath = nullptr;
  if (!handle) {
    if (lastError.empty()) {
      std::FILE* probe = OpenRegularFile(path);
      if (probe == nullptr) throw TableEngineError(ErrorText(path, std::strerror(errno)));
      std::fclose(probe);
      throw TableEngineError(ErrorText(path, "not a dBase file"));
    }
    throw TableEngineError(ErrorText(path, ""));
  }
  return std::make_unique<DbaseTable>(path, std::move(handle));
}

}  // namespace vardell
