#pragma once
// A surface that draws nothing and remembers every call, with text metrics fixed per test
// (width = per-character width x number of characters), so a layout and a drawing can be
// checked to the device unit.

#include <string>
#include <vector>

#include "diagram/surface.h"

namespace vardell {

struct RecordedCall {
  enum class Kind { Move, Line, Text, Rect };
  Kind Op = Kind::Move;
  int X1 = 0, Y1 = 0;  // Line: the current point before; Rect: first corner; else the point
  int X2 = 0, Y2 = 0;  // Line: the end point; Rect: second corner
  std::string Text;
};

class RecordingSurface : public Surface {
 public:
  RecordingSurface(int width, int height, int pixelsPerInch, int charWidth, int textHeight);

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int PixelsPerInch() const override { return pixelsPerInch_; }

  const std::vector<RecordedCall>& Calls() const { return calls_; }
  std::vector<RecordedCall> CallsOf(RecordedCall::Kind kind) const;
  void Clear() { calls_.clear(); }

 private:
  int width_, height_, pixelsPerInch_, charWidth_, textHeight_;
  int currentX_ = 0, currentY_ = 0;
  std::vector<RecordedCall> calls_;
};

}  // namespace vardell
