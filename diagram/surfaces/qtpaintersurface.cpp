#include "diagram/surfaces/qtpaintersurface.h"

#include <QFontMetrics>
#include <QPen>

namespace vardell {

QtPainterSurface::QtPainterSurface(QPainter& painter, int width, int height, int pixelsPerInch,
                                   const QFont& font)
    : painter_(painter), width_(width), height_(height), pixelsPerInch_(pixelsPerInch) {
  QPen pen(Qt::black);
  pen.setWidth(1);
  pen.setCapStyle(Qt::SquareCap);
  painter_.setPen(pen);
  painter_.setBrush(QBrush(Qt::white, Qt::SolidPattern));
  painter_.setFont(font);
  // Device-unit lines, as a plotter draws them; text stays smooth.
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
}

void QtPainterSurface::MoveTo(int x, int y) { current_ = QPoint(x, y); }

void QtPainterSurface::LineTo(int x, int y) {
  QPoint to(x, y);
  // A line of no length draws nothing, as the platform's line leaves out its end point; it
  // would also write a path with no points into a PDF.
  if (to != current_) painter_.drawLine(current_, to);
  current_ = to;
}

void QtPainterSurface::TextOut(int x, int y, const std::string& text) {
  QFontMetrics metrics(painter_.font(), painter_.device());
  painter_.drawText(QPoint(x, y + metrics.ascent()), QString::fromStdString(text));
}

int QtPainterSurface::TextWidth(const std::string& text) {
  return QFontMetrics(painter_.font(), painter_.device())
      .horizontalAdvance(QString::fromStdString(text));
}

int QtPainterSurface::TextHeight(const std::string&) {
  return QFontMetrics(painter_.font(), painter_.device()).height();
}

// Like the platform's rectangle, the right and bottom edges lie just inside x2 and y2.
void QtPainterSurface::Rectangle(int x1, int y1, int x2, int y2) {
  painter_.drawRect(
      QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)).normalized().adjusted(0, 0, -1, -1));
}

}  // namespace vardell
