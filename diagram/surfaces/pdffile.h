#pragma once
// PDF files written by a QPrinter. Qt's PDF writer ignores failed writes and reports success,
// so a full disk would leave a truncated file; here the file is written beside its target,
// checked and renamed onto it only when complete.

#include <functional>
#include <string_view>

class QPrinter;

namespace vardell {

// True when bytes end as a complete PDF file does: the last cross-reference offset points at
// the cross-reference table, and "%%EOF" ends the file.
bool PdfIsComplete(std::string_view bytes);

// Runs print, which draws on printer. When printer writes a PDF file, the file is written
// beside its name and renamed onto it only when print succeeded and the file is complete;
// throws WriteError(name) otherwise, leaving an earlier file of that name untouched. Other
// printers are handed to print as they are.
void PrintAtomically(QPrinter& printer, const std::function<void()>& print);

}  // namespace vardell
