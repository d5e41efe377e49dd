#pragma once
// A surface over an active QPainter: the screen image, a printer page, a PDF, SVG or PNG.
// Pen black one device unit wide, brush solid white, text placed by its top-left corner.

#include <QFont>
#include <QPainter>

#include "diagram/surface.h"

namespace vardell {

class QtPainterSurface : public Surface {
 public:
  // painter is active on a device of width x height device units; the surface sets its pen,
  // brush and font and leaves the painter active.
  QtPainterSurface(QPainter& painter, int width, int height, int pixelsPerInch, const QFont& font);

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int PixelsPerInch() const override { return pixelsPerInch_; }

 private:
  QPainter& painter_;
  int width_, height_, pixelsPerInch_;
  QPoint current_;
};

}  // namespace vardell
