#pragma once
// What the program keeps between its runs, in Qt's settings in the user's configuration
// folder (vardell/vardell.conf there): the folder of the last data file opened.

#include <QString>

namespace vardell {

// The folder the open dialog starts in; empty before the first file is opened.
QString LastDataFolder();
// Remembers the folder of the data file at path (absolute or relative to the current folder).
void RememberDataFile(const QString& path);

}  // namespace vardell
