// Start-up as the program does it, the ways to end the program, and the help file and its
// viewer shared by both windows.

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/clustexec.h"
#include "app/form1.h"
#include "app/help.h"
#include "app/help/helpfile.h"
#include "support_form1.h"
#include "support_scripteddialogs.h"

using namespace vardell;

class TestStartup : public QObject {
  Q_OBJECT

  std::unique_ptr<ScriptedDialogs> dialogs;
  std::unique_ptr<TClustExec> results;
  std::unique_ptr<TForm1> form;

  // Runs the event loop as the program does, does what, and reports whether the loop ended
  // by itself within five seconds.
  bool LoopEndsAfter(const std::function<void()>& what) {
    bool timedOut = false;
    QTimer::singleShot(0, form.get(), what);
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [&] {
      timedOut = true;
      QCoreApplication::exit(1);
    });
    guard.start(5000);
    const int code = QCoreApplication::exec();
    return !timedOut && code == 0;
  }

  static QList<QWidget*> HelpViewers() {
    QList<QWidget*> viewers;
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->objectName() == QStringLiteral("HelpViewer")) viewers << window;
    return viewers;
  }

 private slots:
  void initTestCase() {
    RegisterTestFont();
    QCoreApplication::setApplicationName(QStringLiteral("vardell"));
  }

  void init() {
    dialogs = std::make_unique<ScriptedDialogs>();
    results = std::make_unique<TClustExec>(*dialogs);
    form = std::make_unique<TForm1>(*results, *dialogs);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }

  void cleanup() {
    form.reset();
    results.reset();
    dialogs.reset();
  }

  void windowsAtStart() {
    QCOMPARE(form->windowTitle(), QStringLiteral("VARDELL 3.0"));
    QCOMPARE(form->size(), QSize(713, 516));
    QVERIFY(form->isVisible());
    QVERIFY(!results->isVisible());
    QVERIFY(form->isWindow() && results->isWindow());
    QCOMPARE(form->font().pixelSize(), 11);
  }

  void programEnds_data() {
    QTest::addColumn<bool>("resultsShown");
    QTest::addColumn<bool>("byFrame");
    QTest::newRow("Exit") << false << false;
    QTest::newRow("Exit while the results window is shown") << true << false;
    QTest::newRow("closing the window") << false << true;
    QTest::newRow("closing the window while the results window is shown") << true << true;
  }
  void programEnds() {
    QFETCH(bool, resultsShown);
    QFETCH(bool, byFrame);
    if (resultsShown) results->show();
    QVERIFY(LoopEndsAfter([&] {
      if (byFrame) form->close();
      else QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    }));
    QVERIFY(dialogs->Messages.empty());
  }

  void helpTopics_data() {
    QTest::addColumn<int>("context");
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<QString>("heading");
    QTest::newRow("contents") << int(HelpContents) << "" << "Contents";
    QTest::newRow("coefficients") << int(HelpCoefficients) << "coefficients" << "Distance coefficients";
    QTest::newRow("results window") << int(HelpResultsWindow) << "results" << "The results window";
  }
  void helpTopics() {
    QFETCH(int, context);
    QFETCH(QString, fragment);
    QFETCH(QString, heading);
    QCOMPARE(HelpTopic(BuiltInHelpFile(), context).fragment(), fragment);
    // the built-in file carries every topic as an anchor
    QFile file(QStringLiteral(":/help/vardell.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    if (!fragment.isEmpty()) QVERIFY(html.contains(QStringLiteral("<a name=\"%1\">").arg(fragment)));
    QVERIFY(html.contains(heading));
    // both windows share one viewer, which shows the topic
    ShowHelp(context == HelpResultsWindow ? static_cast<QWidget*>(results.get()) : form.get(),
             context);
    const QList<QWidget*> viewers = HelpViewers();
    QCOMPARE(viewers.size(), 1);
    QVERIFY(viewers[0]->isVisible());
    auto* browser = viewers[0]->findChild<QTextBrowser*>();
    QCOMPARE(browser->source().fragment(), fragment);
    QVERIFY(browser->toPlainText().contains(heading));
    ShowHelp(results.get(), HelpResultsWindow);
    QCOMPARE(HelpViewers().size(), 1);
    QCOMPARE(browser->source().fragment(), QStringLiteral("results"));
  }

  void withoutAnInstalledCopyTheBuiltInFileIsUsed() {
    QCOMPARE(InstalledHelpFile(), BuiltInHelpFile());
    QCOMPARE(HelpFile().scheme(), QStringLiteral("qrc"));
  }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
