#include <gtest/gtest.h>
extern "C" {  // pxlib's header does not declare C linkage itself
#include <paradox.h>
}
#include <shapefil.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/datagrid.h"
#include "analysis/fileloading.h"
#include "analysis/tableengine.h"
#include "test_loading_files.h"

namespace vardell {
namespace {

using testing::GridRows;
using testing::Rows;
using testing::ScratchFolder;
using testing::TooLarge;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- dBase -------------------------------------------------------------------------------

struct DbaseField {
  const char* Name;
  char Type;
  int Width, Decimals;
};
const std::vector<DbaseField> CoreFields{
    {"SAMPLE", 'C', 10, 0}, {"DEPTH", 'N', 8, 2}, {"TAKEN", 'D', 8, 0}, {"OK", 'L', 1, 0}};

// Each value is the field's bytes as stored; null writes a null value. deleted: the number of a
// record marked deleted, or -1.
std::string WriteDbase(const std::string& path,
                       const std::vector<std::vector<const char*>>& records, int deleted = -1,
                       const char* codePage = nullptr,
                       const std::vector<DbaseField>& fields = CoreFields) {
  DBFHandle h = codePage ? DBFCreateEx(path.c_str(), codePage) : DBFCreate(path.c_str());
  for (const DbaseField& f : fields) DBFAddNativeFieldType(h, f.Name, f.Type, f.Width, f.Decimals);
  for (int r = 0; r < static_cast<int>(records.size()); ++r)
    for (int j = 0; j < static_cast<int>(fields.size()); ++j) {
      if (records[r][j])
        DBFWriteAttributeDirectly(h, r, j, const_cast<char*>(records[r][j]));
      else
        DBFWriteNULLAttribute(h, r, j);
    }
  if (deleted >= 0) DBFMarkRecordDeleted(h, deleted, 1);
  DBFClose(h);
  return path;
}

TEST(DbaseTable, FieldsAsAUserReadsThem) {
  ScratchFolder folder;
  const std::string path = WriteDbase(folder.Path("core.dbf"),
                                      {{"S1", "    9.75", "20240301", "T"},
                                       {"gone", "    1.00", "20000101", "F"},
                                       {nullptr, "  -12.50", nullptr, nullptr},
                                       {"S 3", "  100.00", "19991231", "F"},
                                       {"A", "    1.00", "2024-3-1", "T"},
                                       // Found by fuzzing: a date of other bytes than digits
                                       // reached the grid undecoded.
                                       {"A", "    1.00", "\xff\xff\xff\xff-\xff\xff-", "T"}},
                                      1);
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  EXPECT_EQ(GridRows(grid),
            (Rows{{"SAMPLE", "DEPTH", "TAKEN", "OK"},
                  {"S1", "9.75", "2024-03-01", "T"},
                  {"", "-12.50", "", ""},
                  {"S 3", "100.00", "1999-12-31", "F"},
                  {"A", "1.00", "2024-3-1", "T"},
                  {"A", "1.00", "\xc3\xbf\xc3\xbf\xc3\xbf\xc3\xbf-\xc3\xbf\xc3\xbf-", "T"}}));
  EXPECT_EQ(grid.Cell(0, 3), "  3");
}

TEST(DbaseTable, NativeFieldTypes) {
  ScratchFolder folder;
  const std::string path = WriteDbase(
      folder.Path("native.dbf"), {{"\xFE\xFF\xFF\xFF", "         7", "  0.50", "***"}}, -1, nullptr,
      {{"COUNT", 'I', 4, 0}, {"NOTE", 'M', 10, 0}, {"RATIO", 'F', 6, 2}, {"WIDE", 'N', 3, 0}});
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  // A binary integer, a memo whose text lies in another file, a float, an overflowed number.
  EXPECT_EQ(GridRows(grid), (Rows{{"COUNT", "NOTE", "RATIO", "WIDE"}, {"-2", "", "0.50", ""}}));
}

// shapelib writes under a lower-case extension, and a code page it names in a file beside;
// the table is then given its own name. No code page named: Windows-1252.
TEST(DbaseTable, AnyCaseOfExtensionAndTheNamedCodePage) {
  const char* const cases[][4] = {{"upper.DBF", nullptr, "caf\xE9", "caf\xC3\xA9"},
                                  {"mixed.Dbf", "UTF-8", "caf\xC3\xA9", "caf\xC3\xA9"},
                                  {"dotted.name.dbf", "850", "caf\x82", "caf\xC3\xA9"}};
  for (const auto& [name, codePage, stored, shown] : cases) {
    ScratchFolder folder;
    const std::string path = folder.Path(name);
    const std::string written = path.substr(0, path.rfind('.')) + ".dbf";
    std::filesystem::rename(WriteDbase(written, {{stored, "1", "20200101", "T"}}, -1, codePage),
                            path);
    DataGrid grid;
    ASSERT_EQ(ReadTable(path, grid), std::nullopt) << name;
    EXPECT_EQ(grid.Cell(1, 1), shown) << name;
  }
}

// ---- Paradox -----------------------------------------------------------------------------

struct ParadoxField {
  const char* Name;
  char Type;
  int Length;
};
const std::vector<ParadoxField> CoreLayout{{"SAMPLE", pxfAlpha, 10}, {"COUNT", pxfShort, 2},
                                           {"TOTAL", pxfLong, 4},    {"DEPTH", pxfNumber, 8},
                                           {"TAKEN", pxfDate, 4},    {"OK", pxfLogical, 1}};

long Day(int year, int month, int day) { return PX_GregorianToSdn(year, month, day) - 1721425; }

// Each value is the text of an alpha field or the number stored in any other; an empty value
// leaves the field empty.
std::string WriteParadox(const std::string& path, const Rows& records,
                         const std::vector<ParadoxField>& layout = CoreLayout) {
  pxdoc_t* doc = PX_new();
  const int count = static_cast<int>(layout.size());
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, count * sizeof(pxfield_t), "fields"));
  int size = 0;
  for (int j = 0; j < count; ++j) {
    fields[j] = {PX_strdup(doc, layout[j].Name), layout[j].Type, layout[j].Length, 0};
    size += layout[j].Length;
  }
  if (PX_create_file(doc, fields, count, path.c_str(), pxfFileTypNonIndexDB) < 0) return "";
  for (const auto& record : records) {
    std::vector<char> data(size, 0);
    char* at = data.data();
    for (int j = 0; j < count; at += layout[j++].Length) {
      if (record[j].empty()) continue;
      const double number = std::strtod(record[j].c_str(), nullptr);
      switch (layout[j].Type) {
        case pxfAlpha:
          PX_put_data_alpha(doc, at, layout[j].Length, const_cast<char*>(record[j].data()));
          break;
        case pxfShort: PX_put_data_short(doc, at, 2, static_cast<short>(number)); break;
        case pxfLogical: PX_put_data_byte(doc, at, 1, static_cast<char>(number)); break;
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp: PX_put_data_double(doc, at, 8, number); break;
        default:
          PX_put_data_long(doc, at, 4,
                           static_cast<int>(number));  // long, date, time, auto-increment
      }
    }
    PX_put_record(doc, data.data());
  }
  PX_close(doc);
  PX_delete(doc);
  return path;
}

Rows SameRecords(int count) {
  return Rows(count,
              std::vector<std::string>{"S", "1", "1", "1", std::to_string(Day(2000, 1, 1)), "1"});
}

TEST(ParadoxTable, FieldsAsAUserReadsThem) {
  std::vector<ParadoxField> layout = CoreLayout;
  layout.insert(layout.end(), {{"AT", pxfTime, 4},
                               {"STAMP", pxfTimestamp, 8},
                               {"AMOUNT", pxfCurrency, 8},
                               {"AUTO", pxfAutoInc, 4}});
  const std::string at =
      std::to_string(((13 * 60 + 5) * 60 + 9) * 1000 + 250);  // milliseconds of the day
  const std::string stamp =
      std::to_string((Day(2021, 7, 4) * 86400.0 + 23 * 3600 + 59 * 60 + 58) * 1000);
  ScratchFolder folder;
  const std::string path = WriteParadox(
      folder.Path("core.db"),
      {{"S1", "3", "70000", "9.75", std::to_string(Day(2024, 3, 1)), "1", at, stamp, "-12.5", "42"},
       {"", "-2", "-5", "0.1", "", "", "", "", "", ""},
       {"S3", "0", "0", "1e20", std::to_string(Day(1999, 12, 31)), "0", "", "", "", ""}},
      layout);
  ASSERT_FALSE(path.empty());
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  EXPECT_EQ(
      GridRows(grid),
      (Rows{{"SAMPLE", "COUNT", "TOTAL", "DEPTH", "TAKEN", "OK", "AT", "STAMP", "AMOUNT", "AUTO"},
            {"S1", "3", "70000", "9.75", "2024-03-01", "T", "13:05:09", "2021-07-04 23:59:58",
             "-12.5", "42"},
            {"", "-2", "-5", "0.1", "", "", "", "", "", ""},
            {"S3", "0", "0", "1e+20", "1999-12-31", "F", "", "", "", ""}}));
}

TEST(ParadoxTable, ReadOnlyFileOpens) {
  ScratchFolder folder;
  const std::string path = WriteParadox(folder.Path("ro.db"), SameRecords(1));
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  if (std::FILE* probe = std::fopen(path.c_str(), "r+")) {  // a user whom permissions do not stop
    std::fclose(probe);
    GTEST_SKIP() << "files cannot be made read-only here";
  }
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  EXPECT_EQ(grid.Cell(1, 1), "S");
}

// ---- Both --------------------------------------------------------------------------------

// 201 records are refused before the lists are filled; 200 load, in dBase also when they are
// what remains of 201 with one deleted.
TEST(TableFiles, TwoHundredAndOneRecordsRefusedBeforeTheLists) {
  ScratchFolder folder;
  const std::vector<std::vector<const char*>> records(201, {"S", "1", "20200101", "T"});
  const std::pair<std::string, std::string> cases[] = {
      {WriteDbase(folder.Path("big.dbf"), records), WriteDbase(folder.Path("ok.dbf"), records, 7)},
      {WriteParadox(folder.Path("big.db"), SameRecords(201)),
       WriteParadox(folder.Path("ok.db"), SameRecords(200))}};
  for (const auto& [refused, loaded] : cases) {
    DataGrid grid;
    ColumnLists lists;
    const std::optional<UserMessage> message = LoadDataFile(refused, grid, lists);
    EXPECT_TRUE(message) << refused;
    EXPECT_EQ(message, TooLarge) << refused;
    EXPECT_EQ(lists.Depth.Count(), 0);
    EXPECT_EQ(lists.Id.Count(), 1);
    EXPECT_FALSE(LoadDataFile(loaded, grid, lists)) << loaded;
    EXPECT_EQ(grid.RowCount(), 201);
  }
}

// shapelib drops the top bit of a dBase header's record count: counts from 2^31 on still
// exceed the grid's capacity rather than reading as no records at all.
TEST(TableFiles, DbaseRecordCountBeyondTheLibrarysRange) {
  ScratchFolder folder;
  std::string bytes =
      Bytes(WriteDbase(folder.Path("base.dbf"), {{"A", "    1.00", "20200101", "T"}}));
  for (const unsigned char top : {0x80, 0xFF}) {
    bytes[4] = bytes[5] = bytes[6] = static_cast<char>(top == 0x80 ? 0 : 0xFF);
    bytes[7] = static_cast<char>(top);
    DataGrid grid;
    ColumnLists lists;
    const std::optional<UserMessage> message =
        LoadDataFile(folder.Write("huge.dbf", bytes), grid, lists);
    EXPECT_TRUE(message);
    EXPECT_EQ(message, TooLarge) << int(top);
  }
}

// Damaged tables, each a valid one changed in one way, and missing files: an error of the
// engine that names the file, never a crash or a hang.
TEST(TableFiles, DamagedOrMissingFailWithTheirPath) {
  ScratchFolder folder;
  const std::string dbase =
      Bytes(WriteDbase(folder.Path("base.dbf"),
                       {{"A", "    1.00", "20200101", "T"}, {"B", "    2.00", "20200102", "F"}}));
  const std::string paradox = Bytes(WriteParadox(folder.Path("base.db"), SameRecords(60)));
  const struct {
    const char* Name;
    const char* Extension;
    void (*Damage)(std::string& bytes);  // null: no file
  } cases[] = {
      {"Truncated", ".dbf", [](std::string& b) { b.resize(b.size() - 20); }},
      {"HeaderOnly", ".dbf", [](std::string& b) { b.resize(32); }},
      {"Empty", ".dbf", [](std::string& b) { b.clear(); }},
      {"RecordCountTooLarge", ".dbf", [](std::string& b) { b[4] = 100; }},
      {"FieldWiderThanRecord", ".dbf", [](std::string& b) { b[32 + 16] = static_cast<char>(200); }},
      {"RecordLengthZero", ".dbf", [](std::string& b) { b[10] = b[11] = 0; }},
      {"HeaderLengthTiny", ".dbf",
       [](std::string& b) {
         b[8] = 1;
         b[9] = 0;
       }},
      {"NotDbaseAtAll", ".dbf", [](std::string& b) { b = "this is plain text, not a table"; }},
      {"Missing", ".dbf", nullptr},
      {"Truncated", ".db", [](std::string& b) { b.resize(b.size() / 2); }},
      {"HeaderOnly", ".db", [](std::string& b) { b.resize(0x58); }},
      {"Empty", ".db", [](std::string& b) { b.clear(); }},
      {"RecordSizeZero", ".db", [](std::string& b) { b[0] = b[1] = 0; }},
      // Found by fuzzing: pxlib looped for ever on a file cut inside its header.
      {"CutInsideTheHeader", ".db", [](std::string& b) { b.resize(2019); }},
      {"BlockChainInACircle", ".db",
       [](std::string& b) {
         b[2048] = 1;
         b[2049] = 0;
       }},
      {"FirstBlockOutside", ".db", [](std::string& b) { b[0x0E] = 99; }},
      {"RecordCountTooLarge", ".db", [](std::string& b) { b[6] = 61; }},
      {"RecordCountTooSmall", ".db", [](std::string& b) { b[6] = 59; }},
      {"BlockSizeZero", ".db", [](std::string& b) { b[5] = 0; }},
      // Found by fuzzing: pxlib spent hours on the key of a table marked as encrypted.
      {"Encrypted", ".db", [](std::string& b) { b[0x5C] = 1; }},
      {"EncryptedTheOldWay", ".db", [](std::string& b) { b[0x25] = 1; }},
      // Found by fuzzing: pxlib read names for ever when the header claimed 65535 fields.
      {"TooManyFields", ".db", [](std::string& b) { b[0x21] = b[0x22] = static_cast<char>(0xFF); }},
      {"FieldLengthsDisagree", ".db", [](std::string& b) { b[0x78 + 1] = 11; }},
      // Found by fuzzing: pxlib followed random block numbers in a table of version 15.
      {"UnknownVersion", ".db", [](std::string& b) { b[0x39] = 15; }},
      {"NotParadoxAtAll", ".db", [](std::string& b) { b = "this is plain text, not a table"; }},
      {"Missing", ".txt", nullptr},
  };
  for (const auto& c : cases) {
    const std::string name = std::string(c.Name) + c.Extension;
    std::string bytes = name.ends_with(".dbf") ? dbase : paradox;
    if (c.Damage) c.Damage(bytes);
    const std::string path = c.Damage ? folder.Write(name, bytes) : folder.Path(name);
    DataGrid grid;
    try {
      ReadTable(path, grid);
      ADD_FAILURE() << name << ": read without error";
    } catch (const TableEngineError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << name << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace vardell
