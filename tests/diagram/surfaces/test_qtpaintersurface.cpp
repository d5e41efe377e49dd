// The Qt painter surface on an image: what one device unit covers.

#include <gtest/gtest.h>

#include <QPainter>

#include "diagram/surfaces/exports.h"
#include "diagram/surfaces/qtpaintersurface.h"

namespace vardell {
namespace {

bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

QRect DarkBounds(const QImage& image) {
  QRect bounds;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Dark(image, x, y)) bounds |= QRect(x, y, 1, 1);
  return bounds;
}

TEST(QtPainterSurface, RectangleStopsJustInsideItsSecondCorner) {
  QImage image = NewScreenImage();
  image.fill(Qt::red);
  {
    QPainter painter(&image);
    QtPainterSurface surface(painter, image.width(), image.height(), 96, DefaultDiagramFont());
    surface.Rectangle(0, 0, ScreenAreaWidth, ScreenAreaHeight);
  }
  EXPECT_EQ(DarkBounds(image), QRect(0, 0, ScreenAreaWidth, ScreenAreaHeight));
  EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(ScreenAreaWidth - 2, ScreenAreaHeight - 2), QColor(Qt::white));
}

TEST(QtPainterSurface, LinesAreOneDeviceUnitWide) {
  const struct {
    QPoint From, To;
    QRect Expected;
  } cases[] = {{{10, 20}, {110, 20}, QRect(10, 20, 101, 1)},
               {{50, 10}, {50, 60}, QRect(50, 10, 1, 51)},
               {{110, 5}, {10, 5}, QRect(10, 5, 101, 1)},
               {{20, 20}, {20, 20}, QRect()}};  // no length, nothing drawn
  for (const auto& c : cases) {
    QImage image = NewScreenImage();
    {
      QPainter painter(&image);
      QtPainterSurface surface(painter, image.width(), image.height(), 96, DefaultDiagramFont());
      surface.MoveTo(c.From.x(), c.From.y());
      surface.LineTo(c.To.x(), c.To.y());
    }
    EXPECT_EQ(DarkBounds(image), c.Expected);
  }
}

TEST(QtPainterSurface, TextHangsFromItsTopLeftCorner) {
  QImage image = NewScreenImage();
  int width = 0, height = 0;
  {
    QPainter painter(&image);
    QtPainterSurface surface(painter, image.width(), image.height(), 96, DefaultDiagramFont());
    surface.TextOut(40, 30, "MMMM");
    width = surface.TextWidth("MMMM");
    height = surface.TextHeight("MMMM");
  }
  QRect ink = DarkBounds(image);
  EXPECT_GE(ink.left(), 40);
  EXPECT_LE(ink.left(), 42);
  EXPECT_GE(ink.top(), 30);
  EXPECT_LE(ink.bottom(), 30 + height);
  EXPECT_LE(ink.right(), 40 + width);
  // The windows' font is 11 pixels high; its line a little more.
  EXPECT_GE(height, 11);
  EXPECT_LE(height, 16);
}

}  // namespace
}  // namespace vardell
