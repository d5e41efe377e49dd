// The results window driven as a user drives it: controls found by name, clicks and keys
// through QTest, dialogs answered by the scripted seam.

#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/clustexec.h"
#include "app/drawingarea.h"
#include "support_scripteddialogs.h"

using namespace vardell;

namespace {

// A grid of 12 objects: a depth column and three data columns, all selected; the strategy
// and coefficient lists hold their first entries (minimum variance, Euclidean distance).
class TwelveObjects : public ParameterSource {
 public:
  explicit TwelveObjects(int dataColumns = 3) : dataColumns_(dataColumns) {
    cells_.assign(5, std::vector<std::string>(13));
    cells_[1][0] = "Depth";
    for (int row = 1; row <= 12; ++row) {
      cells_[0][row] = std::to_string(row);
      cells_[1][row] = std::to_string(100 + 5 * row);
      for (int column = 2; column <= 4; ++column)
        cells_[column][row] = std::to_string((row * row * (column + 3)) % 17 + column);
    }
  }
  int EntryCount(ChoiceList list) const override {
    switch (list) {
      case ChoiceList::Algo: return 6;
      case ChoiceList::Dist: return 3;
      case ChoiceList::Id: return 5;
      default: return 4;
    }
  }
  bool IsSelected(ChoiceList list, int position) const override {
    if (list == ChoiceList::DataCol) return position >= 1 && position <= dataColumns_;
    return position == 0;
  }
  bool ConstrainedChecked() const override { return true; }
  int RowCount() const override { return 13; }
  const std::string& CellText(int column, int row) const override { return cells_[column][row]; }

 private:
  int dataColumns_;
  std::vector<std::vector<std::string>> cells_;
};

const QColor Unredrawn(255, 0, 0);

}  // namespace

class TestClustExec : public QObject {
  Q_OBJECT

  std::unique_ptr<ScriptedDialogs> dialogs;
  std::unique_ptr<TClustExec> window;
  std::unique_ptr<QTemporaryDir> folder;  // fresh for every test

  template <typename T>
  T* Control(const char* name) {
    T* control = window->findChild<T*>(QString::fromLatin1(name));
    if (!control) qFatal("no control %s", name);
    return control;
  }
  QLineEdit* Edit(const char* name) { return Control<QLineEdit>(name); }
  QImage& Buffer() { return Control<DrawingArea>("PaintBox")->Picture(); }
  // Paints the buffer red, so that a redraw (which clears the area white) shows.
  void MarkUnredrawn() { Buffer().fill(Unredrawn); }
  bool Redrawn() { return Buffer().pixelColor(200, 300) != Unredrawn; }
  void Run() { window->RunAnalysis(TwelveObjects()); }
  void Click(const char* name) { QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton); }
  void Enter(const char* field, const QString& text) {
    Edit(field)->clear();
    QTest::keyClicks(Edit(field), text);
    QTest::keyClick(Edit(field), Qt::Key_Return);
  }
  // Every message shown so far as "caption|text|buttons|icon".
  QStringList Shown() const {
    QStringList shown;
    for (const RecordedMessage& m : dialogs->Messages)
      shown << m.Caption + '|' + m.Text + (m.Buttons == MessageButtons::Ok ? "|Ok" : "|OkCancel") +
                   (m.Icon == MessageIcon::None ? "|None" : "|Error");
    return shown;
  }
  QString Path(const char* name) { return folder->filePath(QString::fromLatin1(name)); }
  QByteArray Export(const char* name) {
    dialogs->SaveAnswers.push_back(Path(name));
    Click("MFButton");
    QFile file(Path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

 private slots:
  void initTestCase() {
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
  }
  void init() {
    dialogs = std::make_unique<ScriptedDialogs>();
    folder = std::make_unique<QTemporaryDir>();
    window = std::make_unique<TClustExec>(*dialogs);
  }
  void cleanup() { window.reset(); }

  void controlsAsDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    const auto row = [](const char* name, QRect rect, const char* caption, const char* hint) {
      QTest::newRow(name) << QString::fromLatin1(name) << rect << QString::fromLatin1(caption)
                          << QString::fromLatin1(hint);
    };
    row("PaintBox", {8, 8, 665, 689}, "", "Tree diagram");
    row("HelpButton", {680, 8, 113, 25}, "Help", "Displays help screens");
    row("CloseButton", {680, 40, 113, 25}, "Close", "Closes this window and returns to parameter dialog");
    row("ExitButton", {680, 72, 113, 25}, "Exit", "Quits application");
    row("ScaleGroup", {680, 112, 113, 153}, "Drawing scale in mm", "Drawing scale adjustments");
    row("VscaleEdit", {8, 32, 97, 21}, "", "Sets vertical scale of tree diagram in mm/depth unit");
    row("HscaleEdit", {8, 80, 97, 21}, "",
        "Sets horizontal scale of trree diagram in millimiters/distance unit");
    row("TickEdit", {8, 128, 97, 21}, "10", "Sets number of distance units per tick");
    row("FntButton", {680, 272, 113, 25}, "Change Font", "Set font type and size");
    row("UpButton", {728, 352, 25, 25}, "", "Move drawing up");
    row("LeftButton", {704, 376, 25, 25}, "", "Move drawing left");
    row("RightButton", {752, 376, 25, 25}, "", "Move drawing right");
    row("DownButton", {728, 400, 25, 25}, "", "Move drawing down");
    row("PrButton", {680, 440, 113, 25}, "Print", "Print tree diagram");
    row("MFButton", {680, 472, 113, 25}, "Windows Metafile",
        "Export tree diagram in Windows Graphics Metafile for exchange with graphics editors");
    row("CopyButton", {680, 504, 113, 25}, "Copy to Clipboard", "");
  }
  void controlsAsDesigned() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QWidget* control = window->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->toolTip(), hint);
    QString text;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) text = edit->text();
    if (auto* group = qobject_cast<QGroupBox*>(control)) text = group->title();
    QCOMPARE(text, caption);
    if (qobject_cast<QToolButton*>(control)) QCOMPARE(control->focusPolicy(), Qt::NoFocus);
  }

  void windowAtCreation() {
    QCOMPARE(window->windowTitle(), QStringLiteral("Results Cluster Analysis"));
    QCOMPARE(window->size(), QSize(806, 731));
    QVERIFY(!window->isVisible());
    const DrawingScale& scale = window->Diagram().Scale;
    QCOMPARE(scale.TickUnits, 10.0);
    QCOMPARE(scale.ScaleFixed, false);
    QCOMPARE(scale.PanStep, 10.0);
    QCOMPARE(window->DiagramFont(), window->font());
    QCOMPARE(window->font().pixelSize(), 11);
  }

  void runShowsWindowAndFitsScales() {
    Run();
    QVERIFY(window->isVisible());
    QVERIFY(window->Store().Current().TreeRoot);
    QVERIFY(!Edit("VscaleEdit")->text().isEmpty());
    QCOMPARE(Edit("HscaleEdit")->text(), QString::fromStdString(FormatScaleField(window->Diagram().Scale.HscaleMm)));
    int ink = 0;
    for (int y = 0; y < window->Picture().height(); ++y)
      for (int x = 0; x < window->Picture().width(); ++x) ink += qGray(window->Picture().pixel(x, y)) < 128;
    QVERIFY(ink > 2000);  // more than the area's border
  }

  void messageStopsRun() {
    window->RunAnalysis(TwelveObjects(1));
    QCOMPARE(Shown(), QStringList{"DATA PARSING ERROR|You should select at least 2 datacolumns.|Ok|None"});
    QVERIFY(!window->isVisible());
  }

  void panShiftsDiagram_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QPoint>("shift");
    QTest::newRow("4 right, 1 up") << QStringList{"RightButton", "RightButton", "RightButton", "RightButton", "UpButton"} << QPoint(40, -10);
    QTest::newRow("2 left, 3 down") << QStringList{"LeftButton", "LeftButton", "DownButton", "DownButton", "DownButton"} << QPoint(-20, 30);
  }
  void panShiftsDiagram() {
    QFETCH(QStringList, clicks);
    QFETCH(QPoint, shift);
    Run();
    const QImage before = window->Picture().copy();
    for (const QString& name : clicks) Click(name.toLatin1().constData());
    QCOMPARE(QPoint(int(window->Diagram().Scale.PanX), int(window->Diagram().Scale.PanY)), shift);
    QCOMPARE(window->Diagram().Transform().XOrigin, 10.0 + shift.x());
    // Inside the border the panned picture is the first one moved by the offsets.
    const QImage& after = window->Picture();
    for (int y = 45; y < 640; ++y)
      for (int x = 25; x < 600; ++x)
        if (before.pixel(x, y) != after.pixel(x + shift.x(), y + shift.y()))
          QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
  }

  void settingsSurviveCloseAndRun() {
    Run();
    Click("RightButton");
    Click("UpButton");
    Enter("TickEdit", QStringLiteral("5"));
    Click("CloseButton");
    QVERIFY(!window->isVisible());
    QVERIFY(!window->Store().Current().TreeRoot);
    Run();
    QVERIFY(window->isVisible());
    QCOMPARE(CountNodes(window->Store().Current().TreeRoot.get()), 23);
    QCOMPARE(window->Diagram().Scale.PanX, 10.0);
    QCOMPARE(window->Diagram().Scale.PanY, -10.0);
    QCOMPARE(window->Diagram().Scale.TickUnits, 5.0);
    QCOMPARE(Edit("TickEdit")->text(), QStringLiteral("5"));
  }

  void frameCloseOnlyHides() {
    Run();
    window->close();
    QVERIFY(!window->isVisible());
    QVERIFY(window->Store().Current().TreeRoot);
  }

  void numberSyntax_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("fraction") << "2.5" << true << 2.5;
    QTest::newRow("leading blanks and sign") << "   +1.25" << true << 1.25;
    QTest::newRow("negative") << "-3" << true << -3.0;
    QTest::newRow("exponent") << "1.5E+2" << true << 150.0;
    QTest::newRow("small exponent") << "25e-1" << true << 2.5;
    QTest::newRow("comma") << "2,5" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blanks only") << "   " << false << 0.0;
    QTest::newRow("trailing blank") << "2.5 " << false << 0.0;
    QTest::newRow("trailing letter") << "12a" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("lone sign") << "-" << false << 0.0;
    QTest::newRow("point without fraction") << "5." << true << 5.0;
    QTest::newRow("fraction without digits before") << ".5" << true << 0.5;
    QTest::newRow("point alone") << "." << false << 0.0;
    QTest::newRow("point and exponent only") << ".e5" << false << 0.0;
    QTest::newRow("tab before") << "\t5" << false << 0.0;
    QTest::newRow("too large") << "1e999" << false << 0.0;
    QTest::newRow("arabic digit") << QString::fromUtf8("\u0665") << false << 0.0;
  }
  void numberSyntax() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const std::optional<double> parsed = ParseFieldNumber(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid) QCOMPARE(*parsed, value);
  }

  void fieldEntry_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::newRow("vertical 2.5") << "VscaleEdit" << "2.5" << "";
    QTest::newRow("horizontal 7") << "HscaleEdit" << "7" << "";
    QTest::newRow("tick 2") << "TickEdit" << "2" << "";
    QTest::newRow("vertical comma") << "VscaleEdit" << "2,5" << "Invalid number.";
    QTest::newRow("horizontal empty") << "HscaleEdit" << "" << "Invalid number.";
    QTest::newRow("tick letters") << "TickEdit" << "abc" << "Invalid number.";
    QTest::newRow("vertical zero") << "VscaleEdit" << "0" << "The number must be greater than 0.";
    QTest::newRow("tick negative") << "TickEdit" << "-5" << "The number must be greater than 0.";
    QTest::newRow("huge scale") << "HscaleEdit" << "1e300" << "";
    QTest::newRow("tiny tick") << "TickEdit" << "1e-300" << "";
  }
  void fieldEntry() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    Run();
    const DrawingScale before = window->Diagram().Scale;
    const QString shownBefore = Edit(field.toLatin1().constData())->text();
    dialogs->MessageAnswer = DialogAnswer::Cancel;  // the answer must not matter
    MarkUnredrawn();
    Enter(field.toLatin1().constData(), text);
    QVERIFY(Redrawn());
    const DrawingScale& after = window->Diagram().Scale;
    if (message.isEmpty()) {
      QVERIFY(dialogs->Messages.empty());
      const double value = text.toDouble();
      if (field == "TickEdit") {
        QCOMPARE(after.TickUnits, value);
        QCOMPARE(after.ScaleFixed, false);
      } else {
        QCOMPARE(field == "VscaleEdit" ? after.VscaleMm : after.HscaleMm, value);
        QCOMPARE(field == "VscaleEdit" ? after.HscaleMm : after.VscaleMm,
                 field == "VscaleEdit" ? before.HscaleMm : before.VscaleMm);
        QCOMPARE(after.ScaleFixed, true);
      }
      return;
    }
    QCOMPARE(Shown(), QStringList{"Input error|" + message + "|OkCancel|None"});
    QCOMPARE(after.VscaleMm, before.VscaleMm);
    QCOMPARE(after.HscaleMm, before.HscaleMm);
    QCOMPARE(after.TickUnits, before.TickUnits);
    QCOMPARE(after.ScaleFixed, false);
    QCOMPARE(Edit(field.toLatin1().constData())->text(), shownBefore);
  }

  void fixedScaleSurvivesNewRun() {
    Run();
    const double fittedH = window->Diagram().Scale.HscaleMm;
    Enter("VscaleEdit", QStringLiteral("2.5"));
    Run();
    QCOMPARE(window->Diagram().Scale.VscaleMm, 2.5);
    QCOMPARE(window->Diagram().Scale.HscaleMm, fittedH);
    QCOMPARE(Edit("VscaleEdit")->text(), QStringLiteral("2.5"));
    QCOMPARE(window->Diagram().Transform().YFactor, 2.5 / (25.4 / 96));
  }

  void typingWithoutEnterChangesNothing() {
    Run();
    MarkUnredrawn();
    Edit("TickEdit")->clear();
    QTest::keyClicks(Edit("TickEdit"), QStringLiteral("5"));
    QCOMPARE(window->Diagram().Scale.TickUnits, 10.0);
    QVERIFY(!Redrawn());
    QTest::keyClick(Edit("TickEdit"), Qt::Key_Enter);  // the keypad's Enter counts as well
    QCOMPARE(window->Diagram().Scale.TickUnits, 5.0);
    QVERIFY(Redrawn());
  }

  void fittedPanRewritesTypedScales() {
    Run();
    const QString vscale = Edit("VscaleEdit")->text(), hscale = Edit("HscaleEdit")->text();
    QTest::keyClicks(Edit("VscaleEdit"), QStringLiteral("99"));
    QTest::keyClicks(Edit("HscaleEdit"), QStringLiteral("99"));
    Click("DownButton");
    QCOMPARE(Edit("VscaleEdit")->text(), vscale);
    QCOMPARE(Edit("HscaleEdit")->text(), hscale);
  }

  void cancelledDialogsChangeNothing_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("font") << "FntButton";
    QTest::newRow("print") << "PrButton";
    QTest::newRow("export") << "MFButton";
  }
  void cancelledDialogsChangeNothing() {
    QFETCH(QString, button);
    Run();
    const QFont font = window->DiagramFont();
    MarkUnredrawn();
    Click(button.toLatin1().constData());
    QCOMPARE(dialogs->FontCalls + dialogs->PrintCalls + dialogs->SaveCalls, 1);
    QVERIFY(!Redrawn());
    QCOMPARE(window->DiagramFont(), font);
    QCOMPARE(window->Target(), OutputTarget::Screen);
    QVERIFY(dialogs->Messages.empty());
    QVERIFY(QDir(folder->path()).isEmpty());
  }

  void fontChoice_data() {
    QTest::addColumn<double>("points");
    QTest::addColumn<double>("applied");
    QTest::newRow("inside the range") << 14.0 << 14.0;
    QTest::newRow("too small") << 3.0 << 6.0;
    QTest::newRow("too large") << 40.0 << 24.0;
  }
  void fontChoice() {
    QFETCH(double, points);
    QFETCH(double, applied);
    Run();
    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPointSizeF(points);
    chosen.setBold(true);
    dialogs->FontAnswers.push_back(chosen);
    MarkUnredrawn();
    Click("FntButton");
    QCOMPARE(*dialogs->LastFontOffered, window->font());
    QVERIFY(Redrawn());
    QCOMPARE(window->DiagramFont().pointSizeF(), applied);
    QVERIFY(window->DiagramFont().bold());
    Click("FntButton");  // cancelled, but it offers the last choice
    QCOMPARE(*dialogs->LastFontOffered, window->DiagramFont());
  }

  void printInFittedModeRestoresScreenScales() {
    Run();
    const QString vscale = Edit("VscaleEdit")->text(), hscale = Edit("HscaleEdit")->text();
    QStringList written;  // what the layouts wrote into the vertical field, in order
    auto show = window->Diagram().ScalesFitted;
    window->Diagram().ScalesFitted = [&](const std::string& v, const std::string& h) {
      written << QString::fromStdString(v);
      show(v, h);
    };
    dialogs->PrintToPdfAnswers.push_back(Path("page.pdf"));
    MarkUnredrawn();
    Click("PrButton");
    QVERIFY(written.size() >= 2);
    QVERIFY(written.front() != vscale);  // the page's own fitted scale while it was drawn
    QCOMPARE(written.back(), vscale);
    QVERIFY(QFileInfo(Path("page.pdf")).size() > 0);
    QVERIFY(Redrawn());
    QCOMPARE(window->Target(), OutputTarget::Screen);
    QCOMPARE(Edit("VscaleEdit")->text(), vscale);
    QCOMPARE(Edit("HscaleEdit")->text(), hscale);
    QVERIFY(dialogs->Messages.empty());
  }

  void exportIgnoresPanAndFixedScales() {
    Run();
    const QByteArray plain = Export("plain.EMF");
    QVERIFY(!plain.isEmpty());
    Click("LeftButton");
    Click("DownButton");
    Enter("HscaleEdit", QStringLiteral("3"));
    const QString shown = Edit("VscaleEdit")->text();
    MarkUnredrawn();
    QCOMPARE(Export("moved.EMF"), plain);
    QVERIFY(Redrawn());
    QCOMPARE(window->Target(), OutputTarget::Screen);
    QCOMPARE(Edit("VscaleEdit")->text(), shown);
    QCOMPARE(dialogs->LastSaveFilter, QStringLiteral("Windows Metafile (*.EMF)|*.EMF"));
    QCOMPARE(dialogs->LastSaveExtension, QStringLiteral("EMF"));
  }

  void bareExportNameGetsExtension() {
    Run();
    dialogs->SaveAnswers.push_back(Path("tree"));
    Click("MFButton");
    QVERIFY(QFileInfo::exists(Path("tree.EMF")));
    QVERIFY(!QFileInfo::exists(Path("tree")));
  }

  void failedOutputIsReported_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("export") << "MFButton";
    QTest::newRow("print") << "PrButton";
  }
  void failedOutputIsReported() {
    QFETCH(QString, button);
    Run();
    QFile blocker(Path("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString target = Path("file") + QStringLiteral("/tree.EMF");  // under a plain file
    dialogs->SaveAnswers.push_back(target);
    dialogs->PrintToPdfAnswers.push_back(target);
    MarkUnredrawn();
    Click(button.toLatin1().constData());
    QCOMPARE(Shown().size(), 1);
    QVERIFY(Shown()[0].startsWith("vardell|"));
    QVERIFY(Shown()[0].endsWith(".|Ok|Error"));
    QCOMPARE(QDir(folder->path()).entryList(QDir::Files), QStringList{"file"});
    QCOMPARE(window->Target(), OutputTarget::Screen);
    QVERIFY(Redrawn());
  }

  void helpOpensTopic_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("pressF1");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("Help button") << "HelpButton" << false << "";
    QTest::newRow("F1 in a scale field") << "VscaleEdit" << true << "results";
    QTest::newRow("F1 on a button") << "PrButton" << true << "results";
    QTest::newRow("F1 on the drawing") << "PaintBox" << true << "results";
  }
  void helpOpensTopic() {
    QFETCH(QString, control);
    QFETCH(bool, pressF1);
    QFETCH(QString, fragment);
    Run();
    QWidget* widget = window->findChild<QWidget*>(control);
    if (pressF1)
      QTest::keyClick(widget, Qt::Key_F1);
    else
      QTest::mouseClick(widget, Qt::LeftButton);
    auto* viewer = window->findChild<QWidget*>(QStringLiteral("HelpViewer"));
    QVERIFY(viewer && viewer->isVisible());
    auto* browser = viewer->findChild<QTextBrowser*>();
    QVERIFY(browser);
    QCOMPARE(browser->source().fragment(), fragment);
  }

  void copyPutsShownPixelsOnClipboard() {
    Run();
    Click("CopyButton");
    const QImage first = QGuiApplication::clipboard()->image();
    QCOMPARE(first.size(), QSize(665, 689));
    const QImage shown = Control<DrawingArea>("PaintBox")->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(first.convertToFormat(QImage::Format_RGB32), shown);
    Click("RightButton");
    Click("CopyButton");
    const QImage second = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(second, window->Picture().convertToFormat(QImage::Format_RGB32));
    QVERIFY(second != first.convertToFormat(QImage::Format_RGB32));
  }
};

QTEST_MAIN(TestClustExec)
#include "test_clustexec.moc"
