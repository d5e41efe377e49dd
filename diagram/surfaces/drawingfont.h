#pragma once
// The fonts the diagram is drawn in, all built here: DejaVu Sans, or the desktop's sans-serif
// family where it is missing.

#include <QFont>
#include <QStringList>

namespace vardell {

inline constexpr const char* DrawingFontFamily = "DejaVu Sans";

enum class FontUnit { Pixels, Points };

QFont DrawingFont(int size, FontUnit unit);

// The windows' and the screen's font: 11 pixels high.
QFont DefaultDiagramFont();

// The printer's font: 10 points, about 42 dots high at 300 dots per inch.
QFont PrinterFont();

// The font families the user may draw in: scalable, not private, no alias of another family,
// not a symbol font, and with a glyph for every printable Latin-1 character. Needs a
// QGuiApplication.
QStringList WesternFontFamilies();

}  // namespace vardell
