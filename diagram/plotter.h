#pragma once
// The pen plotter: the drawing gives world points (distance across, depth down) and the
// plotter turns them into device points through the page transform and moves or draws on
// the surface. The unrounded device point is kept; rounding happens only at the surface.

#include <string>

#include "diagram/drawingscale.h"
#include "diagram/surface.h"

namespace vardell {

// Nearest integer, halves to the even neighbour; clamped far inside the int range so that a
// huge pan or scale cannot overflow the conversion (NaN goes to 0).
int RoundToDevice(double v);

class Plotter {
 public:
  double PenX = 0;  // last device point plotted, unrounded
  double PenY = 0;
  bool PenIsDown = false;

  // The surface and transform every later call draws with; both must outlive the drawing.
  void Attach(Surface& surface, const PageTransform& transform);

  void PlotTo(double x, double y);
  void PlotText(const std::string& text);
  int TextWidth(const std::string& text) const;  // in device units of the surface
  void PenUp() { PenIsDown = false; }
  void PenDown() { PenIsDown = true; }
  void ResetPen();

 private:
  Surface* surface_ = nullptr;
  const PageTransform* transform_ = nullptr;
};

}  // namespace vardell
