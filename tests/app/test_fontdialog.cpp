// The font dialog of "Change Font": what it offers, what it opens on, and what OK gives back.

#include <QFontDatabase>
#include <QListWidget>
#include <QRawFont>
#include <QtTest>

#include "app/fontdialog.h"
#include "diagram/surfaces/exports.h"

using namespace vardell;

namespace {

QStringList Entries(const QListWidget* list) {
  QStringList entries;
  for (int row = 0; row < list->count(); ++row) entries << list->item(row)->text();
  return entries;
}

QString Current(const FontDialog& dialog, const char* list) {
  const auto* found = dialog.findChild<QListWidget*>(QString::fromLatin1(list));
  return found->currentItem() ? found->currentItem()->text() : QString();
}

void Choose(FontDialog& dialog, const char* list, const QString& entry) {
  auto* found = dialog.findChild<QListWidget*>(QString::fromLatin1(list));
  const QList<QListWidgetItem*> items = found->findItems(entry, Qt::MatchExactly);
  QVERIFY2(!items.isEmpty(), qPrintable(entry));
  found->setCurrentItem(items.first());
}

}  // namespace

class TestFontDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"));
  }

  // Only fonts that write Western text, each once under its own name, in 6 to 24 points.
  void offersWesternFontsAndTheAcceptedSizes() {
    FontDialog dialog(DefaultDiagramFont());
    const QStringList families = Entries(dialog.findChild<QListWidget*>("FontFamilies"));
    QVERIFY(families.contains("DejaVu Sans"));
    for (const QString& family : families) {
      QVERIFY2(!QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol),
               qPrintable(family));
      QVERIFY2(!family.contains("Math") && family != "Sans Serif", qPrintable(family));
      QFont font(family);
      QVERIFY2(QRawFont::fromFont(font).supportsCharacter(QChar(0xE9)), qPrintable(family));
    }
    QCOMPARE(Entries(dialog.findChild<QListWidget*>("FontSizes")).join(u' '),
             QStringLiteral("6 7 8 9 10 11 12 14 16 18 20 22 24"));
  }

  // The diagram's font opens in its own upright style at its size, and OK without a change
  // keeps it exactly; a choice made is offered again on the next opening.
  void opensOnTheCurrentFont() {
    const QFont initial = DefaultDiagramFont();  // 11 pixels, about 8 points
    FontDialog dialog(initial);
    QCOMPARE(Current(dialog, "FontFamilies"), QStringLiteral("DejaVu Sans"));
    QCOMPARE(Current(dialog, "FontStyles"), QStringLiteral("Book"));
    QCOMPARE(Entries(dialog.findChild<QListWidget*>("FontStyles")).first(), QStringLiteral("Book"));
    QCOMPARE(Current(dialog, "FontSizes"), QStringLiteral("8"));
    QCOMPARE(dialog.SelectedFont(), initial);
    QVERIFY(!dialog.SelectedFont().italic());

    Choose(dialog, "FontStyles", "Bold");
    Choose(dialog, "FontSizes", "14");
    const QFont chosen = dialog.SelectedFont();
    QCOMPARE(chosen.family(), QStringLiteral("DejaVu Sans"));
    QVERIFY(chosen.bold() && !chosen.italic());
    QCOMPARE(chosen.pointSize(), 14);
    FontDialog again(chosen);
    QCOMPARE(Current(again, "FontStyles"), QStringLiteral("Bold"));
    QCOMPARE(Current(again, "FontSizes"), QStringLiteral("14"));
    QCOMPARE(again.SelectedFont(), chosen);
    // a size outside the offered ones opens on the nearest offered one
    QFont huge = initial;
    huge.setPointSize(72);
    QCOMPARE(Current(FontDialog(huge), "FontSizes"), QStringLiteral("24"));
  }
};

QTEST_MAIN(TestFontDialog)
#include "test_fontdialog.moc"
