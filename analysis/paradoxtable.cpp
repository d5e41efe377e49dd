#include "analysis/paradoxtable.h"

extern "C" {  // pxlib's header does not declare C linkage itself
#include <paradox.h>
}
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "analysis/regularfile.h"
#include "analysis/tableencoding.h"

namespace vardell {
namespace {

unsigned Word(const unsigned char* at) { return at[0] | at[1] << 8u; }

unsigned long Long(const unsigned char* at) {
  return at[0] | at[1] << 8u | at[2] << 16u | static_cast<unsigned long>(at[3]) << 24u;
}

// The field list of the header: a type and a length per field after the fixed part, then
// pointers and the names. pxlib reads the names up to their zero bytes wherever they lie, so
// the list must fit in the header, with a zero byte for every name, and the lengths must add
// up to the record size.
std::string FieldListDamage(const std::vector<unsigned char>& header, bool extended) {
  const unsigned fields = Word(header.data() + 0x21);
  const std::size_t start = extended ? 0x78 : 0x58;
  const std::size_t listEnd = start + 2 * static_cast<std::size_t>(fields);
  if (fields == 0 || listEnd + 4 + 4 * static_cast<std::size_t>(fields) > header.size())
    return "the field list does not fit in the header";
  unsigned length = 0;
  for (std::size_t at = start; at < listEnd; at += 2) length += header[at + 1];
  if (length != Word(header.data())) return "the fields do not add up to a record";
  const auto zeros = std::count(header.begin() + static_cast<long>(listEnd), header.end(), 0);
  if (zeros < static_cast<long>(fields) + 1) return "the field names are cut short";
  return "";
}

// What pxlib would trip over in a file, checked before pxlib opens it; empty when nothing.
// pxlib follows the chain of data blocks that the header starts without checking it, and
// spends hours on the key of an encrypted table; so every block must lie inside the file,
// none may come twice, the records they hold must add up to the header's count, and the
// table must not be encrypted (which would need a password anyway).
std::string HeaderDamage(std::FILE* file, long long fileSize) {
  unsigned char fixed[4] = {};
  if (std::fread(fixed, 1, sizeof fixed, file) != sizeof fixed) return "the header is cut short";
  const unsigned headerSize = Word(fixed + 2);
  if (headerSize < 0x58) return "the header is damaged";
  if (headerSize > fileSize) return "the file is shorter than its header";
  std::vector<unsigned char> header(headerSize);
  if (std::fseek(file, 0, SEEK_SET) != 0 ||
      std::fread(header.data(), 1, header.size(), file) != header.size())
    return "the header cannot be read";
  const unsigned recordSize = Word(header.data());
  const unsigned blockSize = header[5] * 1024u;
  const unsigned long records = Long(header.data() + 6);
  const unsigned firstBlock = Word(header.data() + 0x0E);
  // Version numbers run from 3 (Paradox 3.0) to 12 (Paradox 7); pxlib reads others wrongly.
  if (header[0x39] < 3 || header[0x39] > 12) return "the table's version is unknown";
  const bool extended = header[0x39] >= 5;  // tables of version 4 and later
  if (recordSize == 0 || blockSize == 0 || header[5] > 32 || (extended && headerSize < 0x78))
    return "the header is damaged";
  const unsigned long encryption1 = Long(header.data() + 0x25);
  if ((encryption1 != 0 && encryption1 != 0xFF00FF00ul) ||
      (extended && Long(header.data() + 0x5C) != 0))
    return "the table is encrypted";
  const std::string fieldDamage = FieldListDamage(header, extended);
  if (!fieldDamage.empty()) return fieldDamage;
  const long long blocksInFile = (fileSize - headerSize) / blockSize;
  std::vector<bool> seen(static_cast<std::size_t>(blocksInFile) + 1, false);
  unsigned long counted = 0;
  for (unsigned block = firstBlock; block != 0;) {
    if (block > blocksInFile) return "a data block lies outside the file";
    if (seen[block]) return "the data blocks run in a circle";
    seen[block] = true;
    unsigned char head[6];
    const long offset = static_cast<long>(headerSize) + static_cast<long>(block - 1) * blockSize;
    if (std::fseek(file, offset, SEEK_SET) != 0 ||
        std::fread(head, 1, sizeof head, file) != sizeof head)
      return "a data block cannot be read";
    const int used = static_cast<std::int16_t>(Word(head + 4));
    const unsigned long held = used >= 0 ? used / recordSize + 1 : 0;
    if (6 + held * recordSize > blockSize) return "a data block overflows";
    counted += held;
    block = Word(head);
  }
  if (counted != records) return "the record count does not match the data blocks";
  return "";
}

// pxlib reports errors through a handler and then returns a failure code; the handler only
// keeps the message, since an exception must not pass through the C library.
struct ErrorLog {
  std::string First;
};

void KeepError(pxdoc_t*, int level, const char* message, void* data) {
  auto* log = static_cast<ErrorLog*>(data);
  if (log != nullptr && level != PX_Warning && log->First.empty())
    log->First = message ? message : "unknown error";
}

void BootOnce() {
  static std::once_flag booted;
  std::call_once(booted, [] { PX_boot(); });
}

// The length each fixed-size field type must have in a record.
int FixedLength(char type) {
  switch (type) {
    case pxfLogical: return 1;
    case pxfShort: return 2;
    case pxfDate:
    case pxfLong:
    case pxfAutoInc:
    case pxfTime: return 4;
    case pxfCurrency:
    case pxfNumber:
    case pxfTimestamp: return 8;
    case pxfBCD: return 17;
    default: return 0;
  }
}

bool IsAllZero(const char* data, int length) {
  return std::all_of(data, data + length, [](char c) { return c == 0; });
}

std::string TwoDigits(long value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

std::string IsoDateFromSdn(long sdn) {
  int year = 0, month = 0, day = 0;
  PX_SdnToGregorian(sdn, &year, &month, &day);
  std::string y = std::to_string(year);
  if (y.size() < 4) y.insert(0, 4 - y.size(), '0');
  return y + "-" + TwoDigits(month) + "-" + TwoDigits(day);
}

// Days in Paradox dates count from 1 January of year 1; pxlib's day numbers from 4714 BC.
constexpr long SdnOffset = 1721425;

std::string TimeText(long milliseconds) {
  constexpr long Day = 86400000;
  const long seconds = (milliseconds % Day + Day) % Day / 1000;
  return TwoDigits(seconds / 3600 % 24) + ":" + TwoDigits(seconds / 60 % 60) + ":" +
         TwoDigits(seconds % 60);
}

std::string NumberText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// The pxlib document and the file it reads, which is opened here for reading only: pxlib
// would open it for writing as well, and so fail on a read-only file.
struct Document {
  pxdoc_t* Doc = nullptr;
  std::FILE* File = nullptr;
  bool Opened = false;
  ~Document() {
    if (Doc != nullptr) {
      if (Opened) PX_close(Doc);
      PX_delete(Doc);
    }
    if (File != nullptr) std::fclose(File);
  }
  pxdoc_t* get() const { return Doc; }
  pxdoc_t* operator->() const { return Doc; }
};

class ParadoxTable : public Table {
 public:
  explicit ParadoxTable(const std::string& path) : path_(path), log_(std::make_unique<ErrorLog>()) {
    BootOnce();
    pxdoc_t* doc = PX_new3(KeepError, nullptr, nullptr, nullptr, log_.get());
    if (doc == nullptr) Fail("pxlib could not start");
    doc_.Doc = doc;
    doc->warnings = 0;  // pxlib would print its warnings to the standard error stream
    doc_.File = OpenRegularFile(path);
    if (doc_.File == nullptr) Fail(std::strerror(errno));
    struct stat status {};
    if (fstat(fileno(doc_.File), &status) != 0) Fail(std::strerror(errno));
    const std::string damage = HeaderDamage(doc_.File, status.st_size);
    if (!damage.empty()) Fail(damage);
    std::rewind(doc_.File);
    if (PX_open_fp(doc, doc_.File) < 0) Fail("not a Paradox file");
    doc_.Opened = true;
    Validate(status.st_size);
    const int codePage = doc->px_head->px_doscodepage;
    if (codePage > 0) codePage_ = std::to_string(codePage);
    record_.resize(static_cast<std::size_t>(PX_get_recordsize(doc)));
    records_ = PX_get_num_records(doc);
  }

  int RecordCount() const override { return records_; }
  int FieldCount() const override { return fieldCount_; }

  std::string FieldName(int field) const override {
    const char* name = fields_[field].px_fname;
    return name ? Decode(name) : "";
  }

  std::string FieldText(int field) override {
    if (current_ >= records_) return "";
    LoadRecord();
    const pxfield_t& f = fields_[field];
    char* data = record_.data() + offsets_[field];
    // A fixed-size field of zero bytes is empty; pxlib reads some of them as numbers.
    if (FixedLength(f.px_ftype) != 0 && IsAllZero(data, f.px_flen)) return "";
    switch (f.px_ftype) {
      case pxfAlpha: return AlphaText(data, f.px_flen);
      case pxfDate: return LongText(data, 4, [](long v) { return IsoDateFromSdn(v + SdnOffset); });
      case pxfShort: {
        short value = 0;
        return Checked(PX_get_data_short(doc_.get(), data, 2, &value)) ? std::to_string(value) : "";
      }
      case pxfLong:
      case pxfAutoInc: return LongText(data, 4, [](long v) { return std::to_string(v); });
      case pxfTime: return LongText(data, 4, TimeText);
      case pxfCurrency:
      case pxfNumber: {
        double value = 0;
        return Checked(PX_get_data_double(doc_.get(), data, 8, &value)) ? NumberText(value) : "";
      }
      case pxfTimestamp: {
        double value = 0;
        if (!Checked(PX_get_data_double(doc_.get(), data, 8, &value))) return "";
        return TimestampText(value);
      }
      case pxfLogical: {
        char value = 0;
        return Checked(PX_get_data_byte(doc_.get(), data, 1, &value)) ? (value ? "T" : "F") : "";
      }
      case pxfBCD: return BcdText(data, f.px_fdc);
      default: return "";  // blobs, graphics and raw bytes have no text form
    }
  }

  void Next() override {
    ++current_;
    loaded_ = false;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    const std::string& detail = log_->First.empty() ? what : log_->First;
    throw TableEngineError("Cannot read Paradox table " + path_ + ": " + detail);
  }

  // The header's field list is checked against the record size and the file before any
  // record is read, so a damaged header ends the load instead of reading out of bounds.
  void Validate(long long fileSize) {
    pxdoc_t* doc = doc_.get();
    fieldCount_ = PX_get_num_fields(doc);
    fields_ = PX_get_fields(doc);
    const int recordSize = PX_get_recordsize(doc);
    if (fieldCount_ < 0 || (fieldCount_ > 0 && fields_ == nullptr) || recordSize <= 0 ||
        PX_get_num_records(doc) < 0 || doc->px_head == nullptr)
      Fail("the header is damaged");
    int offset = 0;
    for (int j = 0; j < fieldCount_; ++j) {
      const pxfield_t& f = fields_[j];
      const int fixed = FixedLength(f.px_ftype);
      if (f.px_flen <= 0 || (fixed != 0 && f.px_flen != fixed)) Fail("the field list is damaged");
      offsets_.push_back(offset);
      offset += f.px_flen;
    }
    if (offset > recordSize) Fail("the fields do not fit in a record");
    if (static_cast<long long>(recordSize) > fileSize) Fail("the file is shorter than a record");
  }

  // Records are read when their first field is asked for, so the counts can be checked
  // against the grid's capacity before anything is read.
  void LoadRecord() {
    if (loaded_) return;
    log_->First.clear();
    if (PX_get_record(doc_.get(), current_, record_.data()) == nullptr)
      Fail("record " + std::to_string(current_ + 1) + " cannot be read");
    loaded_ = true;
  }

  bool Checked(int result) const {
    if (result < 0) Fail("a field cannot be read");
    return result > 0;  // 0 means the field is empty
  }

  template <typename Format>
  std::string LongText(char* data, int length, Format format) {
    long value = 0;
    return Checked(PX_get_data_long(doc_.get(), data, length, &value)) ? format(value) : "";
  }

  std::string AlphaText(char* data, int length) {
    char* value = nullptr;
    const int result = PX_get_data_alpha(doc_.get(), data, length, &value);
    std::string text;
    if (value != nullptr) {
      text = Decode(std::string(value, strnlen(value, static_cast<std::size_t>(length))));
      doc_->free(doc_.get(), value);
    }
    Checked(result);
    return text;
  }

  std::string BcdText(char* data, int decimals) {
    if (decimals < 0 || decimals > 32) return "";
    char* value = nullptr;
    const int result =
        PX_get_data_bcd(doc_.get(), reinterpret_cast<unsigned char*>(data), decimals, &value);
    std::string text;
    if (value != nullptr) {
      text = value;
      doc_->free(doc_.get(), value);
    }
    Checked(result);
    return text;
  }

  static std::string TimestampText(double milliseconds) {
    const double seconds = std::floor(milliseconds / 1000.0);
    const double days = std::floor(seconds / 86400.0);
    if (!(days > -1e7 && days < 1e7)) return "";
    const long secondOfDay = static_cast<long>(seconds - days * 86400.0);
    return IsoDateFromSdn(static_cast<long>(days) + SdnOffset) + " " + TimeText(secondOfDay * 1000);
  }

  std::string Decode(const std::string& bytes) const {
    return codePage_.empty() ? DecodeText(bytes) : DecodeCodePage(bytes, codePage_);
  }

  std::string path_;
  std::unique_ptr<ErrorLog> log_;
  Document doc_;
  pxfield_t* fields_ = nullptr;
  int fieldCount_ = 0;
  std::vector<int> offsets_;
  std::vector<char> record_;
  std::string codePage_;
  int records_ = 0;
  int current_ = 0;
  bool loaded_ = false;
};

}  // namespace

std::unique_ptr<Table> OpenParadoxTable(const std::string& path) {
  return std::make_unique<ParadoxTable>(path);
}

}  // namespace vardell
