#include "diagram/layout.h"

#include <algorithm>
#include <cmath>

#include "diagram/treediagram.h"

namespace vardell {

namespace {

// A divisor of the layout: an extent that is not positive (all objects identical, a single
// object, equal depths) counts as one unit, so the leaves and the header still draw.
double UsableExtent(double extent) { return extent > 0 && std::isfinite(extent) ? extent : 1.0; }

// A factor that is not positive and finite (a scale of 0 or less, labels wider than the
// surface) becomes one device unit per world unit: nothing divides by zero or mirrors.
double UsableFactor(double factor) { return factor > 0 && std::isfinite(factor) ? factor : 1.0; }

double LargestLevel(const ClusterNode* node) {
  if (!node) return 0;
  return std::max(
      {node->Level.ToDouble(), LargestLevel(node->Child1.get()), LargestLevel(node->Child2.get())});
}

double DepthExtentOf(const Analysis& analysis) {
  const DataMatrix& matrix = analysis.Matrix;
  int n = matrix.ObjectCount;
  if (!analysis.Settings.Constrained) return UsableExtent(n);
  if (n < 1) return 1.0;
  return UsableExtent(
      Subtract(matrix.Depth[n].ToExtended(), matrix.Depth[1].ToExtended()).ToDouble());
}

}  // namespace

double DiagramDistanceExtent(const Analysis& analysis) {
  return LargestLevel(analysis.TreeRoot.get());
}

std::string LabelTemplate(int maxLabelLength) {
  return std::string(maxLabelLength > 0 ? static_cast<std::size_t>(maxLabelLength) : 0, 'M');
}

PageTransform LayoutDiagram(Analysis& analysis, DrawingScale& scale, OutputTarget target,
                            Surface& targetSurface, const ScalesFittedHandler& scalesFitted) {
  PageTransform t;
  t.DistanceExtent = DiagramDistanceExtent(analysis);
  t.DepthExtent = DepthExtentOf(analysis);
  const double distanceDivisor = UsableExtent(t.DistanceExtent);

  std::string labelTemplate = LabelTemplate(analysis.Matrix.MaxLabelLength);
  double tw = targetSurface.TextWidth(labelTemplate);
  double th = targetSurface.TextHeight(labelTemplate);
  double w = targetSurface.Width();
  double h = targetSurface.Height();
  // Long identifiers must not push the tree off the surface.
  const double labelRoom = std::max(0.0, (target == OutputTarget::Metafile ? w : w - 20) / 3);
  if (tw > labelRoom) {
    tw = labelRoom;
    t.LabelLimit = labelRoom;
  }

  if (target == OutputTarget::Metafile) {
    // Always fitted and without margins; the user's scales and pan play no part.
    t.MmPerUnitX = t.MmPerUnitY = 25.4 / targetSurface.PixelsPerInch();
    t.XFactor = UsableFactor((w - tw) / distanceDivisor);
    t.YFactor = UsableFactor((h - 3 * th) / t.DepthExtent);
    t.XOrigin = t.YOrigin = 0;
  } else {
    const int dotsPerInch =
        target == OutputTarget::Printer ? PrinterDotsPerInch : targetSurface.PixelsPerInch();
    t.MmPerUnitX = t.MmPerUnitY = 25.4 / dotsPerInch;
    // Margins of 10 on both sides; two of the three text lines are the header band.
    const bool fixedX = scale.ScaleFixed && !scale.HscaleFitted;
    const bool fixedY = scale.ScaleFixed && !scale.VscaleFitted;
    t.XFactor =
        UsableFactor(fixedX ? scale.HscaleMm / t.MmPerUnitX : (w - 20 - tw) / distanceDivisor);
    t.YFactor =
        UsableFactor(fixedY ? scale.VscaleMm / t.MmPerUnitY : (h - 20 - 3 * th) / t.DepthExtent);
    if (!scale.ScaleFixed) {
      scale.HscaleMm = t.XFactor * t.MmPerUnitX;
      scale.VscaleMm = t.YFactor * t.MmPerUnitY;
      if (scalesFitted)
        scalesFitted(FormatScaleField(scale.VscaleMm), FormatScaleField(scale.HscaleMm));
    }
    t.XOrigin = 10 + scale.PanX;
    t.YOrigin = 10 + scale.PanY;
  }

  t.HeaderHeight = 2 * th / t.YFactor;
  t.LabelWidth = tw / t.XFactor;
  t.LineHeight = th / t.YFactor;

  int leafCounter = 0;
  PlaceNodes(analysis.TreeRoot.get(), analysis.Settings.Constrained, leafCounter);
  return t;
}

void PlaceNodes(ClusterNode* node, bool constrained, int& leafCounter) {
  if (!node) return;
  PlaceNodes(node->Child2.get(), constrained, leafCounter);
  PlaceNodes(node->Child1.get(), constrained, leafCounter);
  if (node->Child1 && node->Child2) {
    node->Position =
        StoredHalfSum(node->Child2->Position.ToDouble(), node->Child1->Position.ToDouble());
  } else if (!node->Child1 && !node->Child2) {
    if (!constrained) node->Position = leafCounter++;
  }
}

}  // namespace vardell
