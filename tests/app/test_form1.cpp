// The parameter window driven as a user drives it: controls found by name, clicks on list
// entries at their places, dialogs answered by the scripted seam.

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <memory>

#include "app/clustexec.h"
#include "app/form1.h"
#include "support_form1.h"
#include "support_scripteddialogs.h"

using namespace vardell;

namespace {

const char* const Strategies[6] = {"Minimum variance strategy", "Furthest neighbour",
                                   "Nearest neighbour",         "Centroid sorting",
                                   "Weighted pairgroup",        "Unweighted pairgroup"};
const char* const Coefficients[3] = {"Euclidian distance", "Chord distance", "Manhattan metric"};

QString State(const char* const* entries, int count, int selected) {
  QStringList parts;
  for (int i = 0; i < count; ++i)
    parts << QString::fromUtf8(entries[i]) + (i == selected ? "*" : "");
  return parts.join(u'|');
}
QString Algo(int selected, bool constrained = false) {
  return State(Strategies, constrained ? 2 : 6, selected);
}
QString Dist(int selected, bool manhattan = true) {
  return State(Coefficients, manhattan ? 3 : 2, selected);
}

}  // namespace

class TestForm1 : public QObject {
  Q_OBJECT

  std::unique_ptr<ScriptedDialogs> dialogs;
  std::unique_ptr<TClustExec> results;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<QTemporaryDir> folder;
  QString twelve;

  template <typename T = QWidget>
  T* Control(const QString& name) {
    T* control = form->findChild<T*>(name);
    if (!control) qFatal("no control %s", qPrintable(name));
    return control;
  }
  QListWidget* List(const QString& name) { return Control<QListWidget>(name); }

  void Press(const QString& button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }
  void Load(const QString& path) {
    dialogs->OpenAnswers.push_back(path);
    Press(QStringLiteral("FileOpen"));
  }
  void ClickCheckBox() {
    auto* box = Control<QCheckBox>(QStringLiteral("CheckBox1"));
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
  }
  // Steps separated by blanks: "algo:5" clicks strategy 5, "data+:2" Ctrl-clicks data column
  // 2, "data^:3" Shift-clicks it, "key:algo" presses the down arrow in the strategy list,
  // "check" clicks the check box, "open" presses "Data File" and cancels, "load" loads the
  // twelve-object file again.
  void Run(const QString& script) {
    for (const QString& step : script.split(u' ', Qt::SkipEmptyParts)) {
      const QStringList parts = step.split(u':');
      const QString what = parts[0];
      const int row = parts.size() > 1 ? parts[1].toInt() : 0;
      if (what == "check") ClickCheckBox();
      else if (what == "open") Press(QStringLiteral("FileOpen"));
      else if (what == "load") Load(twelve);
      else if (what == "start") Press(QStringLiteral("StartButton"));
      else if (what == "key") QTest::keyClick(List(ListName(parts[1])), Qt::Key_Down);
      else if (what.endsWith(u'+')) ClickEntry(List(ListName(what.chopped(1))), row, Qt::ControlModifier);
      else if (what.endsWith(u'^')) ClickEntry(List(ListName(what.chopped(1))), row, Qt::ShiftModifier);
      else ClickEntry(List(ListName(what)), row);
    }
  }
  static QString ListName(const QString& shortName) {
    if (shortName == "algo") return QStringLiteral("AlgoList");
    if (shortName == "dist") return QStringLiteral("DistList");
    if (shortName == "depth") return QStringLiteral("DepthListBox");
    if (shortName == "id") return QStringLiteral("IDList");
    if (shortName == "data") return QStringLiteral("DataColList");
    qFatal("unknown list %s", qPrintable(shortName));
    return {};
  }
  QWidget* HelpViewer() { return form->findChild<QWidget*>(QStringLiteral("HelpViewer")); }

 private slots:
  void initTestCase() { RegisterTestFont(); }

  void init() {
    dialogs = std::make_unique<ScriptedDialogs>();
    results = std::make_unique<TClustExec>(*dialogs);
    form = std::make_unique<TForm1>(*results, *dialogs);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    folder = std::make_unique<QTemporaryDir>();
    twelve = WriteTestFile(*folder, QStringLiteral("twelve.dat"), TwelveObjectFile());
  }

  void cleanup() {
    form.reset();
    results.reset();
    dialogs.reset();
    folder.reset();
  }

  void controlsAppearWithTheFirstLoad_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<bool>("loaded");
    for (const char* name : {"FileOpen", "Button1", "HelpButton"})
      QTest::newRow(name) << name << true << true;
    QTest::newRow("Logo") << "Logo" << true << false;
    for (const char* name : {"Label4", "DataGrid", "Label1", "AlgoList", "Label2", "DistList",
                             "CheckBox1", "Label3", "DepthListBox", "Label6", "IDList", "Label7",
                             "DataColList", "StartButton"})
      QTest::newRow(name) << name << false << true;
  }
  void controlsAppearWithTheFirstLoad() {
    QFETCH(QString, name);
    QFETCH(bool, atStart);
    QFETCH(bool, loaded);
    QCOMPARE(Control(name)->isVisible(), atStart);
    Load(QStringLiteral("/nonexistent/missing.dat"));  // a failed load reveals nothing
    QCOMPARE(Control(name)->isVisible(), atStart);
    Load(twelve);
    QCOMPARE(Control(name)->isVisible(), loaded);
    Load(QStringLiteral("/nonexistent/missing.dat"));  // nor does it hide anything later
    QCOMPARE(Control(name)->isVisible(), loaded);
  }

  void textsFitTheirControls() {
    Load(twelve);
    for (auto* button : form->findChildren<QPushButton*>())
      QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(button->text()) + 8 <= button->width(),
               qPrintable(button->text()));
    auto* box = Control<QCheckBox>(QStringLiteral("CheckBox1"));
    QVERIFY(box->sizeHint().width() <= box->width());
    QVERIFY(box->sizeHint().height() <= box->height() + 2);
    // the labels above the column lists stand side by side without touching
    const QWidget* row[] = {Control("Label3"), Control("Label6"), Control("Label7"),
                            Control("DataGrid")};
    for (int i = 0; i + 1 < 4; ++i)
      QVERIFY2(row[i]->geometry().right() < row[i + 1]->geometry().left(),
               qPrintable(row[i]->objectName()));
    for (const char* name : {"AlgoList", "DistList"}) {
      QListWidget* list = List(name);
      QVERIFY2(!list->verticalScrollBar()->isVisible(), name);
      QVERIFY2(!list->horizontalScrollBar()->isVisible(), name);
      const QFontMetrics metrics(list->font());
      for (int row = 0; row < list->count(); ++row) {
        const QRect place = list->visualItemRect(list->item(row));
        QVERIFY(list->viewport()->rect().contains(place));
        QVERIFY2(metrics.horizontalAdvance(list->item(row)->text()) < place.width(),
                 qPrintable(list->item(row)->text()));
      }
    }
    const QFont font = form->font();
    QCOMPARE(font.pixelSize(), 11);
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
  }

  void choiceRules_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("algo");
    QTest::addColumn<QString>("dist");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("depth");
    const QString all = "0,1,2,3";
    QTest::newRow("after a load") << "" << Algo(0) << Dist(0) << "0" << all << "0";
    QTest::newRow("check with unweighted and manhattan")
        << "algo:5 dist:2 check" << Algo(0, true) << Dist(0, false) << "0" << all << "0";
    QTest::newRow("uncheck brings the four back, manhattan stays absent")
        << "algo:5 dist:2 check check" << Algo(0) << Dist(0, false) << "0" << all << "0";
    QTest::newRow("uncheck keeps furthest selected")
        << "check algo:1 check" << Algo(1) << Dist(0) << "0" << all << "0";
    QTest::newRow("after uncheck a strategy click decides again")
        << "algo:5 dist:2 check check algo:4" << Algo(4) << Dist(0) << "0" << all << "0";
    QTest::newRow("furthest appends manhattan, selection kept")
        << "algo:3 dist:1 algo:1" << Algo(1) << Dist(1) << "0" << all << "0";
    QTest::newRow("furthest clicked again changes nothing")
        << "algo:3 dist:1 algo:1 algo:1" << Algo(1) << Dist(1) << "0" << all << "0";
    QTest::newRow("furthest clicked while selected appends manhattan")
        << "check algo:1 check algo:1" << Algo(1) << Dist(0) << "0" << all << "0";
    QTest::newRow("centroid with chord") << "dist:1 algo:3" << Algo(3) << Dist(0, false) << "0"
                                         << all << "0";
    QTest::newRow("minimum variance with manhattan")
        << "algo:1 dist:2 algo:0" << Algo(0) << Dist(0, false) << "0" << all << "0";
    QTest::newRow("weighted keeps manhattan selected")
        << "algo:2 dist:2 algo:4" << Algo(4) << Dist(2) << "0" << all << "0";
    QTest::newRow("arrow keys onto centroid sorting")
        << "dist:2 key:algo key:algo key:algo" << Algo(3) << Dist(0, false) << "0" << all << "0";
    QTest::newRow("data file resets strategy and coefficient only")
        << "algo:1 dist:2 load" << Algo(0) << Dist(0) << "0" << all << "0";
    QTest::newRow("then manhattan goes with minimum variance")
        << "algo:1 dist:2 load dist:2" << Algo(0) << Dist(2) << "0" << all << "0";
    QTest::newRow("data file keeps the constrained form")
        << "check algo:1 load" << Algo(0, true) << Dist(0) << "0" << all << "0";
    QTest::newRow("cancelled dialog empties the column lists")
        << "algo:4 id:2 depth:3 open" << Algo(0) << Dist(0) << "0" << "" << "";
    QTest::newRow("identifier deselects its data column")
        << "id:3" << Algo(0) << Dist(0) << "3" << "0,1,3" << "0";
    QTest::newRow("data column sends identifier back to NONE")
        << "id:3 data+:2" << Algo(0) << Dist(0) << "0" << all << "0";
    QTest::newRow("NONE changes nothing")
        << "id:3 id:0" << Algo(0) << Dist(0) << "0" << "0,1,3" << "0";
    QTest::newRow("plain click selects one data column")
        << "data:1" << Algo(0) << Dist(0) << "0" << "1" << "0";
    QTest::newRow("plain click on the identifier's column")
        << "id:2 data:1" << Algo(0) << Dist(0) << "0" << "1" << "0";
    QTest::newRow("identifier of an unselected column")
        << "data:0 id:3" << Algo(0) << Dist(0) << "3" << "0" << "0";
    QTest::newRow("shift range over the identifier's column")
        << "id:2 data:0 data^:3" << Algo(0) << Dist(0) << "0" << all << "0";
    QTest::newRow("ctrl click off a data column keeps the identifier")
        << "id:2 data+:3" << Algo(0) << Dist(0) << "2" << "0,2" << "0";
    QTest::newRow("depth list has no rule")
        << "id:3 depth:2" << Algo(0) << Dist(0) << "3" << "0,1,3" << "2";
    QTest::newRow("depth may be a data column")
        << "depth:1 data^:3" << Algo(0) << Dist(0) << "0" << all << "1";
  }
  void choiceRules() {
    QFETCH(QString, script);
    Load(twelve);
    Run(script);
    QTEST(ListState(List("AlgoList")), "algo");
    QTEST(ListState(List("DistList")), "dist");
    QTEST(SelectedRows(List("IDList")), "id");
    QTEST(SelectedRows(List("DataColList")), "data");
    QTEST(SelectedRows(List("DepthListBox")), "depth");
    QVERIFY(dialogs->Messages.empty());
  }

  void dataFileResetsBeforeTheDialog() {
    Load(twelve);
    Run("algo:2 id:3");
    Press(QStringLiteral("FileOpen"));  // cancelled
    QCOMPARE(dialogs->OpenCalls, 2);
    QCOMPARE(dialogs->LastOpenFilter,
             QStringLiteral("SDF Text files (*.txt)|*.TXT|DBase files (*.dbf)|*.DBF|Paradox "
                            "files (*.db)|*.DB|Row-Column ASCII (*.DAT)|*.DAT|Comma-separated "
                            "text (*.csv)|*.CSV|All files (*.*)|*.*"));
    QCOMPARE(dialogs->LastOpenFilterIndex, 4);
    // the grid and the loaded state stay
    QVERIFY(Control("StartButton")->isVisible());
    QCOMPARE(Control<QTableView>("DataGrid")->model()->rowCount(), 12);
  }

  void gridShowsTheFile() {
    Load(twelve);
    auto* grid = Control<QTableView>("DataGrid");
    const QAbstractItemModel* model = grid->model();
    QCOMPARE(model->rowCount(), 12);
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("COLUMN  1"));
    QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("COLUMN  4"));
    QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("  1"));
    QCOMPARE(model->headerData(11, Qt::Vertical).toString(), QStringLiteral(" 12"));
    QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("10"));
    QCOMPARE(model->data(model->index(6, 3)).toString(), QStringLiteral("13"));
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid->rowHeight(0), 16);
    QCOMPARE(form->CellText(1, 6), std::string("40"));
    QCOMPARE(form->RowCount(), 13);
  }

  void largestFileLoadsQuickly() {
    // a text table: its lines may be as long as 2000 values need
    QByteArray bytes;
    for (int column = 1; column <= 2000; ++column) bytes += "F" + QByteArray::number(column) + (column < 2000 ? "," : "\n");
    for (int row = 0; row < 200; ++row)
      for (int column = 1; column <= 2000; ++column)
        bytes += QByteArray::number((row + column) % 97) + (column < 2000 ? "," : "\n");
    const QString path = WriteTestFile(*folder, QStringLiteral("large.csv"), bytes);
    QElapsedTimer clock;
    clock.start();
    Load(path);
    QCoreApplication::processEvents();
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(dialogs->Messages.empty(), dialogs->Messages.empty() ? "" : qPrintable(dialogs->Messages[0].Text));
    QCOMPARE(Control<QTableView>("DataGrid")->model()->rowCount(), 200);
    QCOMPARE(Control<QTableView>("DataGrid")->model()->columnCount(), 2000);
    QCOMPARE(List("IDList")->count(), 2001);
    QCOMPARE(List("DataColList")->selectedItems().size(), 2000);
    QCOMPARE(form->EntryCount(ChoiceList::DataCol), 2000);
    QVERIFY(form->IsSelected(ChoiceList::DataCol, 1999));
    QVERIFY(!form->IsSelected(ChoiceList::DataCol, 2000));
  }

  void failedLoadsShowTheirMessage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("header not two numbers") << "bad.dat" << QByteArray("x y\r\n1 2\r\n")
                                            << "I/O ERROR" << "Data file corrupt.";
    QTest::newRow("a line one value short") << "short.DAT" << QByteArray("2 3\r\n1 2 3\r\n1 2\r\n")
                                            << "I/O ERROR" << "Data file corrupt.";
    QTest::newRow("tabs do not separate") << "tabs.dat" << QByteArray("1 2\r\n1\t2\r\n")
                                          << "I/O ERROR" << "Data file corrupt.";
    QTest::newRow("201 rows") << "rows.dat" << QByteArray("201 2\r\n") << "DATA PARSING ERROR"
                              << "Maximum size of data matrix exceeded.";
    QTest::newRow("2001 columns") << "cols.dat" << QByteArray("1 2001\r\n")
                                  << "DATA PARSING ERROR" << "Maximum size of data matrix exceeded.";
  }
  void failedLoadsShowTheirMessage() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    Load(WriteTestFile(*folder, name, bytes));
    QCOMPARE(dialogs->Messages.size(), 1u);
    QTEST(dialogs->Messages[0].Caption, "caption");
    QTEST(dialogs->Messages[0].Text, "text");
    QCOMPARE(dialogs->Messages[0].Buttons, MessageButtons::Ok);
    QCOMPARE(dialogs->Messages[0].Icon, MessageIcon::None);
    QVERIFY(Control("Logo")->isVisible());
    QVERIFY(!Control("StartButton")->isVisible());
    // a good file loads afterwards as if nothing had happened
    Load(twelve);
    QCOMPARE(dialogs->Messages.size(), 1u);
    QVERIFY(Control("StartButton")->isVisible());
    QCOMPARE(List("DataColList")->count(), 4);
  }

  void runDrawsTheTree() {
    Load(twelve);
    ClickCheckBox();
    Press(QStringLiteral("StartButton"));
    QVERIFY(dialogs->Messages.empty());
    QVERIFY(results->isVisible());
    QVERIFY(!AllWhite(results->Picture()));
    const Analysis& analysis = results->Store().Current();
    QCOMPARE(int(analysis.Settings.Strategy), int(MinimumVariance));
    QCOMPARE(int(analysis.Settings.Coefficient), int(Euclidean));
    QVERIFY(analysis.Settings.Constrained);
    QCOMPARE(analysis.Settings.DepthColumn, 1);
    QCOMPARE(analysis.Matrix.ObjectCount, 12);
    QCOMPARE(analysis.Matrix.VariableCount, 3);  // the depth column is no variable
    QCOMPARE(analysis.Matrix.Labels[1], std::string("10"));
    QCOMPARE(analysis.Matrix.Labels[4], std::string("40"));  // sorted by depth
    QCOMPARE(CountNodes(analysis.TreeRoot.get()), 23);
  }

  void runReadsTheChoices_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("strategy");
    QTest::addColumn<int>("coefficient");
    QTest::addColumn<int>("idColumn");
    QTest::addColumn<int>("variables");
    QTest::newRow("defaults") << "" << int(MinimumVariance) << int(Euclidean) << 0 << 4;
    QTest::newRow("furthest, manhattan, identifier 1")
        << "algo:1 dist:2 id:1" << int(FurthestNeighbour) << int(Manhattan) << 1 << 3;
    QTest::newRow("unweighted, chord") << "algo:5 dist:1" << int(UnweightedPairgroup)
                                       << int(Chord) << 0 << 4;
    QTest::newRow("manhattan kept with minimum variance after data file")
        << "algo:1 dist:2 load dist:2" << int(MinimumVariance) << int(Manhattan) << 0 << 4;
  }
  void runReadsTheChoices() {
    QFETCH(QString, script);
    Load(twelve);
    Run(script);
    Press(QStringLiteral("StartButton"));
    QVERIFY(dialogs->Messages.empty());
    const AnalysisSettings& settings = results->Store().Current().Settings;
    QTEST(int(settings.Strategy), "strategy");
    QTEST(int(settings.Coefficient), "coefficient");
    QTEST(int(settings.IdColumn), "idColumn");
    QTEST(int(results->Store().Current().Matrix.VariableCount), "variables");
    QVERIFY(results->isVisible());
  }

  void runMessages_data() {
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("text");
    const QString tooFew = "You should select at least 2 datacolumns.";
    QTest::newRow("one data column") << QByteArray("13") << "data:2" << tooFew;
    QTest::newRow("depth and one more, constrained") << QByteArray("13") << "data:0 data+:1 check"
                                                     << tooFew;
    QTest::newRow("lists emptied by a cancelled dialog") << QByteArray("13") << "open" << tooFew;
    QTest::newRow("non-numeric cell") << QByteArray("1..2") << ""
                                      << "Data file contains non-numeric fields";
  }
  void runMessages() {
    QFETCH(QByteArray, cell);
    QFETCH(QString, script);
    Load(WriteTestFile(*folder, QStringLiteral("cell.dat"), TwelveObjectFile(cell)));
    Run(script);
    Press(QStringLiteral("StartButton"));
    QCOMPARE(dialogs->Messages.size(), 1u);
    QCOMPARE(dialogs->Messages[0].Caption, QStringLiteral("DATA PARSING ERROR"));
    QTEST(dialogs->Messages[0].Text, "text");
    QCOMPARE(dialogs->Messages[0].Icon, MessageIcon::None);
    QVERIFY(!results->isVisible());
  }

  void unexpectedErrorsReachTheGeneralHandler_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("text");  // empty: the engine's own
    QTest::newRow("overflowing cell") << "big.dat" << TwelveObjectFile("1E99") << true
                                      << "Floating point overflow.";
    QTest::newRow("not a dBase table") << "NOTDB.DBF" << QByteArray("no table here") << false << "";
    QTest::newRow("not a Paradox table") << "NOTPX.DB" << QByteArray(300, 'x') << false << "";
  }
  void unexpectedErrorsReachTheGeneralHandler() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    QFETCH(QString, text);
    Load(WriteTestFile(*folder, name, bytes));
    if (loads) Press(QStringLiteral("StartButton"));
    QCOMPARE(dialogs->Messages.size(), 1u);
    const RecordedMessage& message = dialogs->Messages[0];
    QCOMPARE(message.Caption, QStringLiteral("vardell"));
    QCOMPARE(message.Icon, MessageIcon::Error);
    QCOMPARE(message.Buttons, MessageButtons::Ok);
    if (!text.isEmpty()) QCOMPARE(message.Text, text);
    QVERIFY2(message.Text.size() > 1 && (message.Text.endsWith(u'.') || message.Text.back() < u'.'),
             qPrintable(message.Text));
    QCOMPARE(Control("StartButton")->isVisible(), loads);
    QVERIFY(!results->isVisible());
    if (!loads) {
      QCOMPARE(ListState(List("IDList")), QStringLiteral("NONE*"));
      QCOMPARE(List("DataColList")->count(), 0);
    }
    // the program waits for the next command
    Load(twelve);
    Press(QStringLiteral("StartButton"));
    QCOMPARE(dialogs->Messages.size(), 1u);
    QVERIFY(results->isVisible());
  }

  void closeThenRunAgain() {
    Load(twelve);
    Press(QStringLiteral("StartButton"));
    QVERIFY(results->isVisible());
    QTest::mouseClick(results->findChild<QPushButton*>(QStringLiteral("CloseButton")), Qt::LeftButton);
    QVERIFY(!results->isVisible());
    QVERIFY(!results->Store().Current().TreeRoot);
    Run("algo:2 dist:1");
    Press(QStringLiteral("StartButton"));
    QVERIFY(results->isVisible());
    QCOMPARE(int(results->Store().Current().Settings.Strategy), int(NearestNeighbour));
    QCOMPARE(CountNodes(results->Store().Current().TreeRoot.get()), 23);
    QVERIFY(!AllWhite(results->Picture()));
    QVERIFY(form->isVisible());
  }

  void f1OpensHelpOnTheCoefficientListOnly_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opens");
    QTest::newRow("coefficient list") << "DistList" << true;
    QTest::newRow("strategy list") << "AlgoList" << false;
    QTest::newRow("data columns") << "DataColList" << false;
    QTest::newRow("data file button") << "FileOpen" << false;
    QTest::newRow("window") << "Form1" << false;
  }
  void f1OpensHelpOnTheCoefficientListOnly() {
    QFETCH(QString, name);
    QFETCH(bool, opens);
    Load(twelve);
    QWidget* target = name == "Form1" ? form.get() : Control(name);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_F1);
    QCOMPARE(HelpViewer() != nullptr && HelpViewer()->isVisible(), opens);
    if (opens) {
      auto* browser = HelpViewer()->findChild<QTextBrowser*>();
      QCOMPARE(browser->source().fragment(), QStringLiteral("coefficients"));
      QVERIFY(browser->toPlainText().contains(QStringLiteral("Chord distance")));
    }
  }

  void helpButtonOpensTheContents() {
    Press(QStringLiteral("HelpButton"));
    QVERIFY(HelpViewer() && HelpViewer()->isVisible());
    auto* browser = HelpViewer()->findChild<QTextBrowser*>();
    QVERIFY(browser->source().fragment().isEmpty());
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Contents")));
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QVERIFY(dialogs->Messages.empty());
  }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
