#include "diagram/layout.h"

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

double DistanceExtentOf(const Analysis& analysis) {
  const ClusterNode* root = analysis.TreeRoot.get();
  return UsableExtent(root ? static_cast<double>(root->Level.ToExtended()) : 0.0);
}

double DepthExtentOf(const Analysis& analysis) {
  const DataMatrix& matrix = analysis.Matrix;
  int n = matrix.ObjectCount;
  if (!analysis.Settings.Constrained) return UsableExtent(n);
  if (n < 1) return 1.0;
  return UsableExtent(
      static_cast<double>(matrix.Depth[n].ToExtended() - matrix.Depth[1].ToExtended()));
}

}  // namespace

std::string LabelTemplate(int maxLabelLength) {
  return std::string(maxLabelLength > 0 ? static_cast<std::size_t>(maxLabelLength) : 0, 'M');
}

PageTransform LayoutDiagram(Analysis& analysis, DrawingScale& scale, OutputTarget target,
                            Surface& targetSurface, const ScalesFittedHandler& scalesFitted) {
  PageTransform t;
  t.DistanceExtent = DistanceExtentOf(analysis);
  t.DepthExtent = DepthExtentOf(analysis);

  std::string labelTemplate = LabelTemplate(analysis.Matrix.MaxLabelLength);
  double tw = targetSurface.TextWidth(labelTemplate);
  double th = targetSurface.TextHeight(labelTemplate);
  double w = targetSurface.Width();
  double h = targetSurface.Height();

  if (target == OutputTarget::Metafile) {
    // Always fitted and without margins; the user's scales and pan play no part.
    t.MmPerUnitX = t.MmPerUnitY = 25.4 / targetSurface.PixelsPerInch();
    t.XFactor = UsableFactor((w - tw) / t.DistanceExtent);
    t.YFactor = UsableFactor((h - 3 * th) / t.DepthExtent);
    t.XOrigin = t.YOrigin = 0;
  } else {
    const int dotsPerInch =
        target == OutputTarget::Printer ? PrinterDotsPerInch : targetSurface.PixelsPerInch();
    t.MmPerUnitX = t.MmPerUnitY = 25.4 / dotsPerInch;
    if (scale.ScaleFixed) {
      t.XFactor = UsableFactor(scale.HscaleMm / t.MmPerUnitX);
      t.YFactor = UsableFactor(scale.VscaleMm / t.MmPerUnitY);
    } else {
      // Margins of 10 on both sides; two of the three text lines are the header band.
      t.XFactor = UsableFactor((w - 20 - tw) / t.DistanceExtent);
      t.YFactor = UsableFactor((h - 20 - 3 * th) / t.DepthExtent);
      scale.HscaleMm = t.XFactor * t.MmPerUnitX;
      scale.VscaleMm = t.YFactor * t.MmPerUnitY;
      if (scalesFitted) scalesFitted(FormatScaleField(scale.VscaleMm), FormatScaleField(scale.HscaleMm));
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
    node->Position = (node->Child2->Position.ToExtended() + node->Child1->Position.ToExtended()) / 2;
  } else if (!node->Child1 && !node->Child2) {
    if (!constrained) node->Position = leafCounter++;
  }
}

}  // namespace vardell
