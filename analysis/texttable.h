#pragma once
// Text tables (.TXT, .CSV): delimited text with a header line of field names, or, where a
// schema file of the same name with the extension .SCH lies beside the table, the field
// list and the fixed or delimited layout that the schema gives.

#include <memory>
#include <string>

#include "analysis/tableengine.h"

namespace vardell {

// The name of the first column of a table written with row names: one whose every record
// has one field more than its header names.
inline const char* const RowNamesColumn = "ROW NAMES";

// Opens the text table at path. Throws TableEngineError when it or its schema cannot be read,
// TableRefused when a record has more fields than the table names or no line names a field.
std::unique_ptr<Table> OpenTextTable(const std::string& path);

}  // namespace vardell
