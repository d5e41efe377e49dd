#pragma once
// The cut of the tree into groups, drawn over the diagram while the Zones window is open or
// the command-line tool was given --zones: a dashed vertical line at the cut level and, in a
// constrained run, a line across the tree at each zone boundary with the zone numbers at the
// right end of the drawing.

#include "analysis/analysisdata.h"
#include "diagram/drawingscale.h"
#include "diagram/plotter.h"

namespace vardell {

// More dashes than this are never drawn; a taller line gets longer dashes.
constexpr int MaxDashes = 10000;

// Draws the cut into groups groups with the transform the branches were drawn with (YOrigin
// below the header band). Draws nothing unless 1 <= groups <= the number of objects.
void DrawCut(Plotter& plotter, const PageTransform& transform, const Analysis& analysis,
             int groups);

}  // namespace vardell
