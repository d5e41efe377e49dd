#pragma once
// The tree diagram of the results window: its drawing settings, its pen plotter and the last
// layout. RedrawDiagram is the one entry for drawing on every surface; RedrawScreen is the
// results window's drawing step, which clears the screen first.

#include <functional>
#include <optional>
#include <string>

#include "analysis/analysisdata.h"
#include "diagram/drawingscale.h"
#include "diagram/plotter.h"
#include "diagram/surface.h"

namespace vardell {

class TreeDiagram {
 public:
  DrawingScale Scale;  // the defaults are those of the results window's creation

  // Called by a fitted layout on the screen or the printer with the new texts of the vertical
  // and horizontal scale fields (4 decimals, right-aligned in 8 characters).
  std::function<void(const std::string& vscaleText, const std::string& hscaleText)> ScalesFitted;

  // The number of groups whose cut every drawing shows over the tree; none: no cut.
  std::optional<int> CutGroups;

  // Lays out analysis's tree for target and draws it on surface, which it does not clear.
  void RedrawDiagram(Analysis& analysis, OutputTarget target, Surface& surface);

  // Clears the whole screen surface (pen outline, brush fill) and draws the diagram on it for
  // the Screen target: what the results window shows, also in the screen pictures of the
  // command-line tool.
  void RedrawScreen(Analysis& analysis, Surface& screen);

  // The last layout, with YOrigin moved below the header band as the branches were drawn.
  const PageTransform& Transform() const;
  const Plotter& Pen() const { return plotter_; }

 private:
  PageTransform transform_;
  Plotter plotter_;
};

// "%8.4f": a scale as the scale fields show it.
std::string FormatScaleField(double value);

}  // namespace vardell
