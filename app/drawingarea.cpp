#include "app/drawingarea.h"

#include <QPaintEvent>
#include <QPainter>

#include "diagram/surfaces/exports.h"

namespace vardell {

DrawingArea::DrawingArea(QWidget* parent) : QWidget(parent), picture_(NewScreenImage()) {
  // The buffer covers the whole widget, so Qt need not erase the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage& DrawingArea::PictureToRedraw() {
  // A picture made before the window reached its screen, or for another screen, is made
  // anew at this screen's pixel ratio; the next redraw fills it.
  if (!qFuzzyCompare(picture_.devicePixelRatio(), devicePixelRatioF()))
    picture_ = NewScreenImage(devicePixelRatioF());
  return picture_;
}

void DrawingArea::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRectF area = event->rect();
  const double ratio = picture_.devicePixelRatio();
  painter.fillRect(area, Qt::white);
  painter.drawImage(area, picture_, QRectF(area.topLeft() * ratio, area.size() * ratio));
}

}  // namespace vardell
