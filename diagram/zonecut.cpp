#include "diagram/zonecut.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/zonation.h"

namespace vardell {
namespace {

struct DepthSpan {
  double Top = 0, Bottom = 0;
};

// From the top of the first leaf's label to the bottom of the last one's.
DepthSpan LeafSpan(const ClusterNode* node, double lineHeight) {
  std::vector<const ClusterNode*> pending{node};
  DepthSpan span{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  while (!pending.empty()) {
    const ClusterNode* n = pending.back();
    pending.pop_back();
    if (!n) continue;
    if (n->IsLeaf()) {
      const double position = n->Position.ToDouble();
      span.Top = std::min(span.Top, position);
      span.Bottom = std::max(span.Bottom, position);
    }
    pending.push_back(n->Child1.get());
    pending.push_back(n->Child2.get());
  }
  return {span.Top - lineHeight / 2, span.Bottom + lineHeight / 2};
}

// Dashes of half a text line with gaps of a third of one, so that the pattern looks alike on
// the screen, the printed page and the metafile.
void DrawDashedVertical(Plotter& plotter, const PageTransform& t, double x, DepthSpan span) {
  const double length = span.Bottom - span.Top;
  if (!(length > 0) || !std::isfinite(length)) return;
  double dash = t.LineHeight > 0 ? t.LineHeight / 2 : length / 50;
  double gap = t.LineHeight > 0 ? t.LineHeight / 3 : length / 75;
  if (length / (dash + gap) > MaxDashes) {
    const double stretch = length / (dash + gap) / MaxDashes;
    dash *= stretch;
    gap *= stretch;
  }
  const double period = dash + gap;
  for (int i = 0; span.Top + i * period < span.Bottom; ++i) {
    const double y = span.Top + i * period;
    plotter.PlotTo(x, y);
    plotter.PenDown();
    plotter.PlotTo(x, std::min(y + dash, span.Bottom));
    plotter.PenUp();
  }
}

// The number right-aligned a space's width short of world x = right, its top at depth top.
void DrawZoneNumber(Plotter& plotter, const PageTransform& t, int zone, double right, double top) {
  const std::string number = std::to_string(zone);
  plotter.PlotTo(right - plotter.TextWidth(number + " ") / t.XFactor, top);
  plotter.PlotText(number);
}

void DrawBoundaries(Plotter& plotter, const PageTransform& t, const Analysis& analysis,
                    const TreeCut& cut, DepthSpan span) {
  const DataMatrix& matrix = analysis.Matrix;
  const double firstDepth = matrix.Depth[1].ToDouble();
  const double right = t.LabelWidth + t.DistanceExtent;
  const std::vector<Zone> zones = ZonesOf(cut, matrix);
  double zoneTop = span.Top;
  for (std::size_t z = 0; z < zones.size(); ++z) {
    DrawZoneNumber(plotter, t, static_cast<int>(z) + 1, right, zoneTop);
    if (!zones[z].BoundaryBelow) break;
    zoneTop = *zones[z].BoundaryBelow - firstDepth;
    plotter.PlotTo(0, zoneTop);
    plotter.PenDown();
    plotter.PlotTo(right, zoneTop);
    plotter.PenUp();
  }
}

}  // namespace

void DrawCut(Plotter& plotter, const PageTransform& t, const Analysis& analysis, int groups) {
  const ClusterNode* root = analysis.TreeRoot.get();
  const int n = analysis.Matrix.ObjectCount;
  if (!root || groups < 1 || groups > n || n > MaxObjects) return;
  const TreeCut cut = CutTree(root, n, groups, analysis.Settings.Constrained);
  const DepthSpan span = LeafSpan(root, t.LineHeight);
  if (cut.CutLevel) DrawDashedVertical(plotter, t, t.LabelWidth + *cut.CutLevel, span);
  if (analysis.Settings.Constrained) DrawBoundaries(plotter, t, analysis, cut, span);
}

}  // namespace vardell
