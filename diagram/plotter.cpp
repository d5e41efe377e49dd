#include "diagram/plotter.h"

#include <cmath>

namespace vardell {

namespace {
// Beyond any surface, yet far from INT_MAX so that the surface may still add to it.
constexpr double DeviceLimit = 1.0e9;
}  // namespace

int RoundToDevice(double v) {
  if (std::isnan(v)) return 0;
  if (v > DeviceLimit) v = DeviceLimit;
  if (v < -DeviceLimit) v = -DeviceLimit;
  double lower = std::floor(v);
  double fraction = v - lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0)) lower += 1.0;
  return static_cast<int>(lower);
}

void Plotter::Attach(Surface& surface, const PageTransform& transform) {
  surface_ = &surface;
  transform_ = &transform;
}

void Plotter::PlotTo(double x, double y) {
  double dx = x * transform_->XFactor + transform_->XOrigin;
  double dy = y * transform_->YFactor + transform_->YOrigin;
  if (PenIsDown)
    surface_->LineTo(RoundToDevice(dx), RoundToDevice(dy));
  else
    surface_->MoveTo(RoundToDevice(dx), RoundToDevice(dy));
  PenX = dx;
  PenY = dy;
}

void Plotter::PlotText(const std::string& text) {
  surface_->TextOut(RoundToDevice(PenX), RoundToDevice(PenY), text);
}

int Plotter::TextWidth(const std::string& text) const { return surface_->TextWidth(text); }

void Plotter::ResetPen() {
  PenX = 0;
  PenY = 0;
  PenIsDown = false;
}

}  // namespace vardell
