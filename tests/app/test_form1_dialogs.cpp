// The real user dialogs, answered by a driver that acts on each modal window as it appears,
// and the general handler of unexpected errors.

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>

#include "analysis/storagereal.h"
#include "app/form1.h"
#include "app/userdialogs.h"
#include "support_form1.h"
#include "support_modaldriver.h"
#include "support_scripteddialogs.h"

using namespace vardell;

Q_DECLARE_METATYPE(vardell::MessageButtons)
Q_DECLARE_METATYPE(vardell::MessageIcon)
Q_DECLARE_METATYPE(vardell::DialogAnswer)

namespace {

// What the user types into the file name field of the dialog.
void TypeFileName(QFileDialog* dialog, const QString& name) {
  auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(field);
  field->setText(name);
}

}  // namespace

class TestForm1Dialogs : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterTestFont(); }

  void messageBoxes_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<bool>("pressOk");
    QTest::addColumn<DialogAnswer>("answer");
    QTest::newRow("data message") << "I/O ERROR" << "Data file corrupt." << MessageButtons::Ok
                                  << MessageIcon::None << true << DialogAnswer::Ok;
    QTest::newRow("number check, ok") << "Input error" << "Invalid number." << MessageButtons::OkCancel
                                      << MessageIcon::None << true << DialogAnswer::Ok;
    QTest::newRow("number check, cancel") << "Input error" << "Invalid number."
                                          << MessageButtons::OkCancel << MessageIcon::None << false
                                          << DialogAnswer::Cancel;
    QTest::newRow("unexpected error") << "vardell" << "Floating point overflow." << MessageButtons::Ok
                                      << MessageIcon::Error << true << DialogAnswer::Ok;
  }
  void messageBoxes() {
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QFETCH(MessageButtons, buttons);
    QFETCH(MessageIcon, icon);
    QFETCH(bool, pressOk);
    QMessageBox::StandardButtons offered;
    QString title, shown;
    QMessageBox::Icon shownIcon = QMessageBox::Information;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      title = box->windowTitle();
      shown = box->text();
      shownIcon = box->icon();
      offered = box->standardButtons();
      box->button(pressOk ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    QtUserDialogs dialogs;
    const DialogAnswer answer = dialogs.ShowMessage(caption, text, buttons, icon);
    QVERIFY(driver.Done());
    QCOMPARE(title, caption);
    QCOMPARE(shown, text);
    QCOMPARE(shownIcon, icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
    QCOMPARE(offered, buttons == MessageButtons::Ok ? QMessageBox::Ok
                                                    : QMessageBox::Ok | QMessageBox::Cancel);
    QTEST(answer, "answer");
  }

  void openDialogOffersEveryCaseOfTheExtensions() {
    QTemporaryDir folder;
    const QString path = WriteTestFile(folder, QStringLiteral("Core.Dat"), "1 1\r\n5\r\n");
    QStringList filters;
    QString selected;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      filters = dialog->nameFilters();
      selected = dialog->selectedNameFilter();
      dialog->setDirectory(folder.path());
      TypeFileName(dialog, path);
      static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    });
    QtUserDialogs dialogs;
    const std::optional<QString> chosen = dialogs.OpenFileName(DataFileFilter, DataFileFilterIndex);
    QVERIFY(driver.Done());
    QCOMPARE(filters, QStringList({"SDF Text files (*.TXT *.txt)", "DBase files (*.DBF *.dbf)",
                                   "Paradox files (*.DB *.db)", "Row-Column ASCII (*.DAT *.dat)",
                                   "Comma-separated text (*.CSV *.csv)", "All files (*)"}));
    QCOMPARE(selected, QStringLiteral("Row-Column ASCII (*.DAT *.dat)"));
    QVERIFY(chosen);
    QCOMPARE(QFileInfo(*chosen).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
  }

  void cancelledDialogsGiveNothing() {
    ModalDriver driver;
    const auto reject = [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); };
    driver.Then(reject).Then(reject).Then(reject).Then(reject);
    QtUserDialogs dialogs;
    QVERIFY(!dialogs.OpenFileName(DataFileFilter, DataFileFilterIndex));
    QVERIFY(!dialogs.SaveFileName(QStringLiteral("Windows Metafile (*.EMF)|*.EMF"),
                                  QStringLiteral("EMF")));
    QVERIFY(!dialogs.ChooseFont(QFont(QStringLiteral("DejaVu Sans"), 9)));
    QPrinter printer;
    QVERIFY(!dialogs.SetupPrinter(printer));
    QVERIFY(driver.Done());
    QCOMPARE(driver.Seen, QStringList({"QFileDialog", "QFileDialog", "QFontDialog", "QPrintDialog"}));
  }

  void saveDialogCompletesAndAsksBeforeOverwriting_data() {
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("overwrite");  // 0 not asked, 1 yes, 2 no
    QTest::addColumn<QString>("result");  // empty: nothing chosen
    QTest::newRow("new name gets the extension") << "" << "tree" << 0 << "tree.EMF";
    QTest::newRow("typed extension kept") << "" << "tree.emf" << 0 << "tree.emf";
    QTest::newRow("existing file, replace") << "tree.EMF" << "tree" << 1 << "tree.EMF";
    QTest::newRow("existing file, keep") << "tree.EMF" << "tree" << 2 << "";
  }
  void saveDialogCompletesAndAsksBeforeOverwriting() {
    QFETCH(QString, existing);
    QFETCH(QString, typed);
    QFETCH(int, overwrite);
    QFETCH(QString, result);
    QTemporaryDir folder;
    if (!existing.isEmpty()) WriteTestFile(folder, existing, "old");
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      dialog->setDirectory(folder.path());
      TypeFileName(dialog, typed);
      static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    });
    if (overwrite != 0) {
      driver.Then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        box->button(overwrite == 1 ? QMessageBox::Yes : QMessageBox::No)->click();
      });
    }
    if (overwrite == 2)
      driver.Then([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    QtUserDialogs dialogs;
    const std::optional<QString> chosen =
        dialogs.SaveFileName(QStringLiteral("Windows Metafile (*.EMF)|*.EMF"), QStringLiteral("EMF"));
    QVERIFY(driver.Done());
    if (result.isEmpty()) {
      QVERIFY(!chosen);
    } else {
      QVERIFY(chosen);
      QCOMPARE(QFileInfo(*chosen).fileName(), result);
      QCOMPARE(QFileInfo(*chosen).absolutePath(), QFileInfo(folder.path()).absoluteFilePath());
    }
  }

  void defaultExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bare name") << "/tmp/tree" << "/tmp/tree.EMF";
    QTest::newRow("own extension") << "/tmp/tree.emf" << "/tmp/tree.emf";
    QTest::newRow("other extension") << "/tmp/tree.wmf" << "/tmp/tree.wmf";
    QTest::newRow("dot in a folder only") << "/tmp/a.b/tree" << "/tmp/a.b/tree.EMF";
    QTest::newRow("backslash folders") << "C:\\a.b\\tree" << "C:\\a.b\\tree.EMF";
    QTest::newRow("relative name") << "tree" << "tree.EMF";
    QTest::newRow("no file name") << "/tmp/" << "/tmp/";
    QTest::newRow("empty") << "" << "";
  }
  void defaultExtension() {
    QFETCH(QString, path);
    QTEST(WithDefaultExtension(path, QStringLiteral("EMF")), "expected");
  }

  void unexpectedErrorText_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letter") << "Floating point overflow" << "Floating point overflow.";
    QTest::newRow("full stop") << "Disk full." << "Disk full.";
    QTest::newRow("digit") << "Error 5" << "Error 5.";
    QTest::newRow("slash, code 47") << "a/" << "a/.";
    QTest::newRow("hyphen, code 45") << "a-" << "a-";
    QTest::newRow("closing parenthesis") << "failed (code 2)" << "failed (code 2)";
    QTest::newRow("exclamation mark") << "No!" << "No!";
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("Fehler ü") << QString::fromUtf8("Fehler ü.");
    QTest::newRow("empty") << "" << "";
  }
  void unexpectedErrorText() {
    QFETCH(QString, what);
    QTEST(UnexpectedErrorText(what), "expected");
  }

  void guardCommandReportsAndGoesOn_data() {
    QTest::addColumn<int>("kind");  // 0 nothing thrown, 1 runtime_error, 2 overflow
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("text");
    QTest::newRow("no error") << 0 << 0 << "";
    QTest::newRow("library error") << 1 << 1 << "cannot open table.";
    QTest::newRow("overflow") << 2 << 1 << "Floating point overflow.";
  }
  void guardCommandReportsAndGoesOn() {
    QFETCH(int, kind);
    ScriptedDialogs dialogs;
    bool finished = false;
    GuardCommand(dialogs, [&] {
      if (kind == 1) throw std::runtime_error("cannot open table");
      if (kind == 2) [[maybe_unused]] const StorageReal tooLarge(1e99L);
      finished = true;
    });
    QCOMPARE(finished, kind == 0);
    QTEST(int(dialogs.Messages.size()), "messages");
    if (!dialogs.Messages.empty()) {
      QCOMPARE(dialogs.Messages[0].Caption, QStringLiteral("vardell"));
      QCOMPARE(dialogs.Messages[0].Icon, MessageIcon::Error);
      QCOMPARE(dialogs.Messages[0].Buttons, MessageButtons::Ok);
      QTEST(dialogs.Messages[0].Text, "text");
    }
  }
};

QTEST_MAIN(TestForm1Dialogs)
#include "test_form1_dialogs.moc"
