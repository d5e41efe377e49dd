// The results window driven as a user drives it, after a run from the parameter window:
// controls found by name, clicks and keys through QTest, dialogs answered by the scripted seam;
// and the real save dialog, answered by a driver that acts on each modal window as it appears.

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "../support_commalocale.h"
#include "app/drawingarea.h"
#include "support_windows.h"

using namespace vardell;

namespace {
const QColor Unredrawn(255, 0, 0);
}  // namespace

class TestClustExec : public QObject {
  Q_OBJECT

  std::unique_ptr<Windows> w;

  const DrawingScale& Scale() { return w->Results.Diagram().Scale; }
  QLineEdit* Edit(const QString& name) { return w->Control<QLineEdit>(name); }
  QImage& Buffer() { return w->Control<DrawingArea>("PaintBox")->Picture(); }
  // Paints the buffer red, so that a redraw (which clears the area white) shows.
  void MarkUnredrawn() { Buffer().fill(Unredrawn); }
  bool Redrawn() { return Buffer().pixelColor(200, 300) != Unredrawn; }
  // Types text into field and ends it with key (0: no key).
  void Enter(const QString& field, const QString& text, int key = Qt::Key_Return) {
    Edit(field)->clear();
    QTest::keyClicks(Edit(field), text);
    if (key) QTest::keyClick(Edit(field), Qt::Key(key));
    QCoreApplication::sendPostedEvents();  // the entry runs once the key has been delivered
  }
  // Every message shown so far as "caption|text|buttons|icon".
  QStringList Shown() const {
    QStringList shown;
    for (const RecordedMessage& m : w->Dialogs.Messages)
      shown << m.Caption + '|' + m.Text + (m.Buttons == MessageButtons::Ok ? "|Ok" : "|OkCancel") +
                   (m.Icon == MessageIcon::None ? "|None" : "|Error");
    return shown;
  }
  QString Path(const QString& name) { return w->Folder.filePath(name); }
  QByteArray Export(const QString& name) { return w->SavedBy(QStringLiteral("MFButton"), name); }

 private slots:
  void init() {
    w = std::make_unique<Windows>();
    w->Load(w->Twelve);
    w->Run();
    QVERIFY(w->Results.isVisible());
  }
  void cleanup() { w.reset(); }

  void numberSyntax() {
    const double no = qQNaN();  // refused
    const struct {
      const char* text;
      double value;
    } cases[] = {
        {"2.5", 2.5}, {"   +1.25", 1.25}, {"-3", -3},    {"1.5E+2", 150}, {"25e-1", 2.5},
        {"5.", 5},    {".5", 0.5},        {"2,5", no},   {"", no},        {"   ", no},
        {"2.5 ", no}, {"12a", no},        {"1e", no},    {"-", no},       {".", no},
        {".e5", no},  {"\t5", no},        {"1e999", no}, {"\u0665", no},  // an Arabic-Indic digit
    };
    for (const auto& c : cases) {
      const std::optional<double> parsed = ParseFieldNumber(QString::fromUtf8(c.text));
      QVERIFY2(parsed.has_value() != qIsNaN(c.value), c.text);
      if (parsed) QCOMPARE(*parsed, c.value);
    }
  }

  // On a desktop that writes decimals with a comma the fields still show full stops, take
  // their own text back, and a typed 12.5 draws at 12.5 mm.
  void commaLocale() {
    testing::ScopedCommaLocale comma;
    if (!comma.Active()) QSKIP(comma.Reason().c_str());
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    w->Run();
    for (const char* field : {"VscaleEdit", "HscaleEdit"}) {
      const QString shown = Edit(field)->text();
      QCOMPARE(shown,
               QString::fromStdString(FormatScaleField(
                   field == QLatin1String("VscaleEdit") ? Scale().VscaleMm : Scale().HscaleMm)));
      QVERIFY2(shown.contains('.') && !shown.contains(','), qPrintable(shown));
      Enter(field, shown);
    }
    Enter("VscaleEdit", "12.5");
    Enter("TickEdit", "2.5");
    QLocale::setDefault(saved);
    QCOMPARE(Shown(), QStringList());
    QCOMPARE(Scale().VscaleMm, 12.5);
    QCOMPARE(Scale().TickUnits, 2.5);
  }

  void fieldEntry_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("message");  // empty: accepted; "-": nothing happens
    const auto row = [](const char* name, const char* field, const char* text, const char* message,
                        int key = Qt::Key_Return) {
      QTest::newRow(name) << QString(field) << QString(text) << key << QString(message);
    };
    const char *invalid = "Invalid number.", *positive = "The number must be greater than 0.";
    row("vertical 2.5", "VscaleEdit", "2.5", "");
    row("horizontal 7", "HscaleEdit", "7", "");
    row("tick 5, the keypad's Enter", "TickEdit", "5", "", Qt::Key_Enter);
    row("tick 5 without Enter", "TickEdit", "5", "-", 0);
    row("vertical comma", "VscaleEdit", "2,5", invalid);
    row("horizontal empty", "HscaleEdit", "", invalid);
    row("tick letters", "TickEdit", "abc", invalid);
    row("vertical zero", "VscaleEdit", "0", positive);
    row("tick negative", "TickEdit", "-5", positive);
    row("huge scale", "HscaleEdit", "1e300", "");
    row("tiny tick", "TickEdit", "1e-300", "");
  }
  // An accepted number holds through the next run; a refused one changes nothing.
  void fieldEntry() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(QString, message);
    const DrawingScale before = Scale();
    const QString shownBefore = Edit(field)->text();
    w->Dialogs.MessageAnswer = DialogAnswer::Cancel;  // the answer must not matter
    MarkUnredrawn();
    Enter(field, text, key);
    QCOMPARE(Redrawn(), message != "-");
    if (message.isEmpty()) {
      QVERIFY(w->Dialogs.Messages.empty());
      w->Run();
      QCOMPARE(Edit(field)->text(), text);
      const double value = text.toDouble();
      if (field == "TickEdit") {
        QCOMPARE(Scale().TickUnits, value);
        QCOMPARE(Scale().ScaleFixed, false);
        return;
      }
      const bool vertical = field == "VscaleEdit";
      QCOMPARE(vertical ? Scale().VscaleMm : Scale().HscaleMm, value);
      QCOMPARE(vertical ? Scale().HscaleMm : Scale().VscaleMm,
               vertical ? before.HscaleMm : before.VscaleMm);
      QCOMPARE(Scale().ScaleFixed, true);
      if (vertical) QCOMPARE(w->Results.Diagram().Transform().YFactor, value / (25.4 / 96));
      return;
    }
    const QString box = "Input error|" + message + "|OkCancel|None";
    QCOMPARE(Shown(), message == "-" ? QStringList() : QStringList{box});
    QCOMPARE(Scale().VscaleMm, before.VscaleMm);
    QCOMPARE(Scale().HscaleMm, before.HscaleMm);
    QCOMPARE(Scale().TickUnits, before.TickUnits);
    QCOMPARE(Scale().ScaleFixed, false);
    if (message != "-") QCOMPARE(Edit(field)->text(), shownBefore);
  }

  // The boxes a key or a click leads to open once that event has been delivered.
  void messagesOpenAfterTheInputEvent() {
    Edit("VscaleEdit")->setText(QStringLiteral("2,5"));
    QTest::keyClick(Edit("VscaleEdit"), Qt::Key_Return);
    QVERIFY(w->Dialogs.Messages.empty());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(Shown(), QStringList{"Input error|Invalid number.|OkCancel|None"});
    w->Dialogs.SaveAnswers.push_back(w->Write(QStringLiteral("file"), "") + "/tree.EMF");
    QTest::mouseClick(w->Control<QAbstractButton>("MFButton"), Qt::LeftButton);
    QCOMPARE(w->Dialogs.SaveCalls, 0);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(Shown().size(), 2);
    QVERIFY(Shown()[1].startsWith("vardell|"));
  }

  // "Fit" brings back the fitted layout after a typed scale, also for later runs.
  void fitUndoesTypedScales() {
    auto* fit = w->Control<QPushButton>("FitButton");
    QCOMPARE(fit->geometry(), QRect(680, 304, 113, 25));
    QCOMPARE(fit->text(), QStringLiteral("Fit"));
    QCOMPARE(fit->toolTip(), QStringLiteral("Fit the tree to the drawing area"));
    const QImage fitted = w->Results.Picture().copy();
    const QString vscale = Edit("VscaleEdit")->text(), hscale = Edit("HscaleEdit")->text();
    Enter(QStringLiteral("VscaleEdit"), QStringLiteral("9"));
    Enter(QStringLiteral("HscaleEdit"), QStringLiteral("0.01"));
    w->Run();
    QVERIFY(w->Results.Picture() != fitted);
    MarkUnredrawn();
    w->Click(QStringLiteral("FitButton"));
    QVERIFY(Redrawn());
    QCOMPARE(Scale().ScaleFixed, false);
    QCOMPARE(Edit("VscaleEdit")->text(), vscale);
    QCOMPARE(Edit("HscaleEdit")->text(), hscale);
    QCOMPARE(w->Results.Picture(), fitted);
    w->Run();
    QCOMPARE(w->Results.Picture(), fitted);
    QVERIFY(w->Dialogs.Messages.empty());
  }

  void panSurvivesCloseAndRun_data() {
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<QPoint>("shift");
    QTest::newRow("4 right, 1 up") << "Right Right Right Right Up" << QPoint(40, -10);
    QTest::newRow("2 left, 3 down") << "Left Left Down Down Down" << QPoint(-20, 30);
  }
  void panSurvivesCloseAndRun() {
    QFETCH(QString, clicks);
    QFETCH(QPoint, shift);
    Enter(QStringLiteral("TickEdit"), QStringLiteral("5"));
    const QImage before = w->Results.Picture().copy();
    const QString vscale = Edit("VscaleEdit")->text(), hscale = Edit("HscaleEdit")->text();
    QTest::keyClicks(Edit("VscaleEdit"), QStringLiteral("99"));  // typed, but not entered
    QTest::keyClicks(Edit("HscaleEdit"), QStringLiteral("99"));
    for (const QString& button : clicks.split(u' ')) w->Click(button + "Button");
    // in fitted mode a pan writes both scales afresh
    QCOMPARE(Edit("VscaleEdit")->text(), vscale);
    QCOMPARE(Edit("HscaleEdit")->text(), hscale);
    // inside the border the panned picture is the first one moved by the offsets
    const QImage after = w->Results.Picture().copy();
    for (int y = 45; y < 640; ++y)
      for (int x = 25; x < 600; ++x)
        if (before.pixel(x, y) != after.pixel(x + shift.x(), y + shift.y()))
          QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
    w->Results.close();  // the frame's close only hides
    QVERIFY(!w->Results.isVisible());
    QVERIFY(w->Results.Store().Current().TreeRoot);
    w->Run();
    w->Click(QStringLiteral("CloseButton"));
    QVERIFY(!w->Results.isVisible());
    QVERIFY(!w->Results.Store().Current().TreeRoot);
    w->Run();
    QVERIFY(w->Results.isVisible());
    QCOMPARE(CountNodes(w->Results.Store().Current().TreeRoot.get()), 23);
    QCOMPARE(QPoint(int(Scale().PanX), int(Scale().PanY)), shift);
    QCOMPARE(w->Results.Diagram().Transform().XOrigin, 10.0 + shift.x());
    QCOMPARE(w->Results.Picture(), after);
    QCOMPARE(Scale().TickUnits, 5.0);
    QCOMPARE(Edit("TickEdit")->text(), QStringLiteral("5"));
    QVERIFY(w->Form.isVisible());
  }

  void dialogAnswers_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<double>("points");  // the font chosen; 0: cancelled
    QTest::addColumn<double>("applied");
    QTest::newRow("font cancelled") << "FntButton" << 0.0 << 0.0;
    QTest::newRow("print cancelled") << "PrButton" << 0.0 << 0.0;
    QTest::newRow("export cancelled") << "MFButton" << 0.0 << 0.0;
    QTest::newRow("font inside the range") << "FntButton" << 14.0 << 14.0;
    QTest::newRow("font too small") << "FntButton" << 3.0 << 6.0;
    QTest::newRow("font too large") << "FntButton" << 40.0 << 24.0;
  }
  void dialogAnswers() {
    QFETCH(QString, button);
    QFETCH(double, points);
    QFETCH(double, applied);
    const QFont font = w->Results.DiagramFont();
    if (points > 0) {
      QFont chosen(QStringLiteral("DejaVu Sans"));
      chosen.setPointSizeF(points);
      chosen.setBold(true);
      w->Dialogs.FontAnswers.push_back(chosen);
    }
    MarkUnredrawn();
    w->Click(button);
    QCOMPARE(w->Dialogs.FontCalls + w->Dialogs.PrintCalls + w->Dialogs.SaveCalls, 1);
    QCOMPARE(Redrawn(), points > 0);
    QCOMPARE(w->Results.Target(), OutputTarget::Screen);
    QVERIFY(w->Dialogs.Messages.empty());
    QCOMPARE(QDir(w->Folder.path()).entryList(QDir::Files), QStringList{"twelve.dat"});
    if (points == 0) {
      QCOMPARE(w->Results.DiagramFont(), font);
      return;
    }
    QCOMPARE(*w->Dialogs.LastFontOffered, w->Results.font());
    QCOMPARE(w->Results.DiagramFont().pointSizeF(), applied);
    QVERIFY(w->Results.DiagramFont().bold());
    w->Click(button);  // cancelled, but it offers the last choice
    QCOMPARE(*w->Dialogs.LastFontOffered, w->Results.DiagramFont());
  }

  void printInFittedModeRestoresScreenScales() {
    const QString vscale = Edit("VscaleEdit")->text(), hscale = Edit("HscaleEdit")->text();
    QStringList written;  // what the layouts wrote into the vertical field, in order
    auto show = w->Results.Diagram().ScalesFitted;
    w->Results.Diagram().ScalesFitted = [&](const std::string& v, const std::string& h) {
      written << QString::fromStdString(v);
      show(v, h);
    };
    w->Dialogs.PrintToPdfAnswers.push_back(Path("page.pdf"));
    const QImage before = w->Results.Picture().copy();
    MarkUnredrawn();
    w->Click(QStringLiteral("PrButton"));
    QCOMPARE(w->Results.Picture(), before);
    QVERIFY(written.size() >= 2);
    QVERIFY(written.front() != vscale);  // the page's own fitted scale while it was drawn
    QCOMPARE(written.back(), vscale);
    QVERIFY(QFileInfo(Path("page.pdf")).size() > 0);
    QVERIFY(Redrawn());
    QCOMPARE(w->Results.Target(), OutputTarget::Screen);
    QCOMPARE(Edit("VscaleEdit")->text(), vscale);
    QCOMPARE(Edit("HscaleEdit")->text(), hscale);
    QVERIFY(w->Dialogs.Messages.empty());
  }

  void exportIgnoresPanAndFixedScales() {
    const QByteArray plain = Export("plain.EMF");
    QVERIFY(!plain.isEmpty());
    w->Click(QStringLiteral("LeftButton"));
    w->Click(QStringLiteral("DownButton"));
    Enter("HscaleEdit", QStringLiteral("3"));
    const QString shown = Edit("VscaleEdit")->text();
    const QImage before = w->Results.Picture().copy();
    MarkUnredrawn();
    QCOMPARE(Export("moved.EMF"), plain);
    QVERIFY(Redrawn());
    QCOMPARE(w->Results.Picture(), before);  // the window's step redraws it as it was
    QCOMPARE(w->Results.Target(), OutputTarget::Screen);
    QCOMPARE(Edit("VscaleEdit")->text(), shown);
    QCOMPARE(w->Dialogs.LastSaveFilter, QStringLiteral("Windows Metafile (*.EMF)|*.EMF"));
    QCOMPARE(w->Dialogs.LastSaveExtension, QStringLiteral("EMF"));
  }

  void failedOutputIsReported_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("export") << "MFButton";
    QTest::newRow("print") << "PrButton";
  }
  void failedOutputIsReported() {
    QFETCH(QString, button);
    const QString blocker = w->Write(QStringLiteral("file"), "");
    const QString target = blocker + QStringLiteral("/tree.EMF");  // under a plain file
    w->Dialogs.SaveAnswers.push_back(target);
    w->Dialogs.PrintToPdfAnswers.push_back(target);
    MarkUnredrawn();
    w->Click(button);
    QCOMPARE(Shown().size(), 1);
    QVERIFY(Shown()[0].startsWith("vardell|"));
    QVERIFY(Shown()[0].endsWith(".|Ok|Error"));
    QCOMPARE(QDir(w->Folder.path()).entryList(QDir::Files), QStringList({"file", "twelve.dat"}));
    QCOMPARE(w->Results.Target(), OutputTarget::Screen);
    QVERIFY(Redrawn());
  }

  void saveDialogCompletesAndAsksBeforeOverwriting_data() {
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("answers");  // to the modal windows after the save dialog
    QTest::addColumn<QString>("result");   // empty: nothing chosen
    QTest::newRow("bare name gets the extension") << ""
                                                  << "tree"
                                                  << ""
                                                  << "tree.EMF";
    QTest::newRow("typed extension kept") << ""
                                          << "tree.emf"
                                          << ""
                                          << "tree.emf";
    QTest::newRow("existing file, replace") << "tree.EMF"
                                            << "tree"
                                            << "Yes"
                                            << "tree.EMF";
    QTest::newRow("existing file, keep") << "tree.EMF"
                                         << "tree"
                                         << "No Cancel"
                                         << "";
  }
  void saveDialogCompletesAndAsksBeforeOverwriting() {
    QFETCH(QString, existing);
    QFETCH(QString, typed);
    QFETCH(QString, answers);
    QFETCH(QString, result);
    if (!existing.isEmpty()) w->Write(existing, "old");
    QStringList filters;
    std::vector<std::function<void(QWidget * modal)>> actions{[&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      filters = dialog->nameFilters();
      dialog->setDirectory(w->Folder.path());
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
      static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    }};
    for (const QString& answer : answers.split(u' ', Qt::SkipEmptyParts))
      actions.push_back([answer](QWidget* modal) {
        QCOMPARE(modal->inherits("QMessageBox"), answer != "Cancel");  // "Cancel": the dialog
        if (auto* box = qobject_cast<QMessageBox*>(modal))
          box->button(answer == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        else
          qobject_cast<QDialog*>(modal)->reject();
      });
    // Each action runs on the next modal window to appear, outside the polling timer's event:
    // Qt does not fire a timer again while its own event is handled, and an action may open
    // the next dialog in a loop of its own.
    std::size_t next = 0;
    QPointer<QWidget> last;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == last || next == actions.size() || !modal->isVisible()) return;
      last = modal;
      QTimer::singleShot(0, modal, [&actions, modal, action = next++] { actions[action](modal); });
    });
    poll.start(10);
    const std::optional<QString> chosen = QtUserDialogs().SaveFileName(
        QStringLiteral("Windows Metafile (*.EMF)|*.EMF"), QStringLiteral("EMF"));
    QCOMPARE(next, actions.size());
    QCOMPARE(filters, QStringList{"Windows Metafile (*.EMF *.emf)"});
    QCOMPARE(chosen.has_value(), !result.isEmpty());
    if (chosen) QCOMPARE(QFileInfo(*chosen).absoluteFilePath(), Path(result));
  }

  void defaultExtension() {
    const char* const cases[][2] = {{"/tmp/tree", "/tmp/tree.EMF"},
                                    {"/tmp/tree.emf", "/tmp/tree.emf"},
                                    {"/tmp/tree.wmf", "/tmp/tree.wmf"},
                                    {"/tmp/a.b/tree", "/tmp/a.b/tree.EMF"},
                                    {"C:\\a.b\\tree", "C:\\a.b\\tree.EMF"},
                                    {"tree", "tree.EMF"},
                                    {"/tmp/", "/tmp/"},
                                    {"", ""}};
    for (const auto& c : cases) QCOMPARE(WithDefaultExtension(c[0], QStringLiteral("EMF")), c[1]);
  }

  void copyPutsShownPixelsOnClipboard() {
    const auto rgb = [](const QImage& i) { return i.convertToFormat(QImage::Format_RGB32); };
    w->Click(QStringLiteral("CopyButton"));
    const QImage first = rgb(QApplication::clipboard()->image());
    QCOMPARE(first, rgb(w->Control("PaintBox")->grab().toImage()));
    w->Click(QStringLiteral("RightButton"));
    w->Click(QStringLiteral("CopyButton"));
    const QImage second = rgb(QApplication::clipboard()->image());
    QCOMPARE(second, rgb(w->Results.Picture()));
    QVERIFY(second != first);
  }
};

QTEST_MAIN(TestClustExec)
#include "test_clustexec.moc"
