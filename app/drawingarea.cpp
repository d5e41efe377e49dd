#include "app/drawingarea.h"

#include <QPaintEvent>
#include <QPainter>

#include "diagram/surfaces/exports.h"

namespace vardell {

DrawingArea::DrawingArea(QWidget* parent) : QWidget(parent), picture_(NewScreenImage()) {
  // The buffer covers the whole widget, so Qt need not erase the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void DrawingArea::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), Qt::white);
  painter.drawImage(event->rect().topLeft(), picture_, event->rect());
}

}  // namespace vardell
