#include "analysis/tableengine.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "analysis/capacities.h"
#include "analysis/dbasetable.h"
#include "analysis/paradoxtable.h"
#include "analysis/rowcolumnreader.h"
#include "analysis/texttable.h"

namespace vardell {

TableFormat TableFormatOf(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (extension == ".DBF") return TableFormat::Dbase;
  if (extension == ".DB") return TableFormat::Paradox;
  if (extension == ".TXT" || extension == ".CSV") return TableFormat::Text;
  return TableFormat::Unknown;
}

std::unique_ptr<Table> OpenTable(const std::string& path) {
  switch (TableFormatOf(path)) {
    case TableFormat::Dbase: return OpenDbaseTable(path);
    case TableFormat::Paradox: return OpenParadoxTable(path);
    case TableFormat::Text: return OpenTextTable(path);
    case TableFormat::Unknown: break;
  }
  throw TableEngineError("Cannot open " + path +
                         ": not a table (the engine reads .DBF, .DB, .TXT and .CSV files)");
}

std::optional<UserMessage> ReadTable(const std::string& path, DataGrid& grid) {
  std::unique_ptr<Table> table;
  try {
    table = OpenTable(path);
  } catch (const TableRefused& refused) {
    return refused.Message;
  }
  const int records = table->RecordCount();
  const int fields = table->FieldCount();
  if (fields > MaxFileColumns || records > MaxObjects)
    return UserMessage{DataParsingError, "Maximum size of data matrix exceeded."};
  grid.SetRowCount(records + 1);
  grid.SetColCount(fields + 1);
  for (int r = 1; r <= records; ++r) {
    for (int j = 1; j <= fields; ++j) grid.SetCell(j, r, table->FieldText(j - 1));
    table->Next();
    grid.SetCell(0, r, RowNumberText(r));
  }
  for (int j = 1; j <= fields; ++j) grid.SetCell(j, 0, table->FieldName(j - 1));
  return std::nullopt;
}

}  // namespace vardell
