#pragma once
// Loading a data file into the grid and the column lists: what the "Data File" command does
// once its dialog has returned a path.

#include <optional>
#include <string>

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"
#include "analysis/tableengine.h"
#include "analysis/usermessage.h"

namespace vardell {

// The message for a FIFO, a device or a socket chosen as data file.
inline const char* const SpecialFileText = "Data file is not a regular file.";

// Empties the three column lists and puts "NONE", selected, into the identifier list: what
// the "Data File" command does before its dialog opens, also when the dialog is cancelled.
void ResetColumnLists(ColumnLists& lists);

// The kind of a file: the three characters after the first "." of the file's own name (the
// last component of the path; folder names often hold full stops), in capitals, and empty for
// a name without one. "DAT" selects the row-column reader, anything else the table engine.
std::string FileKind(const std::string& path);

// Reads the file at path. On success the grid and the lists hold the file and nothing is
// returned. On a message for the user or an exception the grid is exactly as it was and the
// lists as the reset left them. Throws TableEngineError for failures of a table library or
// of the disk.
std::optional<UserMessage> LoadDataFile(const std::string& path, DataGrid& grid,
                                        ColumnLists& lists);

}  // namespace vardell
