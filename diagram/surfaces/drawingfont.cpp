#include "diagram/surfaces/drawingfont.h"

#include <QFontDatabase>
#include <QRawFont>

namespace vardell {
namespace {

bool WritesWesternText(const QString& family) {
  if (QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol)) return false;
  QFont font(family);
  font.setPointSize(12);
  const QRawFont raw = QRawFont::fromFont(font);
  // A name fontconfig resolves to another family ("Sans Serif") is that family again.
  if (!raw.isValid() || raw.familyName() != family) return false;
  for (char16_t code = 0x20; code <= 0xFF; ++code) {
    const bool printable = code < 0x7F || code >= 0xA0;
    if (printable && !raw.supportsCharacter(QChar(code))) return false;
  }
  return true;
}

}  // namespace

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

QStringList WesternFontFamilies() {
  QStringList families;
  for (const QString& family : QFontDatabase::families(QFontDatabase::Latin))
    if (!QFontDatabase::isPrivateFamily(family) && QFontDatabase::isSmoothlyScalable(family) &&
        WritesWesternText(family))
      families << family;
  return families;
}

}  // namespace vardell
