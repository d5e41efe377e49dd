// The Qt painter surface on the screen picture: what one device unit covers.

#include <gtest/gtest.h>

#include <QPainter>
#include <functional>

#include "diagram/surfaces/exports.h"
#include "diagram/surfaces/qtpaintersurface.h"

namespace vardell {
namespace {

// The bounds of what draw inks on a white screen picture.
QRect InkOf(const std::function<void(Surface&)>& draw) {
  QImage image = NewScreenImage();
  {
    QPainter painter(&image);
    QtPainterSurface surface(painter, image.width(), image.height(), 96, DefaultDiagramFont());
    draw(surface);
  }
  QRect ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) ink |= QRect(x, y, 1, 1);
  return ink;
}

TEST(QtPainterSurface, LinesAndRectanglesCoverWhatThePlatformsDo) {
  const struct {
    int X1, Y1, X2, Y2;
    bool Rectangle;
    QRect Ink;
  } cases[] = {{10, 20, 110, 20, false, QRect(10, 20, 101, 1)},
               {50, 60, 50, 10, false, QRect(50, 10, 1, 51)},
               {20, 20, 20, 20, false, QRect()},  // no length, nothing drawn
               // the outline stops just inside the second corner
               {0, 0, 665, 689, true, QRect(0, 0, 665, 689)},
               {10, 10, 20, 15, true, QRect(10, 10, 10, 5)}};
  for (const auto& c : cases) {
    QRect ink = InkOf([&](Surface& s) {
      if (c.Rectangle) return s.Rectangle(c.X1, c.Y1, c.X2, c.Y2);
      s.MoveTo(c.X1, c.Y1);
      s.LineTo(c.X2, c.Y2);
    });
    EXPECT_EQ(ink, c.Ink) << c.X1 << "," << c.Y1;
  }
}

TEST(QtPainterSurface, TextHangsFromItsTopLeftCorner) {
  int width = 0, height = 0;
  QRect ink = InkOf([&](Surface& s) {
    s.TextOut(40, 30, "MMMM");
    width = s.TextWidth("MMMM");
    height = s.TextHeight("");
  });
  EXPECT_TRUE(ink.left() >= 40 && ink.left() <= 42 && ink.right() < 40 + width) << ink.left();
  EXPECT_TRUE(ink.top() >= 30 && ink.bottom() < 30 + height) << ink.top();
  EXPECT_TRUE(height >= 11 && height <= 16) << height;  // the windows' font is 11 pixels high
}

}  // namespace
}  // namespace vardell
