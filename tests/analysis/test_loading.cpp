#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/fileloading.h"
#include "test_loading_files.h"

namespace vardell {
namespace {

using testing::AllCells;
using testing::ScratchFolder;

const UserMessage Corrupt{IoError, "Data file corrupt."};
const UserMessage TooLarge{DataParsingError, "Maximum size of data matrix exceeded."};

std::vector<std::string> Entries(const ChoiceListModel& list) {
  std::vector<std::string> out;
  for (int e = 0; e < list.Count(); ++e) out.push_back(list.Entry(e));
  return out;
}

std::vector<bool> Selection(const ChoiceListModel& list) {
  std::vector<bool> out;
  for (int e = 0; e < list.Count(); ++e) out.push_back(list.IsSelected(e));
  return out;
}

void ExpectResetLists(const ColumnLists& lists) {
  EXPECT_EQ(lists.Depth.Count(), 0);
  EXPECT_EQ(lists.DataCol.Count(), 0);
  ASSERT_EQ(Entries(lists.Id), std::vector<std::string>{"NONE"});
  EXPECT_TRUE(lists.Id.IsSelected(0));
}

TEST(FileKind, ThreeCharactersAfterTheFirstFullStop) {
  const struct {
    const char* Path;
    const char* Kind;
  } cases[] = {
      {"/home/u/ABER.DAT", "DAT"},  {"/home/u/data.dat", "DAT"},   {"/home/u/x.Dat.bak", "DAT"},
      {"C:\\A.B\\X.DAT", "B\\X"},   {"/tmp/a.b/x.dat", "B/X"},     {"/home/u/table.dbf", "DBF"},
      {"/home/u/table.db", "DB"},   {"/home/u/noextension", "/HO"}, {"ab", "AB"},
      {"x.", ""},                   {"", ""},                       {"/u/data.datum", "DAT"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileKind(c.Path), c.Kind) << c.Path;
}

TEST(ResetColumnLists, LeavesNoneAloneSelected) {
  ColumnLists lists;
  lists.Depth.Add("a");
  lists.Id.Add("b");
  lists.DataCol.Add("c");
  lists.DataCol.SelectAll();
  ResetColumnLists(lists);
  ExpectResetLists(lists);
}

TEST(LoadDataFile, FillsGridAndLists) {
  ScratchFolder folder;
  const std::string path = folder.Write("small.dat", "2 3\r\n1 2 3\r\n4 5 6\r\n");
  DataGrid grid;
  ColumnLists lists;
  const LoadResult result = LoadDataFile(path, grid, lists);
  EXPECT_TRUE(result.Loaded);
  EXPECT_FALSE(result.Message);
  const std::vector<std::string> names{"COLUMN  1", "COLUMN  2", "COLUMN  3"};
  EXPECT_EQ(Entries(lists.Depth), names);
  EXPECT_EQ(Selection(lists.Depth), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(Entries(lists.Id), (std::vector<std::string>{"NONE", "COLUMN  1", "COLUMN  2", "COLUMN  3"}));
  EXPECT_EQ(Selection(lists.Id), (std::vector<bool>{true, false, false, false}));
  EXPECT_EQ(Entries(lists.DataCol), names);
  EXPECT_EQ(Selection(lists.DataCol), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.ColCount(), 4);
  EXPECT_EQ(grid.Cell(3, 2), "6");
  EXPECT_EQ(grid.Cell(0, 1), "  1");
}

TEST(LoadDataFile, ZeroRowsStillFillsTheLists) {
  ScratchFolder folder;
  DataGrid grid;
  ColumnLists lists;
  ASSERT_TRUE(LoadDataFile(folder.Write("empty.dat", "0 2\r\n"), grid, lists).Loaded);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(Entries(lists.DataCol), (std::vector<std::string>{"COLUMN  1", "COLUMN  2"}));
}

TEST(LoadDataFile, KeepsTheCornerCellAndOverwritesTheRest) {
  ScratchFolder folder;
  DataGrid grid;
  ColumnLists lists;
  grid.SetCell(0, 0, "corner");
  grid.SetCell(1, 1, "old");
  ASSERT_TRUE(LoadDataFile(folder.Write("a.dat", "1 1\r\nnew\r\n"), grid, lists).Loaded);
  EXPECT_EQ(grid.Cell(0, 0), "corner");
  EXPECT_EQ(grid.Cell(1, 1), "new");
}

// Every way a load can fail leaves the grid of the earlier load exactly as it was and the
// lists as the reset left them.
struct FailureCase {
  const char* Name;
  const char* File;
  std::string Bytes;
  std::optional<UserMessage> Message;  // none: an unexpected error is thrown
};

class FailedLoad : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailedLoad, LeavesTheGridAsItWas) {
  const FailureCase& c = GetParam();
  ScratchFolder folder;
  DataGrid grid;
  ColumnLists lists;
  ASSERT_TRUE(LoadDataFile(folder.Write("first.dat", "3 2\r\n1 2\r\n3 4\r\n5 6\r\n"), grid, lists).Loaded);
  const auto before = AllCells(grid);
  const std::string path = folder.Write(c.File, c.Bytes);
  if (c.Message) {
    const LoadResult result = LoadDataFile(path, grid, lists);
    EXPECT_FALSE(result.Loaded);
    EXPECT_EQ(result.Message, c.Message);
  } else {
    EXPECT_THROW(LoadDataFile(path, grid, lists), TableEngineError);
  }
  EXPECT_EQ(AllCells(grid), before);
  ExpectResetLists(lists);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedLoad,
    ::testing::Values(
        FailureCase{"CorruptInTheSecondRow", "bad.dat", "2 4\r\n1 2 3 4\r\n1 2 3\r\n", Corrupt},
        FailureCase{"ShortFile", "short.dat", "5 2\r\n1 2\r\n3 4\r\n5 6\r\n", Corrupt},
        FailureCase{"BadHeader", "bad.dat", "two three\r\n", Corrupt},
        FailureCase{"TooManyRows", "big.dat", "201 2\r\n", TooLarge},
        FailureCase{"TooManyColumns", "big.dat", "2 2001\r\n", TooLarge},
        FailureCase{"TableWithTooManyRecords", "big.csv", "A,B\n" + [] {
          std::string rows;
          for (int r = 0; r < 201; ++r) rows += "1,2\n";
          return rows;
        }(), TooLarge},
        FailureCase{"UnreadableTable", "broken.dbf", "not a dBase file at all", std::nullopt},
        FailureCase{"FullStopInAFolderName", "a.b/X.DAT", "1 1\r\n5\r\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(LoadDataFile, MissingRowColumnFileIsCorrupt) {
  ScratchFolder folder;
  DataGrid grid;
  ColumnLists lists;
  const LoadResult result = LoadDataFile(folder.Path("absent.dat"), grid, lists);
  EXPECT_FALSE(result.Loaded);
  EXPECT_EQ(result.Message, Corrupt);
}

// The example data files of the project.
struct ExampleCase {
  const char* File;
  int Rows;
  int Columns;
  std::vector<std::string> FirstNames;
  std::vector<std::tuple<int, int, std::string>> Cells;
};

class ExampleFile : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(ExampleFile, LoadsWithItsCounts) {
  const ExampleCase& c = GetParam();
  DataGrid grid;
  ColumnLists lists;
  const LoadResult result = LoadDataFile(std::string(VARDELL_DATA_DIR) + "/" + c.File, grid, lists);
  ASSERT_TRUE(result.Loaded);
  EXPECT_EQ(grid.RowCount(), c.Rows + 1);
  EXPECT_EQ(grid.ColCount(), c.Columns + 1);
  EXPECT_EQ(lists.DataCol.Count(), c.Columns);
  for (std::size_t e = 0; e < c.FirstNames.size(); ++e)
    EXPECT_EQ(lists.Depth.Entry(static_cast<int>(e)), c.FirstNames[e]);
  for (const auto& [column, row, text] : c.Cells) EXPECT_EQ(grid.Cell(column, row), text);
}

INSTANTIATE_TEST_SUITE_P(
    Data, ExampleFile,
    ::testing::Values(
        ExampleCase{"ABER.DAT", 49, 37, {"COLUMN  1", "COLUMN  2"},
                    {{1, 1, "300"}, {2, 1, "15.11"}, {3, 2, "59.48"}, {0, 49, " 49"}}},
        ExampleCase{"RLGH.DAT", 20, 42, {"COLUMN  1"}, {{1, 1, "9.75"}, {2, 1, "0.19978"}}},
        ExampleCase{"RLGH.DBF", 20, 43, {"SAMPLE", "DEPTH", "AC013A"},
                    {{1, 1, "S001"}, {2, 1, "9.75"}, {3, 1, "0.199780"}, {0, 20, " 20"}}},
        ExampleCase{"ABER.CSV", 49, 38, {"SAMPLE", "DEPTH", "BETULA"},
                    {{1, 1, "S001"}, {2, 1, "300"}, {3, 1, "15.11"}, {38, 49, "0"}}}),
    [](const auto& info) {
      std::string name = info.param.File;
      for (char& ch : name)
        if (ch == '.') ch = '_';
      return name;
    });

}  // namespace
}  // namespace vardell
