#include "support_windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QListWidget>
#include <QStringList>
#include <QTextBrowser>
#include <QtTest>

namespace vardell {

QByteArray TwelveObjectFile(const QByteArray& cell) {
  // depth, then three variables; rows 4 and 9 hold a change of the sediment
  static const char* const rows[12] = {
      "10 1.0 20 3",  "20 1.2 21 3",  "30 0.9 22 4",  "45 5.0 60 9",   "50 5.5 58 10",
      "40 4.8 61 9",  "60 2.0 30 ",   "70 2.2 29 5",  "80 2.1 31 6",   "90 8.0 80 15",
      "100 8.4 79 16", "110 7.9 82 15"};
  QByteArray bytes = "12 4\r\n";
  for (int row = 0; row < 12; ++row) bytes += rows[row] + (row == 6 ? cell : "") + "\r\n";
  return bytes;
}

Windows::Windows() {
  // text metrics must not depend on the machine's fonts
  static const int font =
      QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
  Q_UNUSED(font);
  Twelve = Write(QStringLiteral("twelve.dat"), TwelveObjectFile());
  Form.show();
  if (!QTest::qWaitForWindowExposed(&Form)) qFatal("parameter window not shown");
}

QString Windows::Write(const QString& name, const QByteArray& bytes) {
  const QString path = Folder.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
    qFatal("cannot write %s", qPrintable(path));
  return path;
}

QWidget* Windows::Find(const QString& name) {
  if (name.startsWith(QStringLiteral("results/"))) return Results.findChild<QWidget*>(name.mid(8));
  if (name == Form.objectName()) return &Form;
  QWidget* control = Form.findChild<QWidget*>(name);
  return control ? control : Results.findChild<QWidget*>(name);
}

void Windows::Click(const QString& button) {
  QTest::mouseClick(Control<QAbstractButton>(button), Qt::LeftButton);
}

void Windows::Load(const QString& path) {
  Dialogs.OpenAnswers.push_back(path);
  Click(QStringLiteral("FileOpen"));
}

void Windows::ClickCheckBox() {
  auto* box = Control<QCheckBox>(QStringLiteral("CheckBox1"));
  QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
}

void Windows::ClickEntry(QListWidget* list, int row, Qt::KeyboardModifiers modifiers) {
  QListWidgetItem* item = list->item(row);
  if (!item) qFatal("no entry %d in %s", row, qPrintable(list->objectName()));
  list->scrollToItem(item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                    list->visualItemRect(item).center());
}

QString ListState(const QListWidget* list) {
  QStringList entries;
  for (int row = 0; row < list->count(); ++row)
    entries << list->item(row)->text() + (list->item(row)->isSelected() ? "*" : "");
  return entries.join(u'|');
}

QString SelectedRows(const QListWidget* list) {
  QStringList rows;
  for (int row = 0; row < list->count(); ++row)
    if (list->item(row)->isSelected()) rows << QString::number(row);
  return rows.join(u',');
}

bool AllWhite(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x)
      if ((rgb.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu) return false;
  return true;
}

QList<QTextBrowser*> ShownHelp() {
  QList<QTextBrowser*> shown;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->objectName() == QStringLiteral("HelpViewer") && window->isVisible())
      shown << window->findChild<QTextBrowser*>();
  return shown;
}

}  // namespace vardell
