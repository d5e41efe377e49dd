#include "app/userdialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

#include "app/fontdialog.h"

namespace vardell {
namespace {

// Dialogs without an explicit parent belong to the window the user is working in.
QWidget* Owner(QWidget* parent) { return parent ? parent : QApplication::activeWindow(); }

// "*.DAT" -> "*.DAT *.dat", so the dialog lists files whatever the case of their extension;
// "*.*" means every file, also one without an extension.
QString CaseVariants(const QString& patterns) {
  QStringList variants;
  for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
    const QString trimmed = pattern.trimmed();
    if (trimmed == QStringLiteral("*.*")) {
      variants << QStringLiteral("*");
      continue;
    }
    for (const QString& variant : {trimmed, trimmed.toUpper(), trimmed.toLower()})
      if (!variants.contains(variant)) variants << variant;
  }
  return variants.join(u' ');
}

// A description's own "(*.txt)" is replaced by the patterns the dialog really applies.
QString WithoutPatternNote(const QString& description) {
  const QString trimmed = description.trimmed();
  const qsizetype open = trimmed.lastIndexOf(u'(');
  if (open > 0 && trimmed.endsWith(u')')) return trimmed.left(open).trimmed();
  return trimmed;
}

// "Desc|PAT|Desc|PAT" -> Qt's name filters "Desc (PAT)".
QStringList QtNameFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    filters << WithoutPatternNote(parts[i]) + QStringLiteral(" (") + CaseVariants(parts[i + 1]) +
                   QStringLiteral(")");
  return filters;
}

}  // namespace

DialogAnswer QtUserDialogs::ShowMessage(const QString& caption, const QString& text,
                                        MessageButtons buttons, MessageIcon icon) {
  QMessageBox box(Owner(parent_));
  box.setWindowTitle(caption);
  box.setText(text);
  box.setIcon(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
  box.setStandardButtons(buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                             : QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok ? DialogAnswer::Ok : DialogAnswer::Cancel;
}

std::optional<QString> QtUserDialogs::OpenFileName(const QString& filter, int filterIndex,
                                                   const QString& folder) {
  QFileDialog dialog(Owner(parent_));
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) dialog.setDirectory(folder);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QStringList filters = QtNameFilters(filter);
  dialog.setNameFilters(filters);
  if (filterIndex >= 1 && filterIndex <= filters.size())
    dialog.selectNameFilter(filters[filterIndex - 1]);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

std::optional<QString> QtUserDialogs::SaveFileName(const QString& filter,
                                                   const QString& defaultExtension) {
  QFileDialog dialog(Owner(parent_));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(QtNameFilters(filter));
  dialog.setDefaultSuffix(defaultExtension);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().first();
  const QString path = WithDefaultExtension(chosen, defaultExtension);
  // The dialog asked about the name it returned; a name completed here is asked about anew.
  if (path != chosen && QFileInfo::exists(path)) {
    const QMessageBox::StandardButton answer = QMessageBox::question(
        Owner(parent_), QStringLiteral("Confirm Save As"),
        QFileInfo(path).fileName() + QStringLiteral(" already exists.\nDo you want to replace it?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return std::nullopt;
  }
  return path;
}

std::optional<QFont> QtUserDialogs::ChooseFont(const QFont& initial) {
  FontDialog dialog(initial, Owner(parent_));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.SelectedFont();
}

bool QtUserDialogs::SetupPrinter(QPrinter& printer) {
  QPrintDialog dialog(&printer, Owner(parent_));
  return dialog.exec() == QDialog::Accepted;
}

QString WithDefaultExtension(const QString& path, const QString& extension) {
  const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
  const QString name = path.mid(slash + 1);
  if (name.isEmpty() || name.contains(u'.') || extension.isEmpty()) return path;
  return path + u'.' + extension;
}

void ReportUnexpectedError(UserDialogs& dialogs, const std::exception& error) {
  dialogs.ShowMessage(QStringLiteral("vardell"), QString::fromUtf8(WithFullStop(error.what())),
                      MessageButtons::Ok, MessageIcon::Error);
}

void ShowUserMessage(UserDialogs& dialogs, const UserMessage& message) {
  dialogs.ShowMessage(QString::fromStdString(message.Caption), QString::fromStdString(message.Text),
                      MessageButtons::Ok, MessageIcon::None);
}

}  // namespace vardell
