// The README's pictures of the two windows: with VARDELL_README_SCREENSHOTS set to a folder
// (scripts/screenshots.sh runs this under Xvfb with the xcb platform), the example pollen core
// is loaded, a constrained minimum-variance analysis on chord distances run, and both windows
// saved as PNG files there. Without the variable the test is skipped.

#include <QListWidget>
#include <QtTest>

#include "support_screenshots.h"

using namespace vardell;

namespace {

void ClickEntry(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  list->scrollToItem(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                    list->visualItemRect(list->item(row)).center());
}

}  // namespace

class TestReadmeScreenshots : public QObject {
  Q_OBJECT

 private slots:
  void bothWindowsWithTheExampleCore() {
    VARDELL_SCREENSHOT_FOLDER(out, "VARDELL_README_SCREENSHOTS");
    Windows w;
    w.Form.move(0, 0);
    // SAMPLE, DEPTH, then the taxa: the samples named and sorted by depth, chord distances
    // over the taxa
    RunConstrained(w, QStringLiteral(VARDELL_DATA_DIR "/ABER.CSV"), [&] {
      ClickEntry(w.Control<QListWidget>(QStringLiteral("IDList")), 1);
      ClickEntry(w.Control<QListWidget>(QStringLiteral("DistList")), 1);
      ClickEntry(w.Control<QListWidget>(QStringLiteral("DepthListBox")), 1);
      auto* data = w.Control<QListWidget>(QStringLiteral("DataColList"));
      ClickEntry(data, 2);
      ClickEntry(data, data->count() - 1, Qt::ShiftModifier);
    });
    w.Results.move(w.Form.frameGeometry().right() + 8, 0);
    QTest::qWait(500);
    QVERIFY(w.Form.grab().save(out + QStringLiteral("/parameter-window.png")));
    QVERIFY(w.Results.grab().save(out + QStringLiteral("/results-window.png")));
  }
};

QTEST_MAIN(TestReadmeScreenshots)
#include "test_readme_screenshots.moc"
