#pragma once
// The drawing surface the tree diagram is drawn on: integer device units, y growing downwards,
// a current point, a black pen one unit wide, a solid white brush and a current font.

#include <string>

namespace vardell {

enum class OutputTarget { Screen = 0, Printer = 1, Metafile = 2 };

class Surface {
 public:
  virtual ~Surface() = default;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void TextOut(int x, int y, const std::string& text) = 0;  // top-left corner at (x, y)
  virtual int TextWidth(const std::string& text) = 0;
  virtual int TextHeight(const std::string& text) = 0;
  virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;  // pen outline, brush fill
  virtual int Width() const = 0;                               // drawable width in device units
  virtual int Height() const = 0;                              // drawable height in device units
  virtual int PixelsPerInch() const = 0;
};

}  // namespace vardell
