#include "diagram/surfaces/drawingfont.h"

namespace vardell {

QFont DrawingFont(int size, FontUnit unit) {
  QFont font(QString::fromLatin1(DrawingFontFamily));
  font.setStyleHint(QFont::SansSerif);
  if (unit == FontUnit::Pixels)
    font.setPixelSize(size);
  else
    font.setPointSize(size);
  return font;
}

QFont DefaultDiagramFont() { return DrawingFont(11, FontUnit::Pixels); }

QFont PrinterFont() { return DrawingFont(10, FontUnit::Points); }

}  // namespace vardell
