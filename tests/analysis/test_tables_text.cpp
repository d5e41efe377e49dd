#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/datagrid.h"
#include "analysis/tableengine.h"
#include "test_loading_files.h"

namespace vardell {
namespace {

const UserMessage TooLarge{DataParsingError, "Maximum size of data matrix exceeded."};

enum class Outcome { Read, Refused, Fails };

struct TextCase {
  const char* Name;
  std::vector<std::pair<std::string, std::string>> Files;  // name and bytes; the first is opened
  Outcome Expected;
  std::vector<std::string> Names;
  int Records;
  std::vector<std::tuple<int, int, std::string>> Cells;  // grid column, row, text
};

std::string Rows(int count, const std::string& row) {
  std::string out;
  for (int r = 0; r < count; ++r) out += row;
  return out;
}

std::string ManyFields(int count) {
  std::string out = "F1";
  for (int j = 2; j <= count; ++j) out += ",F" + std::to_string(j);
  return out + "\n";
}

const char* const FixedSchema =
    "[DATA]\r\nFILETYPE = FIXED\r\nCHARSET = ascii\r\n"
    "Field1 = SAMPLE,CHAR,4,00,00\r\nField2 = DEPTH,FLOAT,6,02,04\r\n";

std::vector<TextCase> TextCases() {
  return {
      {"Comma", {{"t.csv", "A,B\r\n1,2\r\n3,4\r\n"}}, Outcome::Read, {"A", "B"}, 2,
       {{1, 1, "1"}, {2, 2, "4"}, {0, 2, "  2"}}},
      {"Semicolon", {{"t.txt", "A;B\n1,5;2,5\n"}}, Outcome::Read, {"A", "B"}, 1,
       {{1, 1, "1,5"}, {2, 1, "2,5"}}},
      {"Tab", {{"t.txt", "A\tB\n1\t2\n"}}, Outcome::Read, {"A", "B"}, 1, {{2, 1, "2"}}},
      {"SingleField", {{"t.txt", "DEPTH\n10\n20\n"}}, Outcome::Read, {"DEPTH"}, 2, {{1, 2, "20"}}},
      {"QuotedFields", {{"t.csv", "\"Name, full\",B\n\"x, y\",\"say \"\"hi\"\"\"\n"}}, Outcome::Read,
       {"Name, full", "B"}, 1, {{1, 1, "x, y"}, {2, 1, "say \"hi\""}}},
      {"QuotedLineEnd", {{"t.csv", "A,B\n\"one\ntwo\",2\n3,4\n"}}, Outcome::Read, {"A", "B"}, 2,
       {{1, 1, "one\ntwo"}, {1, 2, "3"}}},
      {"QuotedEmptyFieldIsARecord", {{"t.csv", "A\n\"\"\n"}}, Outcome::Read, {"A"}, 1, {{1, 1, ""}}},
      {"UnclosedQuoteTakesTheRest", {{"t.csv", "A,B\n1,\"2\n3\n"}}, Outcome::Read, {"A", "B"}, 1,
       {{2, 1, "2\n3\n"}}},
      {"BlankLinesSkipped", {{"t.csv", "A,B\n\n1,2\n\r\n  \n3,4\n"}}, Outcome::Read, {"A", "B"}, 2,
       {{1, 2, "3"}}},
      {"ShortRecordFilledWithEmpty", {{"t.csv", "A,B,C\n1\n"}}, Outcome::Read, {"A", "B", "C"}, 1,
       {{1, 1, "1"}, {2, 1, ""}, {3, 1, ""}}},
      {"LongRecordCut", {{"t.csv", "A\n1,2\n"}}, Outcome::Read, {"A"}, 1, {{1, 1, "1"}}},
      {"ByteOrderMark", {{"t.csv", "\xEF\xBB\xBF" "A,B\n1,2\n"}}, Outcome::Read, {"A", "B"}, 1, {}},
      {"BlanksAroundUnquoted", {{"t.csv", "A , B\n 1 ,\t2 \n"}}, Outcome::Read, {"A", "B"}, 1,
       {{1, 1, "1"}, {2, 1, "2"}}},
      {"Windows1252", {{"t.csv", "N\xE9,B\n\xE9,2\n"}}, Outcome::Read, {"N\xC3\xA9", "B"}, 1,
       {{1, 1, "\xC3\xA9"}}},
      {"Utf8", {{"t.csv", "N\xC3\xA9,B\n\xC3\xA9,2\n"}}, Outcome::Read, {"N\xC3\xA9", "B"}, 1,
       {{1, 1, "\xC3\xA9"}}},
      {"EndOfFileMark", {{"t.csv", "A,B\n1,2\n\x1A" "3,4\n"}}, Outcome::Read, {"A", "B"}, 1, {}},
      {"EmptyFile", {{"t.csv", ""}}, Outcome::Read, {}, 0, {}},
      {"HeaderOnly", {{"t.csv", "A,B\n"}}, Outcome::Read, {"A", "B"}, 0, {}},
      {"TwoHundredRecords", {{"t.csv", "A,B\n" + Rows(200, "1,2\n")}}, Outcome::Read, {"A", "B"}, 200,
       {{2, 200, "2"}}},
      {"TooManyRecords", {{"t.csv", "A,B\n" + Rows(201, "1,2\n")}}, Outcome::Refused, {}, 0, {}},
      {"TooManyFields", {{"t.csv", ManyFields(2001) + "1\n"}}, Outcome::Refused, {}, 0, {}},
      {"FixedSchema", {{"core.txt", "S1    9.75\r\nS22  10.50\r\n\r\nS333\r\n"}, {"core.SCH", FixedSchema}},
       Outcome::Read, {"SAMPLE", "DEPTH"}, 3,
       {{1, 1, "S1"}, {2, 1, "9.75"}, {1, 2, "S22"}, {2, 2, "10.50"}, {2, 3, ""}}},
      {"LowerCaseSchema", {{"core.txt", "S1    9.75\n"}, {"core.sch", FixedSchema}}, Outcome::Read,
       {"SAMPLE", "DEPTH"}, 1, {{2, 1, "9.75"}}},
      {"VaryingSchema",
       {{"v.txt", "'S 1'|9.75\n'S|2'|10\n"},
        {"v.SCH", "[V]\nFILETYPE = VARYING\nSEPARATOR = |\nDELIMITER = '\n"
                  "Field2 = DEPTH,FLOAT,20,02,00\nField1 = SAMPLE,CHAR,10,00,00\n"}},
       Outcome::Read, {"SAMPLE", "DEPTH"}, 2, {{1, 1, "S 1"}, {2, 1, "9.75"}, {1, 2, "S|2"}}},
      {"VaryingSchemaDefaults", {{"v.txt", "\"a,b\",2\n"}, {"v.sch", "Field1 = X,CHAR\nField2 = Y,CHAR\n"}},
       Outcome::Read, {"X", "Y"}, 1, {{1, 1, "a,b"}, {2, 1, "2"}}},
      {"SchemaUnknownFileType", {{"s.txt", "1\n"}, {"s.SCH", "FILETYPE = WEIRD\nField1 = A,CHAR,1,0,0\n"}},
       Outcome::Fails, {}, 0, {}},
      {"SchemaWithoutFields", {{"s.txt", "1\n"}, {"s.SCH", "[S]\nFILETYPE = FIXED\n"}}, Outcome::Fails,
       {}, 0, {}},
      {"SchemaBadWidth", {{"s.txt", "1\n"}, {"s.SCH", "FILETYPE = FIXED\nField1 = A,CHAR,x,0,0\n"}},
       Outcome::Fails, {}, 0, {}},
      {"SchemaHugeOffset", {{"s.txt", "1\n"}, {"s.SCH", "FILETYPE = FIXED\nField1 = A,CHAR,1,0,99999999\n"}},
       Outcome::Fails, {}, 0, {}},
      {"SchemaFieldTwice", {{"s.txt", "1\n"}, {"s.SCH", "Field1 = A\nField1 = B\n"}}, Outcome::Fails, {},
       0, {}},
      {"SchemaLineWithoutEquals", {{"s.txt", "1\n"}, {"s.SCH", "Field1 A\n"}}, Outcome::Fails, {}, 0, {}},
      {"NotATableExtension", {{"t.xls", "A,B\n1,2\n"}}, Outcome::Fails, {}, 0, {}},
  };
}

class TextTableRead : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextTableRead, GivesTheGridOrFails) {
  const TextCase& c = GetParam();
  testing::ScratchFolder folder;
  std::string path;
  for (const auto& [name, bytes] : c.Files) {
    const std::string written = folder.Write(name, bytes);
    if (path.empty()) path = written;
  }
  DataGrid grid;
  if (c.Expected == Outcome::Fails) {
    EXPECT_THROW(ReadTable(path, grid), TableEngineError);
    return;
  }
  const std::optional<UserMessage> message = ReadTable(path, grid);
  if (c.Expected == Outcome::Refused) {
    EXPECT_EQ(message, TooLarge);
    return;
  }
  ASSERT_EQ(message, std::nullopt);
  EXPECT_EQ(grid.RowCount(), c.Records + 1);
  EXPECT_EQ(grid.ColCount(), static_cast<int>(c.Names.size()) + 1);
  for (std::size_t j = 0; j < c.Names.size(); ++j)
    EXPECT_EQ(grid.Cell(static_cast<int>(j) + 1, 0), c.Names[j]);
  for (const auto& [column, row, text] : c.Cells) EXPECT_EQ(grid.Cell(column, row), text);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextTableRead, ::testing::ValuesIn(TextCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(TextTableRead, TwoThousandFieldsAccepted) {
  testing::ScratchFolder folder;
  DataGrid grid;
  ASSERT_EQ(ReadTable(folder.Write("wide.csv", ManyFields(2000) + "1\n"), grid), std::nullopt);
  EXPECT_EQ(grid.ColCount(), 2001);
  EXPECT_EQ(grid.Cell(2000, 0), "F2000");
  EXPECT_EQ(grid.Cell(1, 1), "1");
}

TEST(TextTableRead, MissingFileFails) {
  testing::ScratchFolder folder;
  DataGrid grid;
  EXPECT_THROW(ReadTable(folder.Path("absent.txt"), grid), TableEngineError);
}

struct FormatCase {
  const char* Path;
  TableFormat Format;
};

TEST(TableFormatOf, GoesByTheLastExtension) {
  const FormatCase cases[] = {
      {"/d/x.DBF", TableFormat::Dbase},  {"/d/x.dbf", TableFormat::Dbase},
      {"/d/x.Db", TableFormat::Paradox}, {"/d/x.txt", TableFormat::Text},
      {"/d/x.CSV", TableFormat::Text},   {"/d.dbf/x", TableFormat::Unknown},
      {"/d/x.DAT", TableFormat::Unknown}, {"/d/x.csv.bak", TableFormat::Unknown},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(TableFormatOf(c.Path), c.Format) << c.Path;
}

}  // namespace
}  // namespace vardell
