#pragma once
// The window tests' fixture: both windows as the program builds them, over scripted dialogs,
// with a known font and a twelve-object data file in a temporary folder.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <Qt>

#include "app/clustexec.h"
#include "app/form1.h"
#include "support_scripteddialogs.h"

class QListWidget;
class QTextBrowser;

namespace vardell {

// A row-column file of twelve objects: a depth column (listed out of order) and three data
// columns, lines ended by a carriage return and line feed. cell replaces row 7's last value.
QByteArray TwelveObjectFile(const QByteArray& cell = "13");

struct Windows {
  Windows();  // the parameter window shown, as at start-up
  QTemporaryDir Folder;
  ScriptedDialogs Dialogs;
  TClustExec Results{Dialogs};
  TForm1 Form{Results, Dialogs};
  QString Twelve;  // the twelve-object file

  QString Write(const QString& name, const QByteArray& bytes);  // into Folder; the full path
  // A control of the parameter window, else of the results window; "results/" picks the latter.
  QWidget* Find(const QString& name);
  template <typename T = QWidget>
  T* Control(const QString& name) {
    T* control = qobject_cast<T*>(Find(name));
    if (!control) qFatal("no control %s", qPrintable(name));
    return control;
  }
  void Click(const QString& button);
  void Load(const QString& path);  // "Data File", the dialog answered with path
  void Run() { Click(QStringLiteral("StartButton")); }
  void ClickCheckBox();
  // A click of the user on an entry, at the entry's place in the list's viewport.
  void ClickEntry(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
};

// "Minimum variance strategy*|Furthest neighbour": the entries, selected ones marked "*".
QString ListState(const QListWidget* list);
// "0,2,3": the positions of the selected entries.
QString SelectedRows(const QListWidget* list);
bool AllWhite(const QImage& image);
// The browsers of the help viewers shown.
QList<QTextBrowser*> ShownHelp();

}  // namespace vardell
