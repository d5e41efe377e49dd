#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "analysis/datagrid.h"
#include "analysis/rowcolumnreader.h"
#include "test_loading_files.h"

namespace vardell {
namespace {

using testing::Corrupt;
using testing::TooLarge;
const std::optional<UserMessage> Read;

struct ReadCase {
  const char* Name;
  std::string Bytes;
  std::optional<UserMessage> Message;
  int Columns;  // this and the rows checked only without a message
  testing::Rows Rows;
};

std::vector<ReadCase> ReadCases() {
  const std::string b999(999, 'B');
  const std::string e999 = testing::Repeat("\xC3\xA9", 999);  // of two bytes each
  return {
      {"OneValueTooFew", "2 3\r\n1 2 3\r\n1 2\r\n", Corrupt, 0, {}},
      {"OneValueTooManyGoesToTheLastCell", "1 2\r\n1 2 3\r\n", Read, 2, {{"1", "2 3"}}},
      {"TabsDoNotSeparate", "1 2\r\n1\t2\r\n", Corrupt, 0, {}},
      {"TabsStayInsideTheLastValue", "1 2\r\n1 2\t3\r\n", Read, 2, {{"1", "2\t3"}}},
      {"BlanksAroundAndBetween", "1 3\r\n \t 1    2  3 \t \r\n", Read, 3, {{"1", "2", "3"}}},
      {"SpacesInsideTheLastValueKept", "1 2\r\na b   c\r\n", Read, 2, {{"a", "b   c"}}},
      {"OneColumnTakesTheWholeLine", "1 1\r\n  a b  \r\n", Read, 1, {{"a b"}}},
      {"OneColumnEmptyLine", "1 1\r\n\r\n", Read, 1, {{""}}},
      {"ZeroRows", "0 3\r\n", Read, 3, {}},
      {"FileShortOfLines", "5 2\r\n1 2\r\n3 4\r\n5 6\r\n", Corrupt, 0, {}},
      {"EmptyFileDeclaresNothing", "", Read, 0, {}},
      {"HeaderWithOneNumber", "2", Read, 0, {{}, {}}},
      {"HeaderNotANumber", "a b\r\n", Corrupt, 0, {}},
      {"HeaderDecimal", "2.5 2\r\n", Corrupt, 0, {}},
      {"HeaderNumberWithLetters", "3x 2\r\n", Corrupt, 0, {}},
      {"HeaderBeyond32Bits", "99999999999 2\r\n", Corrupt, 0, {}},
      {"HeaderLoneSign", "- 2\r\n", Corrupt, 0, {}},
      {"HeaderTwoSigns", "+-1 2\r\n", Corrupt, 0, {}},
      {"HeaderPlusSign", "+1 1\r\nx\r\n", Read, 1, {{"x"}}},
      {"HeaderNegativeRows", "-4 2\r\n", Read, 2, {}},
      {"HeaderNegativeColumns", "1 -2\r\nabc\r\n", Read, 0, {{}}},
      {"HeaderNumbersOnSeparateLines",
       "\t2\r\n\r\n 1 rest is skipped\r\nA\r\nB\r\n",
       Read,
       1,
       {{"A"}, {"B"}}},
      // The size is accepted; the missing lines are what is corrupt.
      {"HeaderAtTheLimits", "200 2000", Corrupt, 0, {}},
      {"TwoThousandColumnsWithoutRows", "0 2000", Read, 2000, {}},
      {"TooManyRows", "201 2\r\n", TooLarge, 0, {}},
      {"TooManyColumns", "2 2001\r\n", TooLarge, 0, {}},
      {"LimitsCheckedBeforeLines", "201 2001\r\ngarbage", TooLarge, 0, {}},
      {"LineFeedsEndLines", "2 2\n1 2\n3 4\n", Read, 2, {{"1", "2"}, {"3", "4"}}},
      {"CarriageReturnsEndLines", "2 2\r1 2\r3 4\r", Read, 2, {{"1", "2"}, {"3", "4"}}},
      {"CarriageReturnLineFeedsEndLines",
       "2 2\r\n1 2\r\n3 4\r\n",
       Read,
       2,
       {{"1", "2"}, {"3", "4"}}},
      {"BlankLineBetweenRowsIsARow", "2 1\r\nA\r\n\r\nB\r\n", Read, 1, {{"A"}, {""}}},
      {"EndOfFileMarkEndsTheData",
       "2 2\r\n1 2\r\n\x1A"
       "3 4\r\n",
       Corrupt,
       0,
       {}},
      {"EndOfFileMarkInTheHeader", "2\x1A 5\r\n", Read, 0, {{}, {}}},
      {"LinesAfterTheRowsIgnored", "1 2\r\n1 2\r\nthis is not read\r\n", Read, 2, {{"1", "2"}}},
      {"NoLineEndAtTheEnd", "1 2\r\n7 8", Read, 2, {{"7", "8"}}},
      {"LongLastValueKeptWhole", "1 2\r\nA " + b999 + "C\r\n", Read, 2, {{"A", b999 + "C"}}},
      {"ValuesFarAlongTheLine",
       "1 3\r\nA" + std::string(5000, ' ') + "B C\r\n",
       Read,
       3,
       {{"A", "B", "C"}}},
      {"ControlCharactersTrimmed",
       "1 2\r\n\x01\x02"
       "1 2\x1F\x7F\r\n",
       Read,
       2,
       {{"1", "2\x1F\x7F"}}},
      {"Windows1252Decoded",
       "1 2\r\n\xE9t\xE9 \x80\r\n",
       Read,
       2,
       {{"\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC"}}},
      {"Utf8Kept", "1 2\r\n\xC3\xA9t\xC3\xA9 x\r\n", Read, 2, {{"\xC3\xA9t\xC3\xA9", "x"}}},
      {"LongUtf8ValueKeptWhole", "1 2\r\nA " + e999 + "Z\r\n", Read, 2, {{"A", e999 + "Z"}}},
      {"ByteOrderMarkSkipped",
       "\xEF\xBB\xBF"
       "1 2\r\n\xC2\xB0 1\r\n",
       Read,
       2,
       {{"\xC2\xB0", "1"}}},
      {"ByteOrderMarkAlone", "\xEF\xBB\xBF", Read, 0, {}},
      {"ByteOrderMarkOnlyAtTheStart", "1 1\r\n\xEF\xBB\xBFx\r\n", Read, 1, {{"\xEF\xBB\xBFx"}}},
      {"PartOfAByteOrderMark",
       "\xEF\xBB"
       "1 2\r\n1 2\r\n",
       Corrupt,
       0,
       {}},
  };
}

// Besides the cells: column names "COLUMN" and row numbers, both right-aligned in three.
TEST(RowColumnRead, GivesTheGridOrTheMessage) {
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.Name);
    DataGrid grid;
    EXPECT_EQ(ReadRowColumnBytes(c.Bytes, grid), c.Message);
    if (c.Message) continue;
    EXPECT_EQ(grid.ColCount(), c.Columns + 1);
    EXPECT_EQ(testing::GridRows(grid, 1), c.Rows);
    for (int j = 1; j < grid.ColCount(); ++j)
      EXPECT_EQ(grid.Cell(j, 0), "COLUMN" + testing::RightAligned(j));
    for (int r = 1; r < grid.RowCount(); ++r) EXPECT_EQ(grid.Cell(0, r), testing::RightAligned(r));
  }
}

// Two hundred rows of 150 values written with full precision, lines of nearly 2000
// characters; the file is larger than one read of 64 KiB and its header is padded so that a
// line end is split across the first two reads.
TEST(RowColumnFile, FullRowsReadInPiecesLikeFromMemory) {
  const auto digit = [](int r, int j) { return "0." + std::to_string(1000000000 + r * 1000 + j); };
  constexpr std::size_t lineLength = 150 * 13 + 2;
  std::string bytes = "200 150" + std::string((65537 - 9) % lineLength, ' ') + "\r\n";
  for (int r = 1; r <= 200; ++r) {
    for (int j = 1; j <= 150; ++j) bytes += digit(r, j) + " ";
    bytes += "\r\n";
  }
  ASSERT_EQ(bytes.substr(65535, 2), "\r\n");
  testing::ScratchFolder folder;
  DataGrid grid, fromMemory;
  ASSERT_EQ(ReadRowColumnFile(folder.Write("full.dat", bytes), grid), std::nullopt);
  ASSERT_EQ(ReadRowColumnBytes(bytes, fromMemory), std::nullopt);
  EXPECT_EQ(testing::GridRows(grid, 0, 0), testing::GridRows(fromMemory, 0, 0));
  ASSERT_EQ(grid.RowCount(), 201);
  ASSERT_EQ(grid.ColCount(), 151);
  for (int r = 1; r <= 200; ++r)
    for (int j = 1; j <= 150; ++j) ASSERT_EQ(grid.Cell(j, r), digit(r, j)) << j << "," << r;
  EXPECT_EQ(grid.Cell(0, 12), " 12");
  EXPECT_EQ(grid.Cell(0, 200), "200");
}

}  // namespace
}  // namespace vardell
