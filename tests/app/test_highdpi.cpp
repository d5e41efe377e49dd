// The results window on a desktop scaled to 200 %: the drawing area's picture and the
// clipboard's bitmap hold twice the pixels each way, and the layout, in the area's own
// pixels, keeps the millimetre scales of an unscaled desktop.

#include <QClipboard>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "app/drawingarea.h"
#include "diagram/surfaces/exports.h"
#include "support_windows.h"

using namespace vardell;

class TestHighDpi : public QObject {
  Q_OBJECT

 private slots:
  void pictureAtTheScreensResolution() {
    Windows w;
    w.Load(w.Twelve);
    w.Run();
    QCOMPARE(w.Results.devicePixelRatioF(), 2.0);
    const QImage& picture = w.Results.Picture();
    QCOMPARE(picture.size(), QSize(1330, 1378));
    QCOMPARE(picture.devicePixelRatio(), 2.0);

    // the same layout as on a plain 96 pixels-per-inch picture
    TreeDiagram plain;
    QString fitted;
    plain.ScalesFitted = [&](const std::string& vscale, const std::string& hscale) {
      fitted = QString::fromStdString(vscale + '|' + hscale);
    };
    QImage unscaled = NewScreenImage();
    RedrawOnScreen(plain, w.Results.Store().Current(), unscaled, w.Results.DiagramFont());
    const PageTransform& shown = w.Results.Diagram().Transform();
    QCOMPARE(shown.XFactor, plain.Transform().XFactor);
    QCOMPARE(shown.YFactor, plain.Transform().YFactor);
    QCOMPARE(w.Control<QLineEdit>("VscaleEdit")->text() + '|' +
                 w.Control<QLineEdit>("HscaleEdit")->text(),
             fitted);

    // drawn at the device's resolution: finer than its pixels doubled
    bool finer = false;
    for (int y = 0; y + 1 < picture.height() && !finer; y += 2)
      for (int x = 0; x + 1 < picture.width() && !finer; x += 2)
        finer = picture.pixel(x, y) != picture.pixel(x + 1, y) ||
                picture.pixel(x, y) != picture.pixel(x, y + 1);
    QVERIFY(finer);

    w.Click(QStringLiteral("CopyButton"));
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(1330, 1378));
    QCOMPARE(copied.convertToFormat(QImage::Format_RGB32),
             picture.convertToFormat(QImage::Format_RGB32));
  }
};

int main(int argc, char* argv[]) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication application(argc, argv);
  TestHighDpi test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_highdpi.moc"
