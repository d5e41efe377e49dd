#pragma once
// The reader of the program's own row-column text files: a header with the number of rows
// and columns, then one line of space-separated values per row.

#include <optional>
#include <string>
#include <string_view>

#include "analysis/datagrid.h"
#include "analysis/usermessage.h"

namespace vardell {

// "COLUMN" followed by the column number right-aligned in 3 characters.
std::string RowColumnName(int column);

// A row number right-aligned in 3 characters, as column 0 of the grid shows it.
std::string RowNumberText(int row);

// Reads the file into grid: sizes, cells, column names in row 0 and row numbers in
// column 0. Returns the message for the user when the file is refused or corrupt; grid is
// then partly written and must be thrown away. Throws TableEngineError on a read error.
std::optional<UserMessage> ReadRowColumnFile(const std::string& path, DataGrid& grid);

// The same over the bytes of a file already in memory.
std::optional<UserMessage> ReadRowColumnBytes(std::string_view bytes, DataGrid& grid);

}  // namespace vardell
