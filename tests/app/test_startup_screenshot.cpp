// A look at the windows as a person sees them: with VARDELL_SCREENSHOT_DIR set (run under
// Xvfb with the xcb platform), a twelve-object file is loaded, a constrained minimum-variance
// analysis run, the help opened at the coefficient topic, and the screen and the windows saved
// as PNG files. VARDELL_SCREENSHOT_WAIT keeps the windows up for that many seconds, for an
// outside grab. Without the variable the test is skipped.

#include <QListWidget>
#include <QScreen>
#include <QTextBrowser>
#include <QtTest>

#include "support_screenshots.h"

using namespace vardell;

class TestStartupScreenshot : public QObject {
  Q_OBJECT

 private slots:
  void parameterWindowAfterAConstrainedRun() {
    VARDELL_SCREENSHOT_FOLDER(out, "VARDELL_SCREENSHOT_DIR");
    Windows w;
    w.Form.move(0, 0);
    w.Form.grab().save(out + "/form1-start.png");
    RunConstrained(w, w.Twelve);
    w.Results.move(720, 0);
    w.Form.raise();
    w.Form.activateWindow();
    QTest::qWait(500);
    w.Form.grab().save(out + "/form1-loaded.png");
    w.Form.screen()->grabWindow(0).save(out + "/screen.png");
    QTest::qWait(1000 * qEnvironmentVariableIntValue("VARDELL_SCREENSHOT_WAIT"));
    auto* coefficients = w.Control<QListWidget>(QStringLiteral("DistList"));
    coefficients->setFocus();
    QTest::keyClick(coefficients, Qt::Key_F1);
    QVERIFY(ShownHelp().size() == 1);
    QTest::qWait(300);
    ShownHelp()[0]->window()->grab().save(out + "/help.png");
  }

  // The Zones window beside the results window after a constrained run, the cut drawn.
  void zonesWindowBesideTheResults() {
    VARDELL_SCREENSHOT_FOLDER(out, "VARDELL_SCREENSHOT_DIR");
    Windows w;
    RunConstrained(w, w.Twelve);
    w.Results.move(0, 0);
    w.Click(QStringLiteral("results/ZonesButton"));
    auto* zones = w.Results.findChild<QWidget*>(QStringLiteral("ZonesWindow"));
    QVERIFY(zones && zones->isVisible());
    QTest::qWait(500);
    zones->grab().save(out + "/zones.png");
    w.Results.grab().save(out + "/results-zones.png");
    w.Results.screen()->grabWindow(0).save(out + "/screen-zones.png");
    QTest::qWait(1000 * qEnvironmentVariableIntValue("VARDELL_SCREENSHOT_WAIT"));
  }
};

QTEST_MAIN(TestStartupScreenshot)
#include "test_startup_screenshot.moc"
