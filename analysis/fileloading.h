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

// The open dialog's filter, entries separated by "|" as description|pattern pairs, and the
// entry (counted from 1) chosen when the dialog opens: the row-column files.
inline const char* const OpenDialogFilter =
    "SDF Text files (*.txt)|*.TXT|DBase files (*.dbf)|*.DBF|Paradox files (*.db)|*.DB|"
    "Row-Column ASCII (*.DAT)|*.DAT|Comma-separated text (*.csv)|*.CSV|All files (*.*)|*.*";
constexpr int OpenDialogFilterIndex = 4;

// The message for a FIFO, a device or a socket chosen as data file.
inline const char* const SpecialFileText = "Data file is not a regular file.";

struct LoadResult {
  bool Loaded = false;                 // true: reveal the analysis controls
  std::optional<UserMessage> Message;  // the message to show when the load failed
};

// Empties the three column lists and puts "NONE", selected, into the identifier list: what
// the "Data File" command does before its dialog opens, also when the dialog is cancelled.
void ResetColumnLists(ColumnLists& lists);

// The kind of a file: the three characters after the first "." of the file's own name (the
// last component of the path; folder names often hold full stops), in capitals, and empty for
// a name without one. "DAT" selects the row-column reader, anything else the table engine.
std::string FileKind(const std::string& path);

// Reads the file at path. On success the grid and the lists hold the file and Loaded is true.
// On a message or an exception the grid is exactly as it was and the lists as the reset left
// them. Throws TableEngineError for failures of a table library or of the disk.
LoadResult LoadDataFile(const std::string& path, DataGrid& grid, ColumnLists& lists);

}  // namespace vardell
