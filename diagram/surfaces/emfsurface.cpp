#include "diagram/surfaces/emfsurface.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <stdexcept>

#include "analysis/tableencoding.h"
#include "diagram/surfaces/drawingfont.h"

// Last: libEMF's Windows headers define min and max as macros.
#include <libEMF/emf.h>
#undef min
#undef max
#undef TextOut  // the Surface operation of that name, not the Windows macro

namespace vardell {

namespace {

QFont MetafileFont() { return DrawingFont(MetafileFontHeight, FontUnit::Pixels); }

// What the metafile will show for text, as the font measures it.
QString ShownText(const std::string& text) {
  return QString::fromStdString(Windows1252ToUtf8(ToMetafileText(text)));
}

HDC Dc(unsigned int dc) { return static_cast<HDC>(dc); }

}  // namespace

std::string ToMetafileText(const std::string& utf8) { return Utf8ToWindows1252(utf8); }

EmfSurface::EmfSurface(std::FILE* file) {
  RECT frame{0, 0, MetafileFrame, MetafileFrame};
  HDC dc = CreateEnhMetaFileWithFILEA(0, file, &frame, "vardell\0tree diagram\0");
  if (!dc) throw std::runtime_error("The metafile could not be started");
  dc_ = dc;
  // A negative height asks for the character height, the size a pixel-sized font has.
  font_ = CreateFontA(-MetafileFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      VARIABLE_PITCH | FF_SWISS, DrawingFontFamily);
  SelectObject(Dc(dc_), font_);
  SetBkMode(Dc(dc_), TRANSPARENT);
}

EmfSurface::~EmfSurface() {
  // An unfinished metafile is only released here; a write error then is of no interest,
  // and an exception must not leave a destructor (it may run while another unwinds).
  try {
    Release();
  } catch (...) {
  }
}

void EmfSurface::Finish() {
  try {
    Release();
  } catch (const std::exception& error) {
    throw std::runtime_error(std::string("The metafile could not be written: ") + error.what());
  }
}

void EmfSurface::Release() {
  if (!dc_) return;
  // Forgotten before libEMF is asked to close, which throws on a write error: a metafile is
  // closed at most once, whatever happens.
  const unsigned int dc = dc_;
  const unsigned int font = font_;
  dc_ = 0;
  font_ = 0;
  if (font) {
    // Deselected first, so the metafile records the font's release before it ends.
    SelectObject(Dc(dc), GetStockObject(DEVICE_DEFAULT_FONT));
    DeleteObject(font);
  }
  HENHMETAFILE metafile = CloseEnhMetaFileWithFILE(Dc(dc));
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
