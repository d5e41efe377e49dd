#include <gtest/gtest.h>
extern "C" {  // pxlib's header does not declare C linkage itself
#include <paradox.h>
}
#include <shapefil.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "analysis/datagrid.h"
#include "analysis/fileloading.h"
#include "analysis/tableengine.h"
#include "test_loading_files.h"

namespace vardell {
namespace {

using testing::ScratchFolder;

const UserMessage TooLarge{DataParsingError, "Maximum size of data matrix exceeded."};

std::vector<std::vector<std::string>> DataRows(const DataGrid& grid) {
  std::vector<std::vector<std::string>> rows;
  for (int r = 1; r < grid.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 1; c < grid.ColCount(); ++c) rows.back().push_back(grid.Cell(c, r));
  }
  return rows;
}

std::vector<std::string> Names(const DataGrid& grid) {
  std::vector<std::string> names;
  for (int c = 1; c < grid.ColCount(); ++c) names.push_back(grid.Cell(c, 0));
  return names;
}

// ---- dBase -------------------------------------------------------------------------------

struct DbaseRecord {
  const char* Sample;  // null: a null value
  double Depth;
  const char* Date;
  char Logical;
  bool Deleted;
};

std::string WriteDbase(const std::string& path, const std::vector<DbaseRecord>& records,
                       const char* codePage = nullptr) {
  DBFHandle h = codePage ? DBFCreateEx(path.c_str(), codePage) : DBFCreate(path.c_str());
  if (h == nullptr) return "";
  DBFAddField(h, "SAMPLE", FTString, 10, 0);
  DBFAddField(h, "DEPTH", FTDouble, 8, 2);
  DBFAddField(h, "TAKEN", FTDate, 8, 0);
  DBFAddField(h, "OK", FTLogical, 1, 0);
  for (int r = 0; r < static_cast<int>(records.size()); ++r) {
    const DbaseRecord& rec = records[r];
    if (rec.Sample)
      DBFWriteStringAttribute(h, r, 0, rec.Sample);
    else
      DBFWriteNULLAttribute(h, r, 0);
    DBFWriteDoubleAttribute(h, r, 1, rec.Depth);
    if (rec.Date)
      DBFWriteAttributeDirectly(h, r, 2, const_cast<char*>(rec.Date));
    else
      DBFWriteNULLAttribute(h, r, 2);
    if (rec.Logical)
      DBFWriteLogicalAttribute(h, r, 3, rec.Logical);
    else
      DBFWriteNULLAttribute(h, r, 3);
    if (rec.Deleted) DBFMarkRecordDeleted(h, r, 1);
  }
  DBFClose(h);
  return path;
}

TEST(DbaseTable, FieldsAsAUserReadsThem) {
  ScratchFolder folder;
  const std::string path = WriteDbase(folder.Path("core.dbf"),
                                      {{"S1", 9.75, "20240301", 'T', false},
                                       {"gone", 1, "20000101", 'F', true},
                                       {nullptr, -12.5, nullptr, 0, false},
                                       {"S 3", 100, "19991231", 'F', false}});
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  EXPECT_EQ(Names(grid), (std::vector<std::string>{"SAMPLE", "DEPTH", "TAKEN", "OK"}));
  EXPECT_EQ(DataRows(grid), (std::vector<std::vector<std::string>>{
                                {"S1", "9.75", "2024-03-01", "T"},
                                {"", "-12.50", "", ""},
                                {"S 3", "100.00", "1999-12-31", "F"}}));
  EXPECT_EQ(grid.Cell(0, 3), "  3");
}

TEST(DbaseTable, NativeFieldTypes) {
  ScratchFolder folder;
  const std::string path = folder.Path("native.dbf");
  DBFHandle h = DBFCreate(path.c_str());
  DBFAddNativeFieldType(h, "COUNT", 'I', 4, 0);
  DBFAddNativeFieldType(h, "NOTE", 'M', 10, 0);
  DBFAddNativeFieldType(h, "RATIO", 'F', 6, 2);
  DBFAddNativeFieldType(h, "WIDE", 'N', 3, 0);
  DBFWriteAttributeDirectly(h, 0, 0, const_cast<char*>("\xFE\xFF\xFF\xFF"));
  DBFWriteAttributeDirectly(h, 0, 1, const_cast<char*>("         7"));
  DBFWriteAttributeDirectly(h, 0, 2, const_cast<char*>("  0.50"));
  DBFWriteAttributeDirectly(h, 0, 3, const_cast<char*>("***"));
  DBFClose(h);
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  // A binary integer, a memo whose text lies in another file, a float, an overflowed number.
  EXPECT_EQ(DataRows(grid), (std::vector<std::vector<std::string>>{{"-2", "", "0.50", ""}}));
}

TEST(DbaseTable, OpensWhateverTheCaseOfItsExtension) {
  ScratchFolder folder;
  for (const char* name : {"upper.DBF", "mixed.Dbf", "dotted.name.dbf"}) {
    const std::string wanted = folder.Path(name);
    // shapelib writes under a lower-case extension; the file is then given its own name.
    const std::string written = WriteDbase(folder.Path("tmp.dbf"), {{"A", 1, "20200202", 'T', false}});
    std::filesystem::rename(written, wanted);
    DataGrid grid;
    ASSERT_EQ(ReadTable(wanted, grid), std::nullopt) << name;
    EXPECT_EQ(grid.Cell(1, 1), "A") << name;
  }
}

struct CodePageCase {
  const char* Name;
  const char* CodePage;  // null: shapelib's default, which names Windows-1252
  const char* Stored;
  const char* Shown;
};

TEST(DbaseTable, DecodesTheNamedCodePage) {
  const CodePageCase cases[] = {
      {"Default1252", nullptr, "caf\xE9", "caf\xC3\xA9"},
      {"Utf8", "UTF-8", "caf\xC3\xA9", "caf\xC3\xA9"},
      {"Dos850", "850", "caf\x82", "caf\xC3\xA9"},
  };
  for (const CodePageCase& c : cases) {
    ScratchFolder folder;
    const std::string path =
        WriteDbase(folder.Path("cp.dbf"), {{c.Stored, 1, "20200101", 'T', false}}, c.CodePage);
    DataGrid grid;
    ASSERT_EQ(ReadTable(path, grid), std::nullopt) << c.Name;
    EXPECT_EQ(grid.Cell(1, 1), c.Shown) << c.Name;
  }
}

TEST(DbaseTable, TwoHundredAndOneRecordsRefusedBeforeTheLists) {
  ScratchFolder folder;
  std::vector<DbaseRecord> records(201, DbaseRecord{"S", 1, "20200101", 'T', false});
  const std::string path = WriteDbase(folder.Path("big.dbf"), records);
  DataGrid grid;
  ColumnLists lists;
  const LoadResult result = LoadDataFile(path, grid, lists);
  EXPECT_FALSE(result.Loaded);
  EXPECT_EQ(result.Message, TooLarge);
  EXPECT_EQ(lists.Depth.Count(), 0);
  EXPECT_EQ(lists.Id.Count(), 1);
  // With one of them deleted, two hundred remain and the table loads.
  records[7].Deleted = true;
  WriteDbase(path, records);
  EXPECT_TRUE(LoadDataFile(path, grid, lists).Loaded);
  EXPECT_EQ(grid.RowCount(), 201);
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Damaged files: each is a valid table changed in one way.
struct DamageCase {
  const char* Name;
  void (*Damage)(std::string& bytes);
};

TEST(DbaseTable, DamagedFilesFailWithAMessage) {
  const DamageCase cases[] = {
      {"Truncated", [](std::string& b) { b.resize(b.size() - 20); }},
      {"HeaderOnly", [](std::string& b) { b.resize(32); }},
      {"Empty", [](std::string& b) { b.clear(); }},
      {"RecordCountTooLarge", [](std::string& b) { b[4] = 100; }},
      {"FieldWiderThanRecord", [](std::string& b) { b[32 + 16] = static_cast<char>(200); }},
      {"RecordLengthZero", [](std::string& b) { b[10] = b[11] = 0; }},
      {"HeaderLengthTiny", [](std::string& b) { b[8] = 1; b[9] = 0; }},
      {"NotDbaseAtAll", [](std::string& b) { b = "this is plain text, not a table"; }},
  };
  for (const DamageCase& c : cases) {
    ScratchFolder folder;
    const std::string path = WriteDbase(folder.Path("d.dbf"), {{"A", 1, "20200101", 'T', false},
                                                               {"B", 2, "20200102", 'F', false}});
    std::string bytes = Bytes(path);
    c.Damage(bytes);
    folder.Write("d.dbf", bytes);
    DataGrid grid;
    try {
      const auto message = ReadTable(path, grid);
      ADD_FAILURE() << c.Name << ": read without error";
    } catch (const TableEngineError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << c.Name << ": " << e.what();
    }
  }
}

// Found by fuzzing: a date field holding other bytes than digits reached the grid undecoded.
TEST(DbaseTable, DateFieldWithoutDigitsIsDecodedText) {
  const struct {
    const char* Stored;
    const char* Shown;
  } cases[] = {{"\xff\xff\xff\xff-\xff\xff-", "\xc3\xbf\xc3\xbf\xc3\xbf\xc3\xbf-\xc3\xbf\xc3\xbf-"},
               {"2024-3-1", "2024-3-1"},
               {"20240301", "2024-03-01"}};
  for (const auto& c : cases) {
    ScratchFolder folder;
    const std::string path = WriteDbase(folder.Path("d.dbf"), {{"A", 1, c.Stored, 'T', false}});
    DataGrid grid;
    ASSERT_EQ(ReadTable(path, grid), std::nullopt);
    EXPECT_EQ(grid.Cell(3, 1), c.Shown);
  }
}

TEST(DbaseTable, MissingFileFails) {
  ScratchFolder folder;
  DataGrid grid;
  EXPECT_THROW(ReadTable(folder.Path("absent.dbf"), grid), TableEngineError);
}

// ---- Paradox -----------------------------------------------------------------------------

struct ParadoxField {
  const char* Name;
  char Type;
  int Length;
};

const ParadoxField ParadoxFields[] = {{"SAMPLE", pxfAlpha, 10}, {"COUNT", pxfShort, 2},
                                      {"TOTAL", pxfLong, 4},    {"DEPTH", pxfNumber, 8},
                                      {"TAKEN", pxfDate, 4},    {"OK", pxfLogical, 1}};

struct ParadoxRecord {
  const char* Sample;  // null: empty
  int Count;
  long Total;
  double Depth;
  int Year, Month, Day;  // Year 0: empty
  int Logical;           // -1: empty
};

// Writes a Paradox table of the given fields; fill puts record r's values into its bytes.
template <typename Fill>
std::string WriteParadoxWith(const std::string& path, const std::vector<ParadoxField>& layout,
                             int records, Fill fill) {
  pxdoc_t* doc = PX_new();
  const int count = static_cast<int>(layout.size());
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, count * sizeof(pxfield_t), "fields"));
  int size = 0;
  for (int j = 0; j < count; ++j) {
    fields[j].px_fname = PX_strdup(doc, layout[j].Name);
    fields[j].px_ftype = layout[j].Type;
    fields[j].px_flen = layout[j].Length;
    fields[j].px_fdc = 0;
    size += layout[j].Length;
  }
  if (PX_create_file(doc, fields, count, path.c_str(), pxfFileTypNonIndexDB) < 0) return "";
  std::vector<char> data(size);
  for (int r = 0; r < records; ++r) {
    std::fill(data.begin(), data.end(), 0);
    fill(doc, r, data.data());
    PX_put_record(doc, data.data());
  }
  PX_close(doc);
  PX_delete(doc);
  return path;
}

long ParadoxDay(int year, int month, int day) {
  return PX_GregorianToSdn(year, month, day) - 1721425;
}

std::string WriteParadox(const std::string& path, const std::vector<ParadoxRecord>& records) {
  const std::vector<ParadoxField> layout(std::begin(ParadoxFields), std::end(ParadoxFields));
  return WriteParadoxWith(path, layout, static_cast<int>(records.size()),
                          [&](pxdoc_t* doc, int index, char* at) {
    const ParadoxRecord& r = records[index];
    if (r.Sample) PX_put_data_alpha(doc, at, 10, const_cast<char*>(r.Sample));
    at += 10;
    PX_put_data_short(doc, at, 2, static_cast<short>(r.Count));
    at += 2;
    PX_put_data_long(doc, at, 4, static_cast<int>(r.Total));
    at += 4;
    PX_put_data_double(doc, at, 8, r.Depth);
    at += 8;
    if (r.Year) PX_put_data_long(doc, at, 4, static_cast<int>(ParadoxDay(r.Year, r.Month, r.Day)));
    at += 4;
    if (r.Logical >= 0) PX_put_data_byte(doc, at, 1, static_cast<char>(r.Logical));
  });
}

TEST(ParadoxTable, FieldsAsAUserReadsThem) {
  ScratchFolder folder;
  const std::string path =
      WriteParadox(folder.Path("core.db"), {{"S1", 3, 70000, 9.75, 2024, 3, 1, 1},
                                            {nullptr, -2, -5, 0.1, 0, 0, 0, -1},
                                            {"S3", 0, 0, 1e20, 1999, 12, 31, 0}});
  ASSERT_FALSE(path.empty());
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  EXPECT_EQ(Names(grid), (std::vector<std::string>{"SAMPLE", "COUNT", "TOTAL", "DEPTH", "TAKEN", "OK"}));
  const auto rows = DataRows(grid);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"S1", "3", "70000", "9.75", "2024-03-01", "T"}));
  EXPECT_EQ(rows[1][0], "");
  EXPECT_EQ(rows[1][1], "-2");
  EXPECT_EQ(rows[1][2], "-5");
  EXPECT_EQ(rows[1][3], "0.1");
  EXPECT_EQ(rows[1][4], "");
  EXPECT_EQ(rows[1][5], "");
  EXPECT_EQ(rows[2][3], "1e+20");
  EXPECT_EQ(rows[2][4], "1999-12-31");
  EXPECT_EQ(rows[2][5], "F");
}

TEST(ParadoxTable, TimesAndMoney) {
  ScratchFolder folder;
  const std::vector<ParadoxField> layout{
      {"AT", pxfTime, 4}, {"STAMP", pxfTimestamp, 8}, {"AMOUNT", pxfCurrency, 8}, {"AUTO", pxfAutoInc, 4}};
  const std::string path = WriteParadoxWith(folder.Path("t.db"), layout, 2, [](pxdoc_t* doc, int r, char* at) {
    if (r == 1) return;  // a record of empty fields
    PX_put_data_long(doc, at, 4, ((13 * 60 + 5) * 60 + 9) * 1000 + 250);
    const double day = static_cast<double>(ParadoxDay(2021, 7, 4));
    PX_put_data_double(doc, at + 4, 8, (day * 86400 + 23 * 3600 + 59 * 60 + 58) * 1000);
    PX_put_data_double(doc, at + 12, 8, -12.5);
    PX_put_data_long(doc, at + 20, 4, 42);
  });
  ASSERT_FALSE(path.empty());
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  EXPECT_EQ(DataRows(grid), (std::vector<std::vector<std::string>>{
                                {"13:05:09", "2021-07-04 23:59:58", "-12.5", "42"},
                                {"", "", "", ""}}));
}

TEST(ParadoxTable, ReadOnlyFileOpens) {
  ScratchFolder folder;
  const std::string path = WriteParadox(folder.Path("ro.db"), {{"S1", 3, 7, 9.75, 2024, 3, 1, 1}});
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  std::FILE* probe = std::fopen(path.c_str(), "r+");
  if (probe != nullptr) {  // running as a user whom permissions do not stop
    std::fclose(probe);
    GTEST_SKIP() << "files cannot be made read-only here";
  }
  DataGrid grid;
  ASSERT_EQ(ReadTable(path, grid), std::nullopt);
  EXPECT_EQ(grid.Cell(1, 1), "S1");
}

TEST(ParadoxTable, TwoHundredAndOneRecordsRefused) {
  ScratchFolder folder;
  const std::vector<ParadoxRecord> records(201, ParadoxRecord{"S", 1, 1, 1, 2000, 1, 1, 1});
  DataGrid grid;
  EXPECT_EQ(ReadTable(WriteParadox(folder.Path("big.db"), records), grid), TooLarge);
  const std::vector<ParadoxRecord> fewer(200, ParadoxRecord{"S", 1, 1, 1, 2000, 1, 1, 1});
  EXPECT_EQ(ReadTable(WriteParadox(folder.Path("ok.db"), fewer), grid), std::nullopt);
  EXPECT_EQ(grid.RowCount(), 201);
}

TEST(ParadoxTable, DamagedFilesFailWithAMessage) {
  const DamageCase cases[] = {
      {"Truncated", [](std::string& b) { b.resize(b.size() / 2); }},
      {"HeaderOnly", [](std::string& b) { b.resize(0x58); }},
      {"Empty", [](std::string& b) { b.clear(); }},
      {"RecordSizeZero", [](std::string& b) { b[0] = b[1] = 0; }},
      // Found by fuzzing: pxlib looped for ever on a file cut inside its header.
      {"CutInsideTheHeader", [](std::string& b) { b.resize(2019); }},
      {"BlockChainInACircle", [](std::string& b) { b[2048] = 1; b[2049] = 0; }},
      {"FirstBlockOutside", [](std::string& b) { b[0x0E] = 99; }},
      {"RecordCountTooLarge", [](std::string& b) { b[6] = 61; }},
      {"RecordCountTooSmall", [](std::string& b) { b[6] = 59; }},
      {"BlockSizeZero", [](std::string& b) { b[5] = 0; }},
      // Found by fuzzing: pxlib spent hours on the key of a table marked as encrypted.
      {"Encrypted", [](std::string& b) { b[0x5C] = 1; }},
      {"EncryptedTheOldWay", [](std::string& b) { b[0x25] = 1; }},
      // Found by fuzzing: pxlib read names for ever when the header claimed 65535 fields.
      {"TooManyFields", [](std::string& b) { b[0x21] = b[0x22] = static_cast<char>(0xFF); }},
      {"FieldLengthsDisagree", [](std::string& b) { b[0x78 + 1] = 11; }},
      // Found by fuzzing: pxlib followed random block numbers in a table of version 15.
      {"UnknownVersion", [](std::string& b) { b[0x39] = 15; }},
      {"NotParadoxAtAll", [](std::string& b) { b = "this is plain text, not a table"; }},
  };
  for (const DamageCase& c : cases) {
    ScratchFolder folder;
    std::vector<ParadoxRecord> records(60, ParadoxRecord{"S", 1, 1, 1, 2000, 1, 1, 1});
    const std::string path = WriteParadox(folder.Path("d.db"), records);
    std::string bytes = Bytes(path);
    c.Damage(bytes);
    folder.Write("d.db", bytes);
    DataGrid grid;
    try {
      ReadTable(path, grid);
      ADD_FAILURE() << c.Name << ": read without error";
    } catch (const TableEngineError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << c.Name << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace vardell
