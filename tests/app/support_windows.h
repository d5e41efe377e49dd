#pragma once
// The window tests' fixture: both windows as the program builds them, over scripted dialogs,
// with a known font and a twelve-object data file in a temporary folder.

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "app/clustexec.h"
#include "app/form1.h"
#include "support_scripteddialogs.h"

namespace vardell {

// A row-column file of twelve objects: a depth column (listed out of order) and three data
// columns, lines ended by a carriage return and line feed. cell replaces row 7's last value.
inline QByteArray TwelveObjectFile(const QByteArray& cell = "13") {
  // depth, then three variables; rows 4 and 9 hold a change of the sediment
  static const char* const rows[12] = {"10 1.0 20 3",  "20 1.2 21 3",   "30 0.9 22 4",
                                       "45 5.0 60 9",  "50 5.5 58 10",  "40 4.8 61 9",
                                       "60 2.0 30 ",   "70 2.2 29 5",   "80 2.1 31 6",
                                       "90 8.0 80 15", "100 8.4 79 16", "110 7.9 82 15"};
  QByteArray bytes = "12 4\r\n";
  for (int row = 0; row < 12; ++row) bytes += rows[row] + (row == 6 ? cell : "") + "\r\n";
  return bytes;
}

struct Windows {
  QTemporaryDir Folder;
  ScriptedDialogs Dialogs;
  TClustExec Results{Dialogs};
  TForm1 Form{Results, Dialogs};
  QString Twelve = Write(QStringLiteral("twelve.dat"), TwelveObjectFile());

  Windows() {  // the parameter window shown, as at start-up, in a font every machine has
    // The user's settings live in the test's folder, so that no test reads or writes the
    // real ones and each starts without any.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder.filePath("config"));
    static const int font = QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    Q_UNUSED(font);
    Form.show();
    if (!QTest::qWaitForWindowExposed(&Form)) qFatal("parameter window not shown");
  }
  QString Write(const QString& name, const QByteArray& bytes) {  // into Folder; the full path
    QFile file(Folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
      qFatal("cannot write %s", qPrintable(name));
    return file.fileName();
  }
  // A control of the parameter window, else of the results window; "results/" picks the latter.
  template <typename T = QWidget>
  T* Control(const QString& name) {
    QWidget* found = name == Form.objectName() ? &Form : Form.findChild<QWidget*>(name);
    if (!found || name.startsWith(QStringLiteral("results/")))
      found = Results.findChild<QWidget*>(name.section(u'/', -1));
    T* control = qobject_cast<T*>(found);
    if (!control) qFatal("no control %s", qPrintable(name));
    return control;
  }
  // A click, and the command it starts, which runs once the click has been delivered.
  void Click(const QString& button) {
    QTest::mouseClick(Control<QAbstractButton>(button), Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
  }
  void Load(const QString& path) {  // "Data File", the dialog answered with path
    Dialogs.OpenAnswers.push_back(path);
    Click(QStringLiteral("FileOpen"));
  }
  void Run() { Click(QStringLiteral("StartButton")); }
  // What a save command writes: the save dialog answered with name in Folder, the button
  // clicked, the file read back (empty where there is none).
  QByteArray SavedBy(const QString& button, const QString& name) {
    Dialogs.SaveAnswers.push_back(Folder.filePath(name));
    Click(button);
    QFile file(Folder.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void ClickCheckBox() {
    auto* box = Control<QCheckBox>(QStringLiteral("CheckBox1"));
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
  }
};

// The browsers of the help viewers shown.
inline QList<QTextBrowser*> ShownHelp() {
  QList<QTextBrowser*> shown;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->objectName() == QStringLiteral("HelpViewer") && window->isVisible())
      shown << window->findChild<QTextBrowser*>();
  return shown;
}

}  // namespace vardell
