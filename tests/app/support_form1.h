#pragma once
// Helpers for the parameter-window tests: a known font, data files in a temporary folder,
// user clicks on list entries, and a compact text form of a list's entries and selection.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <Qt>

class QListWidget;
class QTemporaryDir;

namespace vardell {

// Registers DejaVu Sans, so text metrics do not depend on the machine.
void RegisterTestFont();

// Writes bytes to name in folder and returns the full path.
QString WriteTestFile(const QTemporaryDir& folder, const QString& name, const QByteArray& bytes);

// A row-column file of twelve objects: a depth column (listed out of order) and three data
// columns, lines ended by a carriage return and line feed. cell replaces row 7's last value.
QByteArray TwelveObjectFile(const QByteArray& cell = "13");

// A click of the user on an entry, at the entry's place in the list's viewport.
void ClickEntry(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// "Minimum variance strategy*|Furthest neighbour": the entries in order, selected ones
// marked with "*".
QString ListState(const QListWidget* list);

// "0,2,3": the positions of the selected entries.
QString SelectedRows(const QListWidget* list);

bool AllWhite(const QImage& image);

}  // namespace vardell
