#include "diagram/surfaces/emfsurface.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <stdexcept>

// Last: libEMF's Windows headers define min and max as macros.
#include <libEMF/emf.h>
#undef min
#undef max
#undef TextOut  // the Surface operation of that name, not the Windows macro

namespace vardell {

namespace {

// Windows-1252 codes 0x80..0x9F; 0 marks the five codes it leaves unassigned.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (Cp1252High[i] != 0 && Cp1252High[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

char16_t FromCp1252(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return Cp1252High[b - 0x80] ? Cp1252High[b - 0x80] : u'?';
  return b;
}

// Decodes one UTF-8 sequence at text[i], advancing i; a malformed byte decodes as U+FFFD.
char32_t NextCodePoint(const std::string& text, std::size_t& i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i++);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
  if (lead >= 0xF5) extra = -1;
  if (extra < 0 || i + extra > text.size()) return 0xFFFD;
  char32_t c = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  i += extra;
  return c;
}

QFont MetafileFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(MetafileFontHeight);
  return font;
}

// What the metafile will show for text, as the font measures it.
QString ShownText(const std::string& text) {
  QString shown;
  for (char b : ToMetafileText(text)) shown.append(QChar(FromCp1252(static_cast<unsigned char>(b))));
  return shown;
}

HDC Dc(unsigned int dc) { return static_cast<HDC>(dc); }

}  // namespace

std::string ToMetafileText(const std::string& utf8) {
  std::string result;
  for (std::size_t i = 0; i < utf8.size();) result += ToCp1252(NextCodePoint(utf8, i));
  return result;
}

EmfSurface::EmfSurface(std::FILE* file) {
  RECT frame{0, 0, MetafileFrame, MetafileFrame};
  HDC dc = CreateEnhMetaFileWithFILEA(0, file, &frame, "vardell\0tree diagram\0");
  if (!dc) throw std::runtime_error("The metafile could not be started");
  dc_ = dc;
  // A negative height asks for the character height, the size a pixel-sized font has.
  font_ = CreateFontA(-MetafileFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      VARIABLE_PITCH | FF_SWISS, "DejaVu Sans");
  SelectObject(Dc(dc_), font_);
  SetBkMode(Dc(dc_), TRANSPARENT);
}

EmfSurface::~EmfSurface() { Release(); }

void EmfSurface::Finish() { Release(); }

void EmfSurface::Release() {
  if (!dc_) return;
  if (font_) {
    // Deselected first, so the metafile records the font's release before it ends.
    SelectObject(Dc(dc_), GetStockObject(DEVICE_DEFAULT_FONT));
    DeleteObject(font_);
    font_ = 0;
  }
  HENHMETAFILE metafile = CloseEnhMetaFileWithFILE(Dc(dc_));
  dc_ = 0;
  if (metafile) DeleteEnhMetaFile(metafile);
}

void EmfSurface::MoveTo(int x, int y) { MoveToEx(Dc(dc_), x, y, nullptr); }

void EmfSurface::LineTo(int x, int y) { ::LineTo(Dc(dc_), x, y); }

void EmfSurface::TextOut(int x, int y, const std::string& text) {
  std::string stored = ToMetafileText(text);
  TextOutA(Dc(dc_), x, y, stored.c_str(), static_cast<int>(stored.size()));
}

int EmfSurface::TextWidth(const std::string& text) {
  return QFontMetrics(MetafileFont()).horizontalAdvance(ShownText(text));
}

int EmfSurface::TextHeight(const std::string&) { return QFontMetrics(MetafileFont()).height(); }

void EmfSurface::Rectangle(int x1, int y1, int x2, int y2) { ::Rectangle(Dc(dc_), x1, y1, x2, y2); }

}  // namespace vardell
