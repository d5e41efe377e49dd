// The parameter window driven as a user drives it: controls found by name, clicks on list
// entries at their places, dialogs answered by the scripted seam. Also the messages of failed
// commands and the general handler, the help and the tab order of both windows, and the ways
// the program ends.

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/help/helpfile.h"
#include "support_windows.h"

using namespace vardell;

namespace {

QString State(QStringList entries, int count, int selected) {
  entries = entries.mid(0, count);
  entries[selected] += u'*';
  return entries.join(u'|');
}
QString Algo(int selected, bool constrained = false) {
  return State({"Minimum variance strategy", "Furthest neighbour", "Nearest neighbour",
                "Centroid sorting", "Weighted pairgroup", "Unweighted pairgroup"},
               constrained ? 2 : 6, selected);
}
QString Dist(int selected, bool manhattan = true) {
  return State({"Euclidian distance", "Chord distance", "Manhattan metric"}, manhattan ? 3 : 2,
               selected);
}
// "Minimum variance strategy*|Furthest neighbour": the entries, selected ones marked "*";
// or "0,2,3": the positions of the selected entries.
QString ListState(const QListWidget* list, bool texts = true) {
  QStringList parts;
  for (int row = 0; row < list->count(); ++row) {
    const bool selected = list->item(row)->isSelected();
    if (texts)
      parts << list->item(row)->text() + (selected ? "*" : "");
    else if (selected)
      parts << QString::number(row);
  }
  return parts.join(texts ? u'|' : u',');
}
// A click of the user on an entry, at the entry's place in the list's viewport.
void ClickEntry(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  list->scrollToItem(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                    list->visualItemRect(list->item(row)).center());
}
// What a load left in a parameter window: the messages shown, the column lists, whether the
// analysis controls are shown, and the grid's size.
QString Outcome(const QWidget& form, const ScriptedDialogs& dialogs) {
  QStringList parts;
  for (const RecordedMessage& m : dialogs.Messages) parts << m.Caption + ": " + m.Text;
  for (const char* name : {"DepthListBox", "IDList", "DataColList"}) {
    QStringList entries;
    const auto* list = form.findChild<QListWidget*>(QString::fromLatin1(name));
    for (int row = 0; row < list->count(); ++row)
      entries << list->item(row)->text() + (list->item(row)->isSelected() ? "*" : "");
    parts << entries.join(u'|');
  }
  const auto* grid = form.findChild<QTableView*>(QStringLiteral("DataGrid"));
  parts << QString::number(grid->model()->rowCount()) + 'x' +
               QString::number(grid->model()->columnCount()) +
               (form.findChild<QWidget*>(QStringLiteral("StartButton"))->isVisibleTo(&form)
                    ? " loaded"
                    : "");
  return parts.join(u'\n');
}
bool AllWhite(const QImage& image) {
  QImage white(image.size(), QImage::Format_RGB32);
  white.fill(Qt::white);
  return image.convertToFormat(QImage::Format_RGB32) == white;
}

}  // namespace

class TestForm1 : public QObject {
  Q_OBJECT

  std::unique_ptr<Windows> w;

  QListWidget* List(const QString& shortName) {
    static const QHash<QString, QString> names{{"algo", "AlgoList"},
                                               {"dist", "DistList"},
                                               {"depth", "DepthListBox"},
                                               {"id", "IDList"},
                                               {"data", "DataColList"}};
    return w->Control<QListWidget>(names.value(shortName, shortName));
  }
  // Steps separated by blanks: "algo:5" clicks strategy 5, "data+:2" Ctrl-clicks data column
  // 2, "data^:3" Shift-clicks it, "key:algo" presses the down arrow in the strategy list,
  // "check" clicks the check box, "open" presses "Data File" and cancels, "load" loads the
  // twelve-object file again.
  void Script(const QString& script) {
    for (const QString& step : script.split(u' ', Qt::SkipEmptyParts)) {
      const QString what = step.section(u':', 0, 0);
      const int row = step.section(u':', 1).toInt();
      if (what == "check")
        w->ClickCheckBox();
      else if (what == "open")
        w->Click(QStringLiteral("FileOpen"));
      else if (what == "load")
        w->Load(w->Twelve);
      else if (what == "key")
        QTest::keyClick(List(step.section(u':', 1)), Qt::Key_Down);
      else if (what.endsWith(u'+'))
        ClickEntry(List(what.chopped(1)), row, Qt::ControlModifier);
      else if (what.endsWith(u'^'))
        ClickEntry(List(what.chopped(1)), row, Qt::ShiftModifier);
      else
        ClickEntry(List(what), row);
    }
  }

 private slots:
  void init() { w = std::make_unique<Windows>(); }
  void cleanup() { w.reset(); }

  void choiceRules_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("algo");
    QTest::addColumn<QString>("dist");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("depth");
    const auto row = [](const char* name, const char* script, const QString& algo,
                        const QString& dist, const char* id = "0", const char* data = "0,1,2,3",
                        const char* depth = "0") {
      QTest::newRow(name) << QString(script) << algo << dist << QString(id) << QString(data)
                          << QString(depth);
    };
    row("after a load", "", Algo(0), Dist(0));
    row("check with unweighted, manhattan", "algo:5 dist:2 check", Algo(0, true), Dist(0, false));
    row("uncheck: four back, no manhattan", "algo:5 dist:2 check check", Algo(0), Dist(0, false));
    row("uncheck keeps furthest selected", "check algo:1 check", Algo(1), Dist(0));
    row("after uncheck a click decides", "algo:5 dist:2 check check algo:4", Algo(4), Dist(0));
    row("furthest appends manhattan, selection kept", "algo:3 dist:1 algo:1", Algo(1), Dist(1));
    row("furthest clicked again changes nothing", "algo:3 dist:1 algo:1 algo:1", Algo(1), Dist(1));
    row("furthest clicked while selected appends", "check algo:1 check algo:1", Algo(1), Dist(0));
    row("centroid with chord", "dist:1 algo:3", Algo(3), Dist(0, false));
    row("minimum variance with manhattan", "algo:1 dist:2 algo:0", Algo(0), Dist(0, false));
    row("weighted keeps manhattan selected", "algo:2 dist:2 algo:4", Algo(4), Dist(2));
    row("arrow keys onto centroid", "dist:2 key:algo key:algo key:algo", Algo(3), Dist(0, false));
    row("data file resets strategy and coefficient only", "algo:1 dist:2 load", Algo(0), Dist(0));
    row("then manhattan goes with minimum variance", "algo:1 dist:2 load dist:2", Algo(0), Dist(2));
    row("data file keeps the constrained form", "check algo:1 load", Algo(0, true), Dist(0));
    row("cancel empties the columns", "algo:4 id:2 depth:3 open", Algo(0), Dist(0), "0", "", "");
    row("identifier deselects its data column", "id:3", Algo(0), Dist(0), "3", "0,1,3");
    row("data column sends identifier back to NONE", "id:3 data+:2", Algo(0), Dist(0));
    row("NONE changes nothing", "id:3 id:0", Algo(0), Dist(0), "0", "0,1,3");
    row("plain click selects one data column", "data:1", Algo(0), Dist(0), "0", "1");
    row("plain click on the identifier's column", "id:2 data:1", Algo(0), Dist(0), "0", "1");
    row("identifier of an unselected column", "data:0 id:3", Algo(0), Dist(0), "3", "0");
    row("shift range over the identifier's column", "id:2 data:0 data^:3", Algo(0), Dist(0));
    row("ctrl click off a data column keeps the id", "id:2 data+:3", Algo(0), Dist(0), "2", "0,2");
    row("depth list has no rule", "id:3 depth:2", Algo(0), Dist(0), "3", "0,1,3", "2");
    row("depth may be a data column", "depth:1 data^:3", Algo(0), Dist(0), "0", "0,1,2,3", "1");
  }
  void choiceRules() {
    QFETCH(QString, script);
    w->Load(w->Twelve);
    Script(script);
    QTEST(ListState(List("algo")), "algo");
    QTEST(ListState(List("dist")), "dist");
    QTEST(ListState(List("id"), false), "id");
    QTEST(ListState(List("data"), false), "data");
    QTEST(ListState(List("depth"), false), "depth");
    QVERIFY(w->Dialogs.Messages.empty());
    // a cancelled dialog keeps the grid and the loaded state
    QVERIFY(w->Control("StartButton")->isVisible());
    QCOMPARE(w->Control<QTableView>("DataGrid")->model()->rowCount(), 12);
  }

  void gridShowsTheFile() {
    w->Load(w->Twelve);
    auto* grid = w->Control<QTableView>("DataGrid");
    const QAbstractItemModel* model = grid->model();
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("COLUMN  4"));
    QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("  1"));
    QCOMPARE(model->headerData(11, Qt::Vertical).toString(), QStringLiteral(" 12"));
    QCOMPARE(model->data(model->index(6, 3)).toString(), QStringLiteral("13"));
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    // every header fits its column, a short one in a column of the design's 64 pixels
    w->Load(w->Write(QStringLiteral("names.csv"), "A,A rather long name for a column\n1,2\n"));
    QHeaderView* header = grid->horizontalHeader();
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    QCOMPARE(header->sectionSize(0), 64);
    QVERIFY(header->sectionSize(1) >=
            QFontMetrics(header->font()).horizontalAdvance("A rather long name for a column") +
                margins);
  }

  void runReadsTheChoices_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("strategy");
    QTest::addColumn<int>("coefficient");
    QTest::addColumn<int>("idColumn");
    QTest::addColumn<int>("variables");
    QTest::newRow("defaults") << "" << int(StrategyCode::MinimumVariance)
                              << int(CoefficientCode::Euclidean) << 0 << 4;
    QTest::newRow("constrained: the depth column is no variable")
        << "check" << int(StrategyCode::MinimumVariance) << int(CoefficientCode::Euclidean) << 0
        << 3;
    QTest::newRow("furthest, manhattan, identifier 1")
        << "algo:1 dist:2 id:1" << int(StrategyCode::FurthestNeighbour)
        << int(CoefficientCode::Manhattan) << 1 << 3;
    QTest::newRow("unweighted, chord") << "algo:5 dist:1" << int(StrategyCode::UnweightedPairgroup)
                                       << int(CoefficientCode::Chord) << 0 << 4;
    QTest::newRow("manhattan kept with minimum variance after data file")
        << "algo:1 dist:2 load dist:2" << int(StrategyCode::MinimumVariance)
        << int(CoefficientCode::Manhattan) << 0 << 4;
  }
  void runReadsTheChoices() {
    QFETCH(QString, script);
    w->Load(w->Twelve);
    Script(script);
    w->Run();
    QVERIFY(w->Dialogs.Messages.empty());
    QVERIFY(w->Results.isVisible());
    QVERIFY(!AllWhite(w->Results.Picture()));
    const Analysis& analysis = w->Results.Store().Current();
    QTEST(int(analysis.Settings.Strategy), "strategy");
    QTEST(int(analysis.Settings.Coefficient), "coefficient");
    QTEST(int(analysis.Settings.IdColumn), "idColumn");
    QTEST(int(analysis.Matrix.VariableCount), "variables");
    QCOMPARE(analysis.Matrix.ObjectCount, 12);
    QCOMPARE(CountNodes(analysis.TreeRoot.get()), 23);
    QCOMPARE(analysis.Settings.Constrained, script == "check");
    if (analysis.Settings.Constrained) {
      QCOMPARE(analysis.Settings.DepthColumn, 1);
      QCOMPARE(analysis.Matrix.Labels[1], std::string("10"));
      QCOMPARE(analysis.Matrix.Labels[4], std::string("40"));  // sorted by depth
    }
  }

  void failuresShowTheirMessage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("script");  // "-": the load fails, else the run after it
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");  // empty: the table engine's own
    const QString corrupt = "Data file corrupt.";
    const QString tooLarge = "Maximum size of data matrix exceeded.";
    const QString tooFew = "You should select at least 2 datacolumns.";
    const auto row = [](const char* name, const char* file, const QByteArray& bytes,
                        const char* script, const char* caption, const QString& text) {
      QTest::newRow(name) << QString(file) << bytes << QString(script) << QString(caption) << text;
    };
    row("header not two numbers", "bad.dat", "x y\r\n1 2\r\n", "-", "I/O ERROR", corrupt);
    row("201 rows", "rows.dat", "201 2\r\n", "-", "DATA PARSING ERROR", tooLarge);
    row("not a dBase table", "NOTDB.DBF", "no table here", "-", "vardell", "");
    row("not a Paradox table", "NOTPX.DB", QByteArray(300, 'x'), "-", "vardell", "");
    row("one data column", "cell.dat", TwelveObjectFile(), "data:2", "DATA PARSING ERROR", tooFew);
    row("depth and one more, constrained", "cell.dat", TwelveObjectFile(), "data:0 data+:1 check",
        "DATA PARSING ERROR", tooFew);
    row("lists emptied by a cancelled dialog", "cell.dat", TwelveObjectFile(), "open",
        "DATA PARSING ERROR", tooFew);
    row("non-numeric cell", "cell.dat", TwelveObjectFile("1..2"), "", "DATA PARSING ERROR",
        "Data file contains non-numeric fields");
    row("overflowing cell", "big.dat", TwelveObjectFile("1E99"), "", "vardell",
        "Floating point overflow.");
  }
  void failuresShowTheirMessage() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, script);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    const QString path = w->Write(name, bytes);
    const bool loads = script != "-";
    w->Load(path);
    if (loads) {
      Script(script);
      w->Run();
    }
    QCOMPARE(w->Dialogs.Messages.size(), 1u);
    const RecordedMessage& message = w->Dialogs.Messages[0];
    QCOMPARE(message.Caption, caption);
    QCOMPARE(message.Buttons, MessageButtons::Ok);
    if (!text.isEmpty()) QCOMPARE(message.Text, text);
    // unexpected errors reach the general handler, which ends their text with a full stop
    const bool unexpected = caption == "vardell";
    QCOMPARE(message.Icon, unexpected ? MessageIcon::Error : MessageIcon::None);
    const QString& said = message.Text;
    if (unexpected)
      QVERIFY2(said.size() > 1 && (said.endsWith(u'.') || said.back() < u'.'), qPrintable(said));
    QVERIFY(!w->Results.isVisible());
    // a failed load reveals nothing
    QCOMPARE(w->Control("Logo")->isVisible(), !loads);
    QCOMPARE(w->Control("StartButton")->isVisible(), loads);
    if (!loads) {
      QCOMPARE(ListState(List("id")), QStringLiteral("NONE*"));
      QCOMPARE(List("data")->count(), 0);
    }
    // the program waits for the next command
    w->Load(w->Twelve);
    w->Run();
    QCOMPARE(w->Dialogs.Messages.size(), 1u);
    QVERIFY(w->Results.isVisible());
    QCOMPARE(List("data")->count(), 4);
    w->Load(path);  // nor does a failed load hide anything later
    QVERIFY(w->Control("StartButton")->isVisible());
  }

  void helpContexts_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("pressF1");      // else clicked
    QTest::addColumn<QString>("fragment");  // "-": no help opens
    QTest::addColumn<QString>("heading");
    const QString results = "The results window";
    QTest::newRow("Help button") << "HelpButton" << false << ""
                                 << "Contents";
    QTest::newRow("F1 in the coefficient list") << "DistList" << true << "coefficients"
                                                << "Distance coefficients";
    QTest::newRow("F1 in the strategy list") << "AlgoList" << true << "-"
                                             << "";
    QTest::newRow("F1 in the data columns") << "DataColList" << true << "-"
                                            << "";
    QTest::newRow("F1 on the window") << "Form1" << true << "-"
                                      << "";
    QTest::newRow("results Help button") << "results/HelpButton" << false << ""
                                         << "Contents";
    QTest::newRow("F1 in a scale field") << "VscaleEdit" << true << "results" << results;
    QTest::newRow("F1 on the drawing") << "PaintBox" << true << "results" << results;
  }
  void helpContexts() {
    QFETCH(QString, control);
    QFETCH(bool, pressF1);
    QFETCH(QString, fragment);
    QFETCH(QString, heading);
    w->Load(w->Twelve);
    w->Run();
    QWidget* target = w->Control(control);
    target->setFocus();
    if (pressF1)
      QTest::keyClick(target, Qt::Key_F1);
    else
      QTest::mouseClick(target, Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
    const QList<QTextBrowser*> shown = ShownHelp();
    QCOMPARE(shown.size(), fragment == "-" ? 0 : 1);
    if (shown.isEmpty()) return;
    QCOMPARE(shown[0]->source().fragment(), fragment);
    QVERIFY(shown[0]->toPlainText().contains(heading));
    if (fragment.isEmpty()) QCOMPARE(shown[0]->verticalScrollBar()->value(), 0);
    QFile file(QStringLiteral(":/help/vardell.html"));  // the topic is an anchor of the file
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray anchor = "<a name=\"" + fragment.toUtf8() + "\">";
    QVERIFY(fragment.isEmpty() || file.readAll().contains(anchor));
    // both windows share one viewer
    QTest::keyClick(w->Control("PrButton"), Qt::Key_F1);
    QCOMPARE(ShownHelp(), shown);
    QCOMPARE(shown[0]->source().fragment(), QStringLiteral("results"));
    QCOMPARE(InstalledHelpFile(), BuiltInHelpFile());  // no copy is installed beside the tests
    QVERIFY(w->Dialogs.Messages.empty());
  }

  // Tab walks each window's controls in their designed order: the focus chain from the first,
  // through the controls that Tab stops at.
  void tabOrder_data() {
    QTest::addColumn<QString>("controls");
    QTest::newRow("parameter window") << "FileOpen Button1 CheckBox1 AlgoList DistList "
                                         "DepthListBox IDList DataColList StartButton HelpButton "
                                         "DataGrid";
    QTest::newRow("results window") << "results/ExitButton CloseButton VscaleEdit HscaleEdit "
                                       "TickEdit PrButton MFButton FntButton FitButton "
                                       "HelpButton CopyButton ZonesButton";
  }
  void tabOrder() {
    QFETCH(QString, controls);
    w->Load(w->Twelve);
    w->Run();
    const QStringList names = controls.split(u' ');
    QWidget* control = w->Control(names[0]);
    QStringList walked;
    for (int stops = 0; stops < names.size(); control = control->nextInFocusChain()) {
      const bool stop = (control->focusPolicy() & Qt::TabFocus) == Qt::TabFocus &&
                        !control->focusProxy() && control->isEnabled() &&
                        control->isVisibleTo(control->window());
      if (stop) walked << control->objectName(), ++stops;
    }
    QCOMPARE(walked.join(u' '), controls.section(u'/', -1));
  }

  // A file named on the command line loads as "Data File" loads it, with the same message
  // when it cannot be read; both remember its folder for the open dialog of later runs.
  void commandLineFileLoadsAsDataFile_data() {
    QTest::addColumn<QByteArray>("bytes");  // empty: no such file
    QTest::newRow("twelve objects") << TwelveObjectFile();
    QTest::newRow("corrupt header") << QByteArray("x y\r\n1 2\r\n");
    QTest::newRow("no such file") << QByteArray();
  }
  void commandLineFileLoadsAsDataFile() {
    QFETCH(QByteArray, bytes);
    const QString folder = w->Folder.filePath(QStringLiteral("a b/\u00fcber"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = bytes.isEmpty() ? folder + QStringLiteral("/none.dat")
                                         : w->Write(QStringLiteral("a b/\u00fcber/f.dat"), bytes);
    w->Load(path);
    const QString viaDialog = Outcome(w->Form, w->Dialogs);
    ScriptedDialogs dialogs;  // a later run of the program, started with the file
    TClustExec results(dialogs);
    TForm1 form(results, dialogs);
    form.OpenDataFile(path);
    QCOMPARE(Outcome(form, dialogs), viaDialog);
    QCOMPARE(dialogs.Messages.size(), bytes.startsWith("12") ? 0u : 1u);
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("FileOpen")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(w->Dialogs.OpenFolders, std::vector<QString>{QString()});
    QCOMPARE(dialogs.OpenFolders, std::vector<QString>{folder});
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
    if (resultsShown) w->Results.show();
    // the event loop runs as the program runs it, and must end by itself
    QTimer::singleShot(0, &w->Form, [&] {
      if (byFrame)
        w->Form.close();
      else
        w->Click(QStringLiteral("Button1"));
    });
    QTimer::singleShot(5000, &w->Form, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(w->Dialogs.Messages.empty());
  }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
