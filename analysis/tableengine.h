#pragma once
// The table engine: opens dBase, Paradox and text tables by their full path and gives record
// and field counts, field names and each record's field values as text.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "analysis/datagrid.h"
#include "analysis/usermessage.h"

namespace vardell {

// A failure of the table engine or of reading the disk: an unexpected error whose text is
// the library's or the system's own.
class TableEngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A table that can be read but not loaded as it stands; the message tells the user why.
class TableRefused : public TableEngineError {
 public:
  explicit TableRefused(UserMessage message)
      : TableEngineError(message.Text), Message(std::move(message)) {}
  UserMessage Message;
};

// An open table with a cursor on one record, starting at the first. Fields count from 0.
class Table {
 public:
  virtual ~Table() = default;
  virtual int RecordCount() const = 0;
  virtual int FieldCount() const = 0;
  virtual std::string FieldName(int field) const = 0;
  // The value of a field of the current record as a user reads it: numbers without padding,
  // dates as YYYY-MM-DD, logicals as T or F, empty for null.
  virtual std::string FieldText(int field) = 0;
  virtual void Next() = 0;
};

enum class TableFormat { Dbase, Paradox, Text, Unknown };

// The format of a table by the extension of its file name (.DBF, .DB, .TXT or .CSV).
TableFormat TableFormatOf(const std::string& path);

// Opens the table at path. Throws TableEngineError when the file cannot be read as one.
std::unique_ptr<Table> OpenTable(const std::string& path);

// Reads the table into grid: sizes, field texts, field names in row 0 and row numbers in
// column 0. Returns the message for the user when the table is too large or refused (grid
// untouched then). Throws TableEngineError on a failure of the engine; grid must then be thrown
// away.
std::optional<UserMessage> ReadTable(const std::string& path, DataGrid& grid);

}  // namespace vardell
