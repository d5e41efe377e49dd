#pragma once
// Where the help viewer finds the help file: the copy installed beside the program
// (share/vardell/vardell.html) or, without one, the copy built into the program.

#include <QUrl>

namespace vardell {

QUrl BuiltInHelpFile();
QUrl InstalledHelpFile();  // the installed copy when it exists, else the built-in one
void SetHelpFile(const QUrl& file);
QUrl HelpFile();

// The address of a help context in file: the contents page or a topic's anchor.
QUrl HelpTopic(const QUrl& file, int context);

}  // namespace vardell
