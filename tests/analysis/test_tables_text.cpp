#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/datagrid.h"
#include "analysis/tableencoding.h"
#include "analysis/tableengine.h"
#include "test_loading_files.h"

namespace vardell {
namespace {

using testing::Repeat;
using testing::Rows;
using testing::TooLarge;

enum class Outcome { Read, Refused, Fails };
using enum Outcome;

struct TextCase {
  const char* Name;
  std::vector<std::pair<std::string, std::string>> Files;  // name and bytes; the first is opened
  Outcome Expected;
  Rows Grid;              // without the row numbers: the names, then the records
  std::string Says = {};  // the refusal's text, "@" standing for the path; empty: too large
};

// Text as spreadsheets save "Unicode text": UTF-16 with a byte order mark.
std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

const char* const FixedSchema =
    "[DATA]\r\nFILETYPE = FIXED\r\nCHARSET = ascii\r\n"
    "Field1 = SAMPLE,CHAR,4,00,00\r\nField2 = DEPTH,FLOAT,6,02,04\r\n";

std::vector<TextCase> TextCases() {
  Rows wide(2, std::vector<std::string>(2000));  // 2000 fields, and a record of one value
  for (int j = 0; j < 2000; ++j) wide[0][j] = "F" + std::to_string(j + 1);
  wide[1][0] = "1";
  std::string wideNames = "F1";
  for (int j = 1; j < 2000; ++j) wideNames += "," + wide[0][j];
  Rows tall(201, {"1", "2"});
  tall[0] = {"A", "B"};
  const auto fails = [](const char* name, const std::string& schema) {
    return TextCase{name, {{"s.txt", "1\n"}, {"s.SCH", schema}}, Fails, {}};
  };
  return {
      {"Comma", {{"t.csv", "A,B\r\n1,2\r\n3,4\r\n"}}, Read, {{"A", "B"}, {"1", "2"}, {"3", "4"}}},
      {"Semicolon", {{"t.txt", "A;B\n1,5;2,5\n"}}, Read, {{"A", "B"}, {"1,5", "2,5"}}},
      {"Tab", {{"t.txt", "A\tB\n1\t2\n"}}, Read, {{"A", "B"}, {"1", "2"}}},
      {"SingleField", {{"t.txt", "DEPTH\n10\n20\n"}}, Read, {{"DEPTH"}, {"10"}, {"20"}}},
      {"QuotedFields",
       {{"t.csv", "\"Name, full\",B\n\"x, y\",\"say \"\"hi\"\"\"\n"}},
       Read,
       {{"Name, full", "B"}, {"x, y", "say \"hi\""}}},
      {"QuotedLineEnd",
       {{"t.csv", "A,B\n\"one\ntwo\",2\n3,4\n"}},
       Read,
       {{"A", "B"}, {"one\ntwo", "2"}, {"3", "4"}}},
      {"QuotedEmptyFieldIsARecord", {{"t.csv", "A\n\"\"\n"}}, Read, {{"A"}, {""}}},
      {"UnclosedQuoteTakesTheRest",
       {{"t.csv", "A,B\n1,\"2\n3\n"}},
       Read,
       {{"A", "B"}, {"1", "2\n3\n"}}},
      {"BlankLinesSkipped",
       {{"t.csv", "A,B\n\n1,2\n\r\n  \n3,4\n"}},
       Read,
       {{"A", "B"}, {"1", "2"}, {"3", "4"}}},
      {"ShortRecordFilledWithEmpty",
       {{"t.csv", "A,B,C\n1\n"}},
       Read,
       {{"A", "B", "C"}, {"1", "", ""}}},
      // R's write.table: the header one field short, the row names first in every record.
      {"RowNames",
       {{"t.csv", "\"A\",\"B\"\n\"r1\",1,2\n\"r2\",3,\n"}},
       Read,
       {{"ROW NAMES", "A", "B"}, {"r1", "1", "2"}, {"r2", "3", ""}}},
      {"RowNamesTab",
       {{"t.txt", "A\tB\nr1\t1\t2\n"}},
       Read,
       {{"ROW NAMES", "A", "B"}, {"r1", "1", "2"}}},
      {"SeparatorsAtLineEnds",
       {{"t.csv", "A,B\n1,2,\n3,4,,\n"}},
       Read,
       {{"A", "B"}, {"1", "2"}, {"3", "4"}}},
      {"OneRecordLonger",
       {{"t.csv", "A,B\n1,2\n3,4,5\n"}},
       Refused,
       {},
       "Line 3 of @ has 3 fields, but its header names 2."},
      {"LongerAfterAQuotedLineEnd",
       {{"t.csv", "\nA,B\n\"x\r\ny\",2\n3,4,5\n"}},
       Refused,
       {},
       "Line 5 of @ has 3 fields, but its header names 2."},
      {"RowNamesOnlyInSomeRecords",
       {{"t.csv", "A,B\nr1,1,2\n3,4\n"}},
       Refused,
       {},
       "Line 2 of @ has 3 fields, but its header names 2."},
      {"LongerThanTheSchema",
       {{"v.txt", "1,2\n1,2,3\n"}, {"v.sch", "Field1 = X,CHAR\nField2 = Y,CHAR\n"}},
       Refused,
       {},
       "Line 2 of @ has 3 fields, but its schema names 2."},
      {"ByteOrderMark",
       {{"t.csv",
         "\xEF\xBB\xBF"
         "A,B\n1,2\n"}},
       Read,
       {{"A", "B"}, {"1", "2"}}},
      {"BlanksAroundUnquoted", {{"t.csv", "A , B\n 1 ,\t2 \n"}}, Read, {{"A", "B"}, {"1", "2"}}},
      {"Windows1252",
       {{"t.csv", "N\xE9,B\n\xE9,2\n"}},
       Read,
       {{"N\xC3\xA9", "B"}, {"\xC3\xA9", "2"}}},
      {"Utf8",
       {{"t.csv", "N\xC3\xA9,B\n\xC3\xA9,2\n"}},
       Read,
       {{"N\xC3\xA9", "B"}, {"\xC3\xA9", "2"}}},
      {"EndOfFileMark",
       {{"t.csv",
         "A,B\n1,2\n\x1A"
         "3,4\n"}},
       Read,
       {{"A", "B"}, {"1", "2"}}},
      {"EmptyFile",
       {{"t.csv", ""}},
       Refused,
       {},
       "The text table @ has no fields: no line names any."},
      {"BlankFile",
       {{"t.txt", "\xEF\xBB\xBF \r\n\t\n"}},
       Refused,
       {},
       "The text table @ has no fields: no line names any."},
      {"BlankLinesBeforeTheHeader",
       {{"t.txt", "\r\n \n\t\nA\tB\n1\t2\n"}},
       Read,
       {{"A", "B"}, {"1", "2"}}},
      {"Utf16LittleEndian",
       {{"t.txt", Utf16(u"N\u00E9\tB\r\n1,5\t\U0001F600\r\n", false)}},
       Read,
       {{"N\xC3\xA9", "B"}, {"1,5", "\xF0\x9F\x98\x80"}}},
      {"Utf16BigEndian",
       {{"t.csv", Utf16(u"A;B\n1;2\n\x1A"
                        "3;4",
                        true)}},
       Read,
       {{"A", "B"}, {"1", "2"}}},
      {"HeaderOnly", {{"t.csv", "A,B\n"}}, Read, {{"A", "B"}}},
      {"TwoHundredRecords", {{"t.csv", "A,B\n" + Repeat("1,2\n", 200)}}, Read, tall},
      {"TooManyRecords", {{"t.csv", "A,B\n" + Repeat("1,2\n", 201)}}, Refused, {}},
      {"TwoThousandFields", {{"t.csv", wideNames + "\n1\n"}}, Read, wide},
      {"TooManyFields", {{"t.csv", wideNames + ",F2001\n1\n"}}, Refused, {}},
      {"FixedSchema",
       {{"core.txt", "S1    9.75\r\nS22  10.50\r\n\r\nS333\r\n"}, {"core.SCH", FixedSchema}},
       Read,
       {{"SAMPLE", "DEPTH"}, {"S1", "9.75"}, {"S22", "10.50"}, {"S333", ""}}},
      // Offsets and widths count characters, in UTF-8 as in Windows-1252.
      {"FixedSchemaUtf8",
       {{"core.txt",
         "\xC3\x85"
         "byh  9.75\r\n\xC3\xB8"
         "1   10.5\r\n"},
        {"core.SCH", FixedSchema}},
       Read,
       {{"SAMPLE", "DEPTH"},
        {"\xC3\x85"
         "byh",
         "9.75"},
        {"\xC3\xB8"
         "1",
         "10.5"}}},
      {"FixedSchemaWindows1252",
       {{"core.txt",
         "\xC5"
         "byh  9.75\r\n"},
        {"core.SCH", FixedSchema}},
       Read,
       {{"SAMPLE", "DEPTH"},
        {"\xC3\x85"
         "byh",
         "9.75"}}},
      // Found by fuzzing: a four-byte letter was cut after its third byte.
      {"FixedSchemaLongSequence",
       {{"f.txt", "\x02\xF3\x94\x93\x99"}, {"f.SCH", "FILETYPE=FIXED\nField4=,,4\n"}},
       Read,
       {{""}, {"\x02\xF3\x94\x93\x99"}}},
      {"LowerCaseSchema",
       {{"core.txt", "S1    9.75\n"}, {"core.sch", FixedSchema}},
       Read,
       {{"SAMPLE", "DEPTH"}, {"S1", "9.75"}}},
      {"VaryingSchema",
       {{"v.txt", "'S 1'|9.75\n'S|2'|10\n"},
        {"v.SCH",
         "[V]\nFILETYPE = VARYING\nSEPARATOR = |\nDELIMITER = '\n"
         "Field2 = DEPTH,FLOAT,20,02,00\nField1 = SAMPLE,CHAR,10,00,00\n"}},
       Read,
       {{"SAMPLE", "DEPTH"}, {"S 1", "9.75"}, {"S|2", "10"}}},
      {"VaryingSchemaDefaults",
       {{"v.txt", "\"a,b\",2\n"}, {"v.sch", "Field1 = X,CHAR\nField2 = Y,CHAR\n"}},
       Read,
       {{"X", "Y"}, {"a,b", "2"}}},
      fails("SchemaUnknownFileType", "FILETYPE = WEIRD\nField1 = A,CHAR,1,0,0\n"),
      fails("SchemaWithoutFields", "[S]\nFILETYPE = FIXED\n"),
      fails("SchemaBadWidth", "FILETYPE = FIXED\nField1 = A,CHAR,x,0,0\n"),
      fails("SchemaHugeOffset", "FILETYPE = FIXED\nField1 = A,CHAR,1,0,99999999\n"),
      fails("SchemaFieldTwice", "Field1 = A\nField1 = B\n"),
      fails("SchemaLineWithoutEquals", "Field1 A\n"),
      {"NotATableExtension", {{"t.xls", "A,B\n1,2\n"}}, Fails, {}},
  };
}

TEST(TextTableRead, GivesTheGridOrFails) {
  for (const TextCase& c : TextCases()) {
    SCOPED_TRACE(c.Name);
    testing::ScratchFolder folder;
    for (const auto& [name, bytes] : c.Files) folder.Write(name, bytes);
    const std::string path = folder.Path(c.Files.front().first);
    DataGrid grid;
    if (c.Expected == Fails) {
      EXPECT_THROW(ReadTable(path, grid), TableEngineError);
      continue;
    }
    const std::optional<UserMessage> message = ReadTable(path, grid);
    std::string says = c.Says;
    if (says.find('@') != std::string::npos) says.replace(says.find('@'), 1, path);
    const UserMessage refusal = says.empty() ? TooLarge : UserMessage{"DATA PARSING ERROR", says};
    EXPECT_EQ(message, c.Expected == Refused ? std::optional(refusal) : std::nullopt);
    if (message) continue;
    EXPECT_EQ(testing::GridRows(grid), c.Grid);
    for (int r = 1; r < grid.RowCount(); ++r) EXPECT_EQ(grid.Cell(0, r), testing::RightAligned(r));
  }
}

// Reading stops once the part read holds more records than the grid takes: a table with
// 201 records followed by a gigabyte (a sparse file, so no disk is used) is refused without
// the gigabyte ever being held. The child's peak memory tells.
TEST(TextTableRead, StopsReadingOnceTooLarge) {
  for (const auto& [name, schema] :
       std::vector<std::pair<std::string, std::string>>{{"t.csv", ""}, {"core.txt", FixedSchema}}) {
    SCOPED_TRACE(name);
    testing::ScratchFolder folder;
    const std::string path =
        folder.Write(name, (schema.empty() ? "A,B\n" : "") + Repeat("S1    9.75\n", 201));
    if (!schema.empty()) folder.Write("core.SCH", schema);
    ASSERT_EQ(truncate(path.c_str(), 1LL << 30), 0);
    const pid_t child = fork();
    if (child == 0) {
      DataGrid grid;
      _exit(ReadTable(path, grid) == TooLarge ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss, 256 * 1024);  // kilobytes
  }
}

// ---- Encodings of files and tables ----------------------------------------------------

TEST(TableEncoding, Utf8WhereValidElseWindows1252) {
  const struct {
    const char* Name;
    std::string Bytes;
    bool Utf8;
    std::string Text;  // what DecodeText gives
  } cases[] = {
      {"Ascii", "abc 1.5", true, "abc 1.5"},
      {"TwoBytes", "\xC3\xA9", true, "\xC3\xA9"},
      {"FourBytes", "\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80"},
      {"LoneLatin1", "\xE9", false, "\xC3\xA9"},
      {"EuroAndQuotes", "\x80\x93\x94", false, "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D"},
      {"UndefinedByteKept", "\x81", false, "\xC2\x81"},
      {"Overlong", "\xC0\xAF", false, "\xC3\x80\xC2\xAF"},
      {"Surrogate", "\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
      {"BeyondUnicode", "\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
      {"CutSequence", "a\xC3", false, "a\xC3\x83"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.Bytes), c.Utf8) << c.Name;
    EXPECT_EQ(DecodeText(c.Bytes), c.Text) << c.Name;
  }
}

// An unknown name, and bytes that are not valid in the named page, fall back to the rule above.
TEST(TableEncoding, NamedCodePages) {
  const char* const cases[][3] = {
      {"1252", "\xE9", "\xC3\xA9"},         {"CP850", "\x82", "\xC3\xA9"},
      {"437", "\x81", "\xC3\xBC"},          {"UTF-8", "\xC3\xA9", "\xC3\xA9"},
      {"ISO-8859-1", "\xE9", "\xC3\xA9"},   {"1251", "\xC0", "\xD0\x90"},
      {"no such page", "\xE9", "\xC3\xA9"}, {"UTF-8", "\xE9", "\xC3\xA9"},
  };
  for (const auto& [page, bytes, text] : cases)
    EXPECT_EQ(DecodeCodePage(bytes, page), text) << page;
}

// A missing or unreadable table names the reason.
TEST(TextTableRead, MissingOrUnreadableNamesTheReason) {
  testing::ScratchFolder folder;
  folder.Write("folder.csv/x", "");
  const std::string locked = folder.Write("locked.csv", "A,B\n1,2\n");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  std::vector<std::pair<std::string, std::string>> cases = {
      {folder.Path("absent.csv"), "No such file or directory"},
      {folder.Path("folder.csv"), "Is a directory"}};
  if (!std::ifstream(locked)) cases.emplace_back(locked, "Permission denied");  // not for root
  for (const auto& [path, reason] : cases) {
    DataGrid grid;
    try {
      ReadTable(path, grid);
      ADD_FAILURE() << path << " was read";
    } catch (const TableEngineError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot open text table " + path + ": " + reason);
    }
  }
}

TEST(TableEncoding, Utf16WithAByteOrderMark) {
  using namespace std::string_literals;  // the bytes hold NULs
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"\xFF\xFE"
       "A\0\xE9\0"s,
       "A\xC3\xA9"},
      {"\xFE\xFF\0A\x20\xAC"s, "A\xE2\x82\xAC"},
      {"\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},  // a surrogate pair
      {"\xFF\xFE\x3D\xD8"
       "A\0"s,
       "\xEF\xBF\xBD"
       "A"},                                  // an unpaired one
      {"\xFF\xFE\x00\xDE"s, "\xEF\xBF\xBD"},  // a lone low surrogate
      {"\xFF\xFE"
       "A\0B"s,
       "A\xEF\xBF\xBD"},  // an odd last byte
      {"\xFF\xFE"s, ""},
      {"A\0B\0"s, std::nullopt},
      {"\xEF\xBB\xBF"
       "A"s,
       std::nullopt}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Utf16WithMarkToUtf8(bytes), text) << bytes;
}

TEST(TableEncoding, Utf8SequenceLengths) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xB0\xC3";
  const std::size_t lengths[] = {1, 2, 0, 3, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};  // past the end: 0
  for (std::size_t at = 0; at < std::size(lengths); ++at)
    EXPECT_EQ(Utf8SequenceLength(text, at), lengths[at]) << at;
}

}  // namespace
}  // namespace vardell

namespace vardell {
namespace {

// Every Windows-1252 byte survives the trip to UTF-8 and back; what the code page lacks is "?".
TEST(TableEncoding, Windows1252RoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
  EXPECT_EQ(Utf8ToWindows1252("\xE2\x82\xAC \xCE\xB1 \xF0\x9F\x8C\x8D \xC3"), "\x80 ? ? ?");
}

}  // namespace
}  // namespace vardell
