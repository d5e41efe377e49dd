#pragma once
// Layout of the tree diagram: extents, text measures, fitted or fixed scales, origin and the
// vertical position of every node.

#include <functional>
#include <string>

#include "analysis/analysisdata.h"
#include "diagram/drawingscale.h"
#include "diagram/surface.h"

namespace vardell {

using ScalesFittedHandler =
    std::function<void(const std::string& vscaleText, const std::string& hscaleText)>;

// The printer is always taken as 300 dots per inch, whatever it reports; the print command
// sets its printer to this resolution.
constexpr int PrinterDotsPerInch = 300;

// "M" repeated maxLabelLength times: the widest label the column must hold.
std::string LabelTemplate(int maxLabelLength);

// The width of the tree in distance units: its largest level, which lies above the root's
// where levels reverse (centroid sorting, constrained strategies); 0 when every level is 0.
double DiagramDistanceExtent(const Analysis& analysis);

// Measures the text on the target's surface, fits or applies the scales, sets the origin and
// places the nodes; it draws nothing. The label column takes at most a third of the width
// the surface has for labels and tree together; longer labels are shortened when drawn. A fitted
// layout on the screen or the printer writes the millimetre scales into scale and hands their field
// texts to scalesFitted.
PageTransform LayoutDiagram(Analysis& analysis, DrawingScale& scale, OutputTarget target,
                            Surface& targetSurface, const ScalesFittedHandler& scalesFitted);

// Post-order walk, Child2 before Child1: leaves of an ordinary run are stacked at 0, 1, 2, ...
// in walk order; constrained leaves keep their depth positions; fused nodes sit midway.
void PlaceNodes(ClusterNode* node, bool constrained, int& leafCounter);

}  // namespace vardell
