// A look at the parameter window as a person sees it: with VARDELL_SCREENSHOT_DIR set (run
// under Xvfb with the xcb platform), a twelve-object file is loaded, a constrained
// minimum-variance analysis run, and the screen and the window are saved as PNG files.
// VARDELL_SCREENSHOT_WAIT keeps the windows up for that many seconds, for an outside grab.
// Without the variable the test is skipped.

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "app/clustexec.h"
#include "app/form1.h"
#include "support_form1.h"
#include "support_scripteddialogs.h"

using namespace vardell;

class TestStartupScreenshot : public QObject {
  Q_OBJECT

 private slots:
  void parameterWindowAfterAConstrainedRun() {
    const QString out = qEnvironmentVariable("VARDELL_SCREENSHOT_DIR");
    if (out.isEmpty()) QSKIP("VARDELL_SCREENSHOT_DIR not set");
    RegisterTestFont();
    ScriptedDialogs dialogs;
    TClustExec results(dialogs);
    TForm1 form(results, dialogs);
    form.move(0, 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.grab().save(out + "/form1-start.png");

    QTemporaryDir folder;
    dialogs.OpenAnswers.push_back(WriteTestFile(folder, "twelve.dat", TwelveObjectFile()));
    QTest::mouseClick(form.findChild<QPushButton*>("FileOpen"), Qt::LeftButton);
    auto* box = form.findChild<QCheckBox*>("CheckBox1");
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
    QTest::mouseClick(form.findChild<QPushButton*>("StartButton"), Qt::LeftButton);
    QVERIFY(dialogs.Messages.empty());
    QVERIFY(results.isVisible());
    results.move(720, 0);
    form.raise();
    form.activateWindow();
    QTest::qWait(500);
    form.grab().save(out + "/form1-loaded.png");
    form.screen()->grabWindow(0).save(out + "/screen.png");
    QTest::qWait(1000 * qEnvironmentVariableIntValue("VARDELL_SCREENSHOT_WAIT"));
    form.findChild<QListWidget*>("DistList")->setFocus();
    QTest::keyClick(form.findChild<QListWidget*>("DistList"), Qt::Key_F1);
    QWidget* help = form.findChild<QWidget*>("HelpViewer");
    QVERIFY(help);
    QTest::qWait(300);
    help->grab().save(out + "/help.png");
  }
};

QTEST_MAIN(TestStartupScreenshot)
#include "test_startup_screenshot.moc"
