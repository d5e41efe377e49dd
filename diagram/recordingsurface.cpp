#include "diagram/recordingsurface.h"

namespace vardell {

RecordingSurface::RecordingSurface(int width, int height, int pixelsPerInch, int charWidth,
                                   int textHeight)
    : width_(width),
      height_(height),
      pixelsPerInch_(pixelsPerInch),
      charWidth_(charWidth),
      textHeight_(textHeight) {}

void RecordingSurface::MoveTo(int x, int y) {
  calls_.push_back({RecordedCall::Kind::Move, x, y, 0, 0, {}});
  currentX_ = x;
  currentY_ = y;
}

void RecordingSurface::LineTo(int x, int y) {
  calls_.push_back({RecordedCall::Kind::Line, currentX_, currentY_, x, y, {}});
  currentX_ = x;
  currentY_ = y;
}

void RecordingSurface::TextOut(int x, int y, const std::string& text) {
  calls_.push_back({RecordedCall::Kind::Text, x, y, 0, 0, text});
}

int RecordingSurface::TextWidth(const std::string& text) {
  return charWidth_ * static_cast<int>(text.size());
}

// Like a font's line height, the same for every text, the empty one included.
int RecordingSurface::TextHeight(const std::string&) { return textHeight_; }

void RecordingSurface::Rectangle(int x1, int y1, int x2, int y2) {
  calls_.push_back({RecordedCall::Kind::Rect, x1, y1, x2, y2, {}});
}

std::vector<RecordedCall> RecordingSurface::CallsOf(RecordedCall::Kind kind) const {
  std::vector<RecordedCall> result;
  for (const RecordedCall& call : calls_)
    if (call.Op == kind) result.push_back(call);
  return result;
}

}  // namespace vardell
