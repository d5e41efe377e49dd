#include "analysis/fileloading.h"

#include <cctype>
#include <filesystem>

#include "analysis/regularfile.h"
#include "analysis/rowcolumnreader.h"

namespace vardell {
namespace {

void FillColumnLists(const DataGrid& grid, ColumnLists& lists) {
  for (int j = 1; j < grid.ColCount(); ++j) {
    const std::string& name = grid.Cell(j, 0);
    lists.Depth.Add(name);
    lists.Id.Add(name);
    lists.DataCol.Add(name);
  }
  if (lists.Depth.Count() > 0) lists.Depth.SelectOnly(0);
  lists.DataCol.SelectAll();
}

}  // namespace

void ResetColumnLists(ColumnLists& lists) {
  lists.Depth.Clear();
  lists.Id.Clear();
  lists.DataCol.Clear();
  lists.Id.Add("NONE");
  lists.Id.SelectOnly(0);
}

std::string FileKind(const std::string& path) {
  std::filesystem::path file(path);
  if (!file.has_filename()) file = file.parent_path();  // "x.dat/" is named x.dat
  const std::string name = file.filename().string();
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) return "";
  std::string kind = name.substr(dot + 1, 3);
  for (char& c : kind) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return kind;
}

std::optional<UserMessage> LoadDataFile(const std::string& path, DataGrid& grid,
                                        ColumnLists& lists) {
  ResetColumnLists(lists);
  if (IsSpecialFile(path)) return UserMessage{IoError, SpecialFileText};
  // The file is read into a copy, so a load that fails part-way leaves the grid as it was;
  // the copy keeps the cells a load does not write, as resizing the grid itself would.
  DataGrid loaded = grid;
  const std::optional<UserMessage> message =
      FileKind(path) == "DAT" ? ReadRowColumnFile(path, loaded) : ReadTable(path, loaded);
  if (message) return message;
  grid = std::move(loaded);
  FillColumnLists(grid, lists);
  return std::nullopt;
}

}  // namespace vardell
