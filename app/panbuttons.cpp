#include "app/panbuttons.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QToolButton>

namespace vardell {
namespace {

constexpr int GlyphSize = 16;
constexpr int PanButtonSize = 25;

// A filled triangle pointing up, turned to the direction about the glyph's centre.
QPixmap ArrowImage(PanDirection direction, const QColor& colour) {
  QPixmap image(GlyphSize, GlyphSize);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(GlyphSize / 2.0, GlyphSize / 2.0);
  switch (direction) {
    case PanDirection::Up: break;
    case PanDirection::Right: painter.rotate(90); break;
    case PanDirection::Down: painter.rotate(180); break;
    case PanDirection::Left: painter.rotate(270); break;
  }
  const QPolygonF arrow({{0, -6}, {6, 1}, {2, 1}, {2, 6}, {-2, 6}, {-2, 1}, {-6, 1}});
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawPolygon(arrow);
  return image;
}

}  // namespace

QIcon PanGlyph(PanDirection direction) {
  QIcon icon;
  icon.addPixmap(ArrowImage(direction, Qt::black), QIcon::Normal);
  icon.addPixmap(ArrowImage(direction, QColor(128, 128, 128)), QIcon::Disabled);
  return icon;
}

QToolButton* NewPanButton(QWidget* parent, const QString& objectName, PanDirection direction,
                          const QString& hint, int left, int top) {
  auto* button = new QToolButton(parent);
  button->setObjectName(objectName);
  button->setFocusPolicy(Qt::NoFocus);
  button->setIcon(PanGlyph(direction));
  button->setIconSize(QSize(GlyphSize, GlyphSize));
  button->setToolTip(hint);
  button->setGeometry(left, top, PanButtonSize, PanButtonSize);
  return button;
}

}  // namespace vardell
