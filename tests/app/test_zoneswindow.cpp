// The Zones window driven as a user drives it from the results window: the number of zones
// at opening, the table and the drawn cut following the spin box, the table saved through the
// scripted dialogs, help, and the window following the results window's runs and Close.

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>
#include <memory>

#include "app/brokenstickchart.h"
#include "app/zoneswindow.h"
#include "diagram/recordingsurface.h"
#include "engine/zonation.h"
#include "support_windows.h"

using namespace vardell;

class TestZonesWindow : public QObject {
  Q_OBJECT

  std::unique_ptr<Windows> w;

  TZonesWindow* Zones() { return w->Results.findChild<TZonesWindow*>(); }
  template <typename T = QWidget>
  T* InZones(const char* name) {
    T* control = Zones()->findChild<T*>(QString::fromLatin1(name));
    if (!control) qFatal("no control %s in the Zones window", name);
    return control;
  }
  QSpinBox* Spin() { return InZones<QSpinBox>("ZoneSpin"); }
  QTableWidget* Table() { return InZones<QTableWidget>("ZoneTable"); }
  const Analysis& Current() { return w->Results.Store().Current(); }
  // What the results window's diagram draws now, call by call, on a recording screen.
  QString DrawnCalls() {
    TreeDiagram diagram = w->Results.Diagram();
    diagram.ScalesFitted = nullptr;
    RecordingSurface screen(665, 689, 96, 7, 13);
    diagram.RedrawDiagram(w->Results.Store().Current(), OutputTarget::Screen, screen);
    QString all;
    for (const RecordedCall& c : screen.Calls())
      all += QStringLiteral("%1 %2,%3 %4,%5 %6\n")
                 .arg(int(c.Op))
                 .arg(c.X1)
                 .arg(c.Y1)
                 .arg(c.X2)
                 .arg(c.Y2)
                 .arg(QString::fromStdString(c.Text));
    return all;
  }
  QStringList Headers() {
    QStringList headers;
    for (int c = 0; c < Table()->columnCount(); ++c)
      headers << Table()->horizontalHeaderItem(c)->text();
    return headers;
  }
  void RunConstrained() {
    w->ClickCheckBox();
    w->Run();
  }
  QByteArray Saved(const QString& name) {
    return w->SavedBy(QStringLiteral("results/SaveButton"), name);
  }

 private slots:
  void init() {
    w = std::make_unique<Windows>();
    w->Load(w->Twelve);
  }
  void cleanup() { w.reset(); }

  void opensAtTheSuggestionAndFollowsTheSpinBox() {
    RunConstrained();
    const QString plain = DrawnCalls();
    const QImage plainPicture = w->Results.Picture().copy();
    QCOMPARE(w->Control<QPushButton>("results/ZonesButton")->geometry(), QRect(680, 536, 113, 25));
    w->Click(QStringLiteral("results/ZonesButton"));
    QVERIFY(Zones() && Zones()->isVisible());
    QCOMPARE(Zones()->windowTitle(), QStringLiteral("Zones"));
    QVERIFY(!Zones()->isModal());
    const int suggestion = BrokenStickTable(Current().TreeRoot.get(), 12).Suggestion;
    QVERIFY(suggestion >= 2);  // the file holds three sediments
    QCOMPARE(Spin()->value(), suggestion);
    QCOMPARE(Spin()->minimum(), 1);
    QCOMPARE(Spin()->maximum(), 12);
    QVERIFY(InZones<BrokenStickChart>("BrokenStickChart")->isVisible());
    QCOMPARE(InZones<BrokenStickChart>("BrokenStickChart")->Rows().size(), std::size_t(10));
    QVERIFY(InZones<QLabel>("SuggestionLabel")->text().contains(QString::number(suggestion)));
    QCOMPARE(Headers(), QStringList({"Zone", "Samples", "Top", "Bottom", "Top depth",
                                     "Bottom depth", "Boundary below"}));
    QCOMPARE(Table()->rowCount(), suggestion);

    const QString atSuggestion = DrawnCalls();
    QVERIFY(atSuggestion.startsWith(plain) && atSuggestion != plain);
    QVERIFY(w->Results.Picture() != plainPicture);
    QTest::keyClick(Spin(), Qt::Key_Up);
    QCOMPARE(Table()->rowCount(), suggestion + 1);
    QCOMPARE(Table()->item(suggestion, 0)->text(), QString::number(suggestion + 1));
    QVERIFY(Table()->item(suggestion, 6)->text().isEmpty());  // the last zone has no boundary below
    const QString oneMore = DrawnCalls();
    QVERIFY(oneMore.startsWith(plain) && oneMore != atSuggestion);

    // Closed, the diagram is exactly as before.
    QTest::mouseClick(InZones<QPushButton>("CloseButton"), Qt::LeftButton);
    QVERIFY(!Zones()->isVisible());
    QCOMPARE(DrawnCalls(), plain);
    QCOMPARE(w->Results.Picture(), plainPicture);
  }

  void tableOfOneZoneAndOfEverySample() {
    RunConstrained();
    w->Click(QStringLiteral("results/ZonesButton"));
    Spin()->setValue(1);
    QCOMPARE(Table()->rowCount(), 1);
    const QStringList whole = {"1", "12", "10", "110", "10", "110", ""};
    for (int c = 0; c < 7; ++c) QCOMPARE(Table()->item(0, c)->text(), whole[c]);
    Spin()->setValue(12);
    QCOMPARE(Table()->rowCount(), 12);
    // Depth order: 10, 20, 30, 40, 45, 50, ...; the boundary below 40 lies at 42.5.
    QCOMPARE(Table()->item(3, 2)->text(), QStringLiteral("40"));
    QCOMPARE(Table()->item(3, 6)->text(), QStringLiteral("42.5"));
  }

  void ordinaryRunsHaveGroupsAndNoBrokenStick() {
    w->Run();
    w->Click(QStringLiteral("results/ZonesButton"));
    QCOMPARE(Spin()->value(), 2);
    QVERIFY(!InZones<BrokenStickChart>("BrokenStickChart")->isVisible());
    QCOMPARE(InZones<QLabel>("SuggestionLabel")->text(),
             QStringLiteral("The broken stick applies to constrained minimum-variance runs."));
    QCOMPARE(Headers(), QStringList({"Group", "Samples", "Members"}));
    QCOMPARE(Table()->rowCount(), 2);
    const int members = Table()->item(0, 1)->text().toInt() + Table()->item(1, 1)->text().toInt();
    QCOMPARE(members, 12);
    QCOMPARE(Table()->item(0, 2)->text().split(QStringLiteral(", ")).size(),
             Table()->item(0, 1)->text().toInt());
  }

  void savesTheTableAsCsv() {
    RunConstrained();
    w->Click(QStringLiteral("results/ZonesButton"));
    Spin()->setValue(3);
    const QByteArray zones = Saved(QStringLiteral("zones"));
    QCOMPARE(w->Dialogs.LastSaveExtension, QStringLiteral("csv"));
    QVERIFY(QFile::exists(w->Folder.filePath(QStringLiteral("zones.csv"))));
    QVERIFY(zones.isEmpty());  // the name got its extension
    const QByteArray csv = Saved(QStringLiteral("zones.csv"));
    QVERIFY(
        csv.startsWith("zone,samples,first_object,last_object,top_depth,bottom_depth,"
                       "boundary_below\n1,"));
    QCOMPARE(csv.count('\n'), 4);
    // A file that cannot be written is reported; nothing is left behind.
    QVERIFY(Saved(QStringLiteral("missing/zones.csv")).isEmpty());
    QCOMPARE(w->Dialogs.Messages.size(), std::size_t(1));
    QCOMPARE(w->Dialogs.Messages[0].Caption, QStringLiteral("vardell"));
    QVERIFY(w->Dialogs.Messages[0].Text.contains(QStringLiteral("could not be written")));
    QCOMPARE(QDir(w->Folder.path()).entryList(QDir::Files).size(), 2);  // twelve.dat, zones.csv
    // Cancelled: nothing written.
    const int saves = w->Dialogs.SaveCalls;
    QTest::mouseClick(InZones<QPushButton>("SaveButton"), Qt::LeftButton);
    QCOMPARE(w->Dialogs.SaveCalls, saves + 1);
    QCOMPARE(QDir(w->Folder.path()).entryList(QDir::Files).size(), 2);

    w->ClickCheckBox();  // an ordinary run saves the memberships
    w->Run();
    const QByteArray groups = Saved(QStringLiteral("groups.csv"));
    QVERIFY(groups.startsWith("object,label,depth,group\n0,"));
    QCOMPARE(groups.count('\n'), 13);
  }

  void followsTheResultsWindow() {
    RunConstrained();
    w->Click(QStringLiteral("results/ZonesButton"));
    Spin()->setValue(5);
    w->ClickCheckBox();
    w->Run();  // a new run while open: the window shows it, set as at opening
    QVERIFY(Zones()->isVisible());
    QCOMPARE(Spin()->value(), 2);
    QCOMPARE(Table()->columnCount(), 3);
    QCOMPARE(w->Results.Diagram().CutGroups, std::optional<int>(2));
    w->Click(QStringLiteral("results/CloseButton"));
    QVERIFY(!Zones()->isVisible());
    QVERIFY(!w->Results.Diagram().CutGroups);
    w->Run();
    QVERIFY(!Zones()->isVisible());
    w->Click(QStringLiteral("results/ZonesButton"));
    QVERIFY(Zones()->isVisible());
    w->Results.close();  // the frame's close hides the results window and closes this one
    QVERIFY(!Zones()->isVisible());
    QVERIFY(!w->Results.Diagram().CutGroups);
  }

  void exportAndPrintShowTheCut() {
    RunConstrained();
    const auto exported = [&](const char* name) {
      return w->SavedBy(QStringLiteral("MFButton"), QString::fromLatin1(name));
    };
    const QByteArray plain = exported("plain.emf");
    w->Click(QStringLiteral("results/ZonesButton"));
    const QByteArray cut = exported("cut.emf");
    QVERIFY(!cut.isEmpty() && cut != plain);
    QTest::mouseClick(InZones<QPushButton>("CloseButton"), Qt::LeftButton);
    QCOMPARE(exported("again.emf"), plain);
  }

  void helpOpensAtTheZonesTopic() {
    RunConstrained();
    w->Click(QStringLiteral("results/ZonesButton"));
    QTest::mouseClick(InZones<QPushButton>("HelpButton"), Qt::LeftButton);
    QCOMPARE(ShownHelp().size(), 1);
    QCOMPARE(ShownHelp()[0]->source().fragment(), QStringLiteral("zones"));
    ShownHelp()[0]->window()->close();
    Spin()->setFocus();
    QTest::keyClick(Spin(), Qt::Key_F1);
    QCOMPARE(ShownHelp().size(), 1);
    QCOMPARE(ShownHelp()[0]->source().fragment(), QStringLiteral("zones"));
    QVERIFY(ShownHelp()[0]->toHtml().contains(QStringLiteral("broken-stick")));
  }
};

QTEST_MAIN(TestZonesWindow)
#include "test_zoneswindow.moc"
