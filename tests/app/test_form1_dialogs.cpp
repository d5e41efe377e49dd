// The real save dialog, answered by a driver that acts on each modal window as it appears,
// and the texts the dialogs' helpers make.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QtTest>
#include <functional>
#include <vector>

#include "support_windows.h"

using namespace vardell;

namespace {

// Runs each action on the next modal window to appear, so the real dialogs never block.
class ModalDriver : public QObject {
 public:
  using Action = std::function<void(QWidget* modal)>;
  explicit ModalDriver(std::vector<Action> actions) : actions_(std::move(actions)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == last_ || Done() || !modal->isVisible()) return;
      last_ = modal;
      // Run outside this timer's event: Qt does not fire a timer again while its own event is
      // being handled, and an action may open the next dialog in a loop of its own.
      QTimer::singleShot(0, modal, [this, modal, action = next_++] { actions_[action](modal); });
    });
    timer_.start(10);
  }
  bool Done() const { return next_ == actions_.size(); }

 private:
  std::vector<Action> actions_;
  std::size_t next_ = 0;
  QTimer timer_;
  QPointer<QWidget> last_;
};

}  // namespace

class TestForm1Dialogs : public QObject {
  Q_OBJECT

 private slots:
  void saveDialogCompletesAndAsksBeforeOverwriting_data() {
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("overwrite");  // 0 not asked, 1 yes, 2 no
    QTest::addColumn<QString>("result");  // empty: nothing chosen
    QTest::newRow("bare name gets the extension") << "" << "tree" << 0 << "tree.EMF";
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
    if (!existing.isEmpty()) QVERIFY(QFile(folder.filePath(existing)).open(QIODevice::WriteOnly));
    QStringList filters;
    std::vector<ModalDriver::Action> actions{[&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      filters = dialog->nameFilters();
      dialog->setDirectory(folder.path());
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
      static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    }};
    if (overwrite != 0) {
      actions.push_back([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        box->button(overwrite == 1 ? QMessageBox::Yes : QMessageBox::No)->click();
      });
    }
    if (overwrite == 2) actions.push_back([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    ModalDriver driver(actions);
    QtUserDialogs dialogs;
    const std::optional<QString> chosen =
        dialogs.SaveFileName(QStringLiteral("Windows Metafile (*.EMF)|*.EMF"), QStringLiteral("EMF"));
    QVERIFY(driver.Done());
    QCOMPARE(filters, QStringList{"Windows Metafile (*.EMF *.emf)"});
    QCOMPARE(chosen.has_value(), !result.isEmpty());
    if (chosen) {
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

  // The general handler adds a full stop when the last character's code is above ".".
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
};

QTEST_MAIN(TestForm1Dialogs)
#include "test_form1_dialogs.moc"
