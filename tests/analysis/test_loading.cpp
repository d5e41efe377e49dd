#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/fileloading.h"
#include "test_loading_files.h"

namespace vardell {
namespace {

using testing::Corrupt;
using testing::Rows;
using testing::ScratchFolder;
using testing::TooLarge;

using Listed = std::vector<std::pair<std::string, bool>>;  // entries and whether selected

Listed Entries(const ChoiceListModel& list) {
  Listed out;
  for (int e = 0; e < list.Count(); ++e) out.emplace_back(list.Entry(e), list.IsSelected(e));
  return out;
}

TEST(FileKind, ThreeCharactersAfterTheFirstFullStopOfTheName) {
  const struct {
    const char* Path;
    const char* Kind;
  } cases[] = {
      {"/home/u/ABER.DAT", "DAT"},
      {"/home/u/data.dat", "DAT"},
      {"/home/u/x.Dat.bak", "DAT"},
      {"x.", ""},
      {"C:\\A.B\\X.DAT", "B\\X"},
      {"/home/u/table.dbf", "DBF"},
      {"", ""},
      {"/u/data.datum", "DAT"},
      {"/home/u/table.db", "DB"},
      {"/home/u/noextension", ""},
      {"ab", ""},
      {"dat", ""},
      // Full stops in folder names play no part.
      {"/tmp/a.b/x.dat", "DAT"},
      {"/home/j.smith/.data/ABER.DAT", "DAT"},
      {"/v1.2/table", ""},
      {"../r.csv", "CSV"},
      {"./.hidden.dat", "HID"},
      {"/tmp/folder.dat/", "DAT"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileKind(c.Path), c.Kind) << c.Path;
}

// The table engine goes by the last extension of the file's name, in any case.
TEST(TableFormatOf, LastExtensionOfTheName) {
  const std::pair<const char*, TableFormat> cases[] = {
      {"/a.b/t.DbF", TableFormat::Dbase},  {"t.db", TableFormat::Paradox},
      {"x.v1.Txt", TableFormat::Text},     {"x.csv", TableFormat::Text},
      {"t.dbf.bak", TableFormat::Unknown}, {"/dir.dbf/x", TableFormat::Unknown},
      {"noext", TableFormat::Unknown},     {"", TableFormat::Unknown},
  };
  for (const auto& [path, format] : cases) EXPECT_EQ(TableFormatOf(path), format) << path;
}

// The corner cell is not the file's and stays; a header of 0 rows still fills the lists.
TEST(LoadDataFile, FillsGridAndLists) {
  const std::vector<std::string> names{"COLUMN  1", "COLUMN  2", "COLUMN  3"};
  const std::pair<const char*, Rows> cases[] = {
      {"2 3\r\n1 2 3\r\n4 5 6\r\n", {names, {"1", "2", "3"}, {"4", "5", "6"}}},
      {"0 3\r\n", {names}}};
  for (const auto& [bytes, rows] : cases) {
    ScratchFolder folder;
    DataGrid grid;
    ColumnLists lists;
    grid.SetCell(0, 0, "corner");
    grid.SetCell(1, 1, "old");
    const std::optional<UserMessage> message =
        LoadDataFile(folder.Write("small.dat", bytes), grid, lists);
    EXPECT_FALSE(message);
    EXPECT_EQ(Entries(lists.Depth),
              (Listed{{names[0], true}, {names[1], false}, {names[2], false}}));
    EXPECT_EQ(Entries(lists.Id),
              (Listed{{"NONE", true}, {names[0], false}, {names[1], false}, {names[2], false}}));
    EXPECT_EQ(Entries(lists.DataCol),
              (Listed{{names[0], true}, {names[1], true}, {names[2], true}}));
    EXPECT_EQ(testing::GridRows(grid), rows);
    EXPECT_EQ(grid.Cell(0, 0), "corner");
    if (grid.RowCount() > 1) {
      EXPECT_EQ(grid.Cell(0, 1), "  1");
    }
  }
}

// Folders with full stops in their names, common on Linux, do not change how a file is read.
TEST(LoadDataFile, FullStopsInFolderNamesPlayNoPart) {
  const std::pair<const char*, std::string> files[] = {{"j.smith/v1.2/X.DAT", "1 2\r\n5 6\r\n"},
                                                       {"j.smith/.data/t.csv", "A,B\n5,6\n"}};
  for (const auto& [name, bytes] : files) {
    ScratchFolder folder;
    DataGrid grid;
    ColumnLists lists;
    EXPECT_FALSE(LoadDataFile(folder.Write(name, bytes), grid, lists)) << name;
    EXPECT_EQ(testing::GridRows(grid, 1), (Rows{{"5", "6"}})) << name;
  }
}

// Every way a load can fail leaves the grid of the earlier load exactly as it was, and the
// lists reset: "NONE", selected, alone in the identifier list.
struct FailureCase {
  const char* Name;
  const char* File;
  std::optional<std::string> Bytes;    // none: no file is written
  std::optional<UserMessage> Message;  // none: an unexpected error is thrown
};

TEST(LoadDataFile, FailedLoadLeavesTheGridAsItWas) {
  const FailureCase cases[] = {
      {"CorruptInTheSecondRow", "bad.dat", "2 4\r\n1 2 3 4\r\n1 2 3\r\n", Corrupt},
      {"MissingFile", "absent.dat", std::nullopt, Corrupt},
      // A folder opened as a file: the path ends in a separator, which the kind ignores.
      {"Folder", "folder.dat/", "", Corrupt},
      {"TooManyRows", "big.dat", "201 2\r\n", TooLarge},
      {"TableWithTooManyRecords", "big.csv", "A,B\n" + testing::Repeat("1,2\n", 201), TooLarge},
      {"UnreadableTable", "broken.dbf", "not a dBase file at all", std::nullopt},
      {"NameWithoutFullStop", "a.b/DAT", "1 1\r\n5\r\n", std::nullopt},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ScratchFolder folder;
    DataGrid grid;
    ColumnLists lists;
    ASSERT_FALSE(
        LoadDataFile(folder.Write("first.dat", "3 2\r\n1 2\r\n3 4\r\n5 6\r\n"), grid, lists));
    const auto before = testing::GridRows(grid, 0, 0);
    const std::string path = c.Bytes ? folder.Write(c.File, *c.Bytes) : folder.Path(c.File);
    if (c.Message) {
      const std::optional<UserMessage> message = LoadDataFile(path, grid, lists);
      EXPECT_TRUE(message);
      EXPECT_EQ(message, c.Message);
    } else {
      EXPECT_THROW(LoadDataFile(path, grid, lists), TableEngineError);
    }
    EXPECT_EQ(testing::GridRows(grid, 0, 0), before);
    EXPECT_EQ(lists.Depth.Count(), 0);
    EXPECT_EQ(lists.DataCol.Count(), 0);
    EXPECT_EQ(Entries(lists.Id), (Listed{{"NONE", true}}));
  }
}

// A FIFO would block the open and a device never ends: neither is opened, whatever the kind
// of file its name says, and the earlier grid stays.
TEST(LoadDataFile, SpecialFilesAreRefusedWithoutBlocking) {
  const UserMessage refused{"I/O ERROR", "Data file is not a regular file."};
  ScratchFolder folder;
  DataGrid grid;
  ColumnLists lists;
  ASSERT_FALSE(LoadDataFile(folder.Write("first.dat", "2 1\r\n1\r\n2\r\n"), grid, lists));
  const auto before = testing::GridRows(grid, 0, 0);
  for (const char* name : {"X.DAT", "X.CSV", "X.TXT", "X.DBF", "X.DB"}) {
    const std::string fifo = folder.Path(std::string("fifo-") + name);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = folder.Path(std::string("zero-") + name);
    std::filesystem::create_symlink("/dev/zero", device);
    for (const std::string& path : {fifo, device}) {
      const std::optional<UserMessage> message = LoadDataFile(path, grid, lists);
      EXPECT_TRUE(message) << path;
      EXPECT_EQ(message, refused) << path;
      EXPECT_EQ(testing::GridRows(grid, 0, 0), before) << path;
    }
  }
}

// A schema file that is a FIFO is passed over as if there were none, never opened.
TEST(LoadDataFile, SchemaThatIsAFifoIsNotOpened) {
  ScratchFolder folder;
  ASSERT_EQ(mkfifo(folder.Path("T.SCH").c_str(), 0600), 0);
  DataGrid grid;
  ColumnLists lists;
  EXPECT_FALSE(LoadDataFile(folder.Write("T.CSV", "A,B\n1,2\n"), grid, lists));
  EXPECT_EQ(grid.Cell(2, 1), "2");
}

// The example data files of the project: counts, the first names and a few cells.
TEST(LoadDataFile, ExampleFiles) {
  const struct {
    const char* File;
    int Rows;
    int Columns;
    std::vector<std::string> FirstNames;
    std::vector<std::tuple<int, int, std::string>> Cells;
  } cases[] = {
      {"ABER.DAT",
       49,
       37,
       {"COLUMN  1", "COLUMN  2"},
       {{1, 1, "300"}, {2, 1, "15.11"}, {3, 2, "59.48"}, {0, 49, " 49"}}},
      {"RLGH.DAT", 20, 42, {"COLUMN  1"}, {{1, 1, "9.75"}, {2, 1, "0.19978"}}},
      {"RLGH.DBF",
       20,
       43,
       {"SAMPLE", "DEPTH", "AC013A"},
       {{1, 1, "S001"}, {2, 1, "9.75"}, {3, 1, "0.199780"}, {0, 20, " 20"}}},
      {"ABER.CSV",
       49,
       38,
       {"SAMPLE", "DEPTH", "BETULA"},
       {{1, 1, "S001"}, {2, 1, "300"}, {3, 1, "15.11"}, {38, 49, "0"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    DataGrid grid;
    ColumnLists lists;
    ASSERT_FALSE(LoadDataFile(std::string(VARDELL_DATA_DIR) + "/" + c.File, grid, lists));
    EXPECT_EQ(grid.RowCount(), c.Rows + 1);
    EXPECT_EQ(grid.ColCount(), c.Columns + 1);
    EXPECT_EQ(lists.DataCol.Count(), c.Columns);
    for (std::size_t e = 0; e < c.FirstNames.size(); ++e)
      EXPECT_EQ(lists.Depth.Entry(static_cast<int>(e)), c.FirstNames[e]);
    for (const auto& [column, row, text] : c.Cells) EXPECT_EQ(grid.Cell(column, row), text);
  }
}

// A grid starts at the toolkit's default of 5 by 5; resizing keeps the cells that still fit,
// and cells lost by shrinking do not come back when it grows again.
TEST(DataGrid, ResizingKeepsTheCellsThatFit) {
  const struct {
    const char* Name;
    int Columns, Rows;  // the new size
    int Column, Row;    // a cell that was "c,r" before
  } cases[] = {{"GrowBoth", 8, 9, 4, 4},
               {"ShrinkRows", 5, 2, 3, 1},
               {"ShrinkColumns", 2, 5, 1, 4},
               {"ToOneCell", 1, 1, 0, 0}};
  const auto text = [](int col, int row) {
    return std::to_string(col) + "," + std::to_string(row);
  };
  for (const auto& c : cases) {
    DataGrid grid;
    ASSERT_EQ(grid.ColCount(), 5);
    ASSERT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Cell(4, 4), "");
    for (int col = 0; col < 5; ++col)
      for (int row = 0; row < 5; ++row) grid.SetCell(col, row, text(col, row));
    grid.SetColCount(c.Columns);
    grid.SetRowCount(c.Rows);
    EXPECT_EQ(grid.ColCount(), c.Columns) << c.Name;
    EXPECT_EQ(grid.RowCount(), c.Rows) << c.Name;
    EXPECT_EQ(grid.Cell(c.Column, c.Row), text(c.Column, c.Row)) << c.Name;
    EXPECT_EQ(grid.Cell(c.Columns - 1, c.Rows - 1).empty(), c.Columns > 5 || c.Rows > 5) << c.Name;
    // Every cell stays in its place, by itself a row and a column.
    for (int col = 0; col < c.Columns; ++col)
      for (int row = 0; row < c.Rows; ++row)
        EXPECT_EQ(grid.Cell(col, row), col < 5 && row < 5 ? text(col, row) : "")
            << c.Name << " " << col << "," << row;
    grid.SetColCount(5);
    grid.SetRowCount(5);
    EXPECT_EQ(grid.Cell(4, 4).empty(), c.Columns < 5 || c.Rows < 5) << c.Name;
  }
}

TEST(DataGrid, OutsideTheGridIsAnError) {
  DataGrid grid;
  for (const auto& [column, row] : {std::pair{5, 0}, {0, 5}, {-1, 0}, {0, -1}}) {
    EXPECT_THROW(grid.Cell(column, row), std::out_of_range);
    EXPECT_THROW(grid.SetCell(column, row, "x"), std::out_of_range);
  }
}

TEST(ChoiceListModel, SelectionFollowsItsEntry) {
  ChoiceListModel list;
  for (const char* e : {"a", "b", "c"}) list.Add(e);
  list.SelectAll();
  list.SetSelected(1, false);
  list.Delete(2);
  EXPECT_EQ(Entries(list), (Listed{{"a", true}, {"b", false}}));
  list.Add("c");  // an entry put back comes unselected
  EXPECT_EQ(Entries(list), (Listed{{"a", true}, {"b", false}, {"c", false}}));
  list.SelectOnly(2);
  EXPECT_EQ(Entries(list), (Listed{{"a", false}, {"b", false}, {"c", true}}));
}

}  // namespace
}  // namespace vardell
