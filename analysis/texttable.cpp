#include "analysis/texttable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/capacities.h"
#include "analysis/regularfile.h"
#include "analysis/tableencoding.h"

namespace vardell {
namespace {

using Record = std::vector<std::string>;  // raw bytes of each field

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool IsFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Why path is no file to read ("No such file or directory", "Is a directory"), or nothing.
std::optional<std::string> NotAFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
  if (!S_ISREG(status.st_mode)) return "not a regular file";
  return std::nullopt;
}

// Reads the file in pieces. Each time what was read has doubled, enough may end the reading:
// a table already too large for the grid is not read to its end.
std::string ReadFile(const std::string& path, const char* what,
                     const std::function<bool(std::string_view)>& enough = {}) {
  if (const auto why = NotAFile(path))
    throw TableEngineError("Cannot open " + std::string(what) + " " + path + ": " + *why);
  std::unique_ptr<std::FILE, FileCloser> file(OpenRegularFile(path));
  if (!file)
    throw TableEngineError("Cannot open " + std::string(what) + " " + path + ": " +
                           std::strerror(errno));
  std::string bytes;
  char buffer[65536];
  std::size_t nextLook = sizeof buffer;
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, got);
    if (got < sizeof buffer) break;
    if (enough && bytes.size() >= nextLook) {
      if (enough(bytes)) return bytes;
      nextLook = 2 * bytes.size();
    }
  }
  if (std::ferror(file.get()))
    throw TableEngineError("Read error in file " + path + ": " + std::strerror(errno));
  return bytes;
}

// The text up to the end-of-file mark of DOS text files, without a byte order mark; UTF-16
// text (spreadsheets' "Unicode text") turned into UTF-8 first.
std::string TextPart(std::string_view bytes) {
  if (const std::optional<std::string> utf16 = Utf16WithMarkToUtf8(bytes)) return TextPart(*utf16);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return std::string(bytes.substr(0, bytes.find('\x1A')));
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\r' && text[at] != '\n') continue;
    lines.push_back(text.substr(start, at - start));
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    start = at + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Splits delimited text into records; a quoted field may hold separators, line ends and
// doubled quotes. Blank lines hold no record.
class DelimitedParser {
 public:
  DelimitedParser(std::string_view text, char separator, char quote)
      : text_(text), separator_(separator), quote_(quote) {}

  bool Next(Record& record) {
    while (at_ < text_.size()) {
      const std::size_t start = at_;
      record.clear();
      bool blank = true;
      for (;;) {
        bool quoted = false;
        std::string field = Field(quoted);
        if (quoted || !field.empty()) blank = false;
        record.push_back(std::move(field));
        if (at_ < text_.size() && text_[at_] == separator_) {
          ++at_;
          blank = false;
          continue;
        }
        EndLine();
        break;
      }
      if (!blank) {
        recordLine_ = LineAt(start);
        return true;
      }
    }
    return false;
  }

  // Skips the lines of nothing but blanks that may stand before a header, whatever the
  // separator; called before the first record.
  void SkipBlankLines() {
    const std::size_t first = text_.find_first_not_of(" \t\r\n", at_);
    at_ = first == std::string_view::npos ? text_.size() : text_.find_last_of("\r\n", first) + 1;
  }

  // The line (from 1) on which the record that Next gave last begins.
  int RecordLine() const { return recordLine_; }

 private:
  // Counts the line ends before position at, going on from where the last count ended.
  int LineAt(std::size_t at) {
    for (; counted_ < at; ++counted_) {
      const char c = text_[counted_];
      if (c == '\n' || (c == '\r' && (counted_ + 1 == text_.size() || text_[counted_ + 1] != '\n')))
        ++line_;
    }
    return line_;
  }

  bool AtLineEnd() const { return at_ >= text_.size() || text_[at_] == '\r' || text_[at_] == '\n'; }

  void EndLine() {
    if (at_ < text_.size() && text_[at_] == '\r') ++at_;
    if (at_ < text_.size() && text_[at_] == '\n') ++at_;
  }

  std::string Field(bool& quoted) {
    const std::size_t start = at_;
    while (!AtLineEnd() && text_[at_] != separator_ && text_[at_] != quote_) ++at_;
    if (quote_ == '\0' || AtLineEnd() || text_[at_] != quote_ ||
        !TrimBlanks(text_.substr(start, at_ - start)).empty()) {
      while (!AtLineEnd() && text_[at_] != separator_) ++at_;
      return std::string(TrimBlanks(text_.substr(start, at_ - start)));
    }
    quoted = true;
    ++at_;  // the opening quote
    std::string field;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c != quote_) {
        field += c;
      } else if (at_ < text_.size() && text_[at_] == quote_) {
        field += quote_;
        ++at_;
      } else {
        break;
      }
    }
    // Anything between the closing quote and the separator belongs to the field as well.
    const std::size_t tail = at_;
    while (!AtLineEnd() && text_[at_] != separator_) ++at_;
    field += TrimBlanks(text_.substr(tail, at_ - tail));
    return field;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  char separator_;
  char quote_;
  std::size_t counted_ = 0;
  int line_ = 1;
  int recordLine_ = 0;
};

// The separator of a table without schema: the most frequent of comma, semicolon and tab
// outside quotes in the header line, the first that is not blank; a comma when there is none.
char DetectSeparator(std::string_view text) {
  const std::size_t header = text.find_first_not_of(" \t\r\n");
  if (header == std::string_view::npos) return ',';
  text.remove_prefix(text.rfind('\n', header) + 1);  // from the start of the header line
  int comma = 0, semicolon = 0, tab = 0;
  bool inQuotes = false;
  for (char c : text) {
    if (c == '"') inQuotes = !inQuotes;
    if (inQuotes) continue;
    if (c == '\r' || c == '\n') break;
    comma += c == ',';
    semicolon += c == ';';
    tab += c == '\t';
  }
  if (semicolon > comma && semicolon >= tab) return ';';
  if (tab > comma && tab > semicolon) return '\t';
  return ',';
}

struct SchemaField {
  std::string Name;
  int Width = 0;
  int Offset = 0;
};

struct Schema {
  bool Fixed = false;
  char Separator = ',';
  char Quote = '"';
  std::vector<SchemaField> Fields;
};

bool ReadNumber(std::string_view text, int& value) {
  text = TrimBlanks(text);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

char SchemaCharacter(std::string_view value, char fallback) {
  value = TrimBlanks(value);
  if (Upper(value) == "TAB") return '\t';
  if (Upper(value) == "NONE") return '\0';
  return value.empty() ? fallback : value.front();
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(TrimBlanks(text.substr(start, comma - start)));
    if (comma == std::string_view::npos) return parts;
    start = comma + 1;
  }
}

// Reads a schema: a [name] line, FILETYPE, SEPARATOR, DELIMITER and CHARSET settings, and
// FieldN = name,type,width,decimals,offset lines, fields in the order of N.
Schema ParseSchema(const std::string& path, std::string_view text) {
  const auto invalid = [&](const std::string& why) {
    return TableEngineError("Invalid schema file " + path + ": " + why);
  };
  Schema schema;
  std::map<int, SchemaField> fields;
  const std::string decoded = DecodeText(TextPart(text));
  for (std::string_view line : Lines(decoded)) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() == '[' || line.front() == ';') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) throw invalid("a line without \"=\"");
    const std::string key = Upper(TrimBlanks(line.substr(0, equals)));
    const std::string_view value = line.substr(equals + 1);
    if (key == "FILETYPE") {
      const std::string type = Upper(TrimBlanks(value));
      if (type != "FIXED" && type != "VARYING") throw invalid("unknown file type " + type);
      schema.Fixed = type == "FIXED";
    } else if (key == "SEPARATOR") {
      schema.Separator = SchemaCharacter(value, ',');
    } else if (key == "DELIMITER") {
      schema.Quote = SchemaCharacter(value, '\0');
    } else if (key.rfind("FIELD", 0) == 0) {
      int number = 0;
      if (!ReadNumber(std::string_view(key).substr(5), number) || number < 1)
        throw invalid("bad field number in " + key);
      const std::vector<std::string_view> parts = SplitCommas(value);
      SchemaField field;
      field.Name = std::string(parts[0]);
      if (parts.size() > 2 && !ReadNumber(parts[2], field.Width)) throw invalid("bad width");
      if (parts.size() > 4 && !ReadNumber(parts[4], field.Offset)) throw invalid("bad offset");
      if (field.Width < 0 || field.Width > 65535 || field.Offset < 0 || field.Offset > 65535)
        throw invalid("width or offset out of range");
      if (!fields.emplace(number, std::move(field)).second)
        throw invalid("field " + std::to_string(number) + " given twice");
    }
  }
  for (auto& [number, field] : fields) schema.Fields.push_back(std::move(field));
  if (schema.Fields.empty()) throw invalid("no fields");
  if (schema.Separator == '\0' && !schema.Fixed) throw invalid("no separator");
  return schema;
}

std::string SchemaPath(const std::string& path) {
  std::filesystem::path schema = path;
  for (const char* extension : {".SCH", ".sch", ".Sch"})
    if (IsFile(schema.replace_extension(extension).string())) return schema.string();
  return "";
}

// A record with more fields than the table names: the line it begins on and its count.
struct LongRecord {
  int Line = 0;
  std::size_t Fields = 0;
};

class TextTable : public Table {
 public:
  TextTable(std::vector<std::string> names, std::vector<Record> records, int recordCount, bool utf8,
            std::optional<LongRecord> tooLong = std::nullopt)
      : names_(std::move(names)),
        records_(std::move(records)),
        recordCount_(recordCount),
        utf8_(utf8),
        tooLong_(tooLong) {}

  // Set when a record has fields the table has no name for: the table must be refused.
  const std::optional<LongRecord>& TooLong() const { return tooLong_; }

  int RecordCount() const override { return recordCount_; }
  int FieldCount() const override { return static_cast<int>(names_.size()); }
  std::string FieldName(int field) const override { return names_[field]; }

  std::string FieldText(int field) override {
    if (cursor_ >= records_.size() || static_cast<std::size_t>(field) >= records_[cursor_].size())
      return "";
    const std::string& raw = records_[cursor_][field];
    return utf8_ ? raw : Windows1252ToUtf8(raw);
  }

  void Next() override { ++cursor_; }

 private:
  std::vector<std::string> names_;
  std::vector<Record> records_;
  int recordCount_;
  bool utf8_;
  std::optional<LongRecord> tooLong_;
  std::size_t cursor_ = 0;
};

// Collects the records; only those the grid could take are kept, the rest only counted. No
// field is dropped unseen: the first record with a field past the table's last is remembered,
// and whether every record has exactly one field more.
struct RecordCollector {
  std::size_t Fields = 0;
  std::vector<Record> Kept;
  int Count = 0;
  bool EachOneLonger = true;
  bool ExtraFieldsEmpty = true;  // all fields past the last are empty: separators at line ends
  std::optional<LongRecord> FirstLong;

  void Add(Record&& record, int line) {
    std::size_t filled = record.size();
    while (filled > Fields && record[filled - 1].empty()) --filled;
    EachOneLonger = EachOneLonger && record.size() == Fields + 1;
    ExtraFieldsEmpty = ExtraFieldsEmpty && filled <= Fields;
    if (filled > Fields && !FirstLong) FirstLong = LongRecord{line, record.size()};
    if (Kept.size() <= static_cast<std::size_t>(MaxObjects)) Kept.push_back(std::move(record));
    if (Count < std::numeric_limits<int>::max()) ++Count;
  }

  // A file written with row names (R's write.table) has a header one field short; the names
  // of the rows are then the first column.
  bool HasRowNames() const { return Count > 0 && EachOneLonger && !ExtraFieldsEmpty; }
};

// The byte position count characters after from: a character is a byte of Windows-1252 text
// or a whole sequence of UTF-8 text.
std::size_t SkipCharacters(std::string_view text, std::size_t from, std::size_t count, bool utf8) {
  if (!utf8) return std::min(text.size(), from + count);
  for (; count > 0 && from < text.size(); --count) {
    ++from;
    while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
  }
  return from;
}

// Offsets and widths of a fixed layout count characters, so a letter is never cut in half.
Record FixedRecord(std::string_view line, const Schema& schema, bool utf8) {
  Record record;
  for (const SchemaField& f : schema.Fields) {
    const std::size_t start = SkipCharacters(line, 0, static_cast<std::size_t>(f.Offset), utf8);
    const std::size_t end = SkipCharacters(line, start, static_cast<std::size_t>(f.Width), utf8);
    record.emplace_back(TrimBlanks(line.substr(start, end - start)));
  }
  return record;
}

std::unique_ptr<TextTable> TableWithSchema(const Schema& schema, std::string_view text) {
  std::vector<std::string> names;
  for (const SchemaField& f : schema.Fields) names.push_back(f.Name);
  RecordCollector records;
  records.Fields = names.size();
  const bool utf8 = IsValidUtf8(text);
  if (schema.Fixed) {
    const std::vector<std::string_view> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (!TrimBlanks(lines[i]).empty())
        records.Add(FixedRecord(lines[i], schema, utf8), static_cast<int>(i + 1));
  } else {
    DelimitedParser parser(text, schema.Separator, schema.Quote);
    for (Record record; parser.Next(record);) records.Add(std::move(record), parser.RecordLine());
  }
  return std::make_unique<TextTable>(std::move(names), std::move(records.Kept), records.Count, utf8,
                                     records.FirstLong);
}

std::unique_ptr<TextTable> TableWithHeader(std::string_view text) {
  const bool utf8 = IsValidUtf8(text);
  DelimitedParser parser(text, DetectSeparator(text), '"');
  Record header;
  parser.SkipBlankLines();
  if (!parser.Next(header)) header.clear();
  std::vector<std::string> names;
  for (std::string& name : header) names.push_back(utf8 ? name : Windows1252ToUtf8(name));
  RecordCollector records;
  records.Fields = names.size();
  for (Record record; parser.Next(record);) records.Add(std::move(record), parser.RecordLine());
  if (records.HasRowNames()) names.insert(names.begin(), RowNamesColumn);
  return std::make_unique<TextTable>(std::move(names), std::move(records.Kept), records.Count, utf8,
                                     records.HasRowNames() ? std::nullopt : records.FirstLong);
}

UserMessage Refusal(const std::string& path, const TextTable& table, bool schema) {
  if (const auto& tooLong = table.TooLong())
    return {DataParsingError, "Line " + std::to_string(tooLong->Line) + " of " + path + " has " +
                                  std::to_string(tooLong->Fields) + " fields, but its " +
                                  (schema ? "schema" : "header") + " names " +
                                  std::to_string(table.FieldCount()) + "."};
  return {DataParsingError, "The text table " + path + " has no fields: no line names any."};
}

}  // namespace

std::unique_ptr<Table> OpenTextTable(const std::string& path) {
  const std::string schemaPath = SchemaPath(path);
  std::optional<Schema> schema;
  if (!schemaPath.empty()) schema = ParseSchema(schemaPath, ReadFile(schemaPath, "schema file"));
  const auto table = [&](std::string_view bytes) {
    return schema ? TableWithSchema(*schema, TextPart(bytes)) : TableWithHeader(TextPart(bytes));
  };
  // A part of the file holds at most the records and fields of the whole: once it holds too
  // many, so does the file.
  const std::string bytes = ReadFile(path, "text table", [&](std::string_view part) {
    const std::unique_ptr<Table> read = table(part);
    return read->RecordCount() > MaxObjects || read->FieldCount() > MaxFileColumns;
  });
  std::unique_ptr<TextTable> whole = table(bytes);
  const bool fits = whole->RecordCount() <= MaxObjects && whole->FieldCount() <= MaxFileColumns;
  if (fits && (whole->TooLong() || whole->FieldCount() == 0))
    throw TableRefused(Refusal(path, *whole, schema.has_value()));
  return whole;
}

}  // namespace vardell
