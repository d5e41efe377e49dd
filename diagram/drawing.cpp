#include "diagram/drawing.h"

#include <cmath>

#include "analysis/numbertext.h"

namespace vardell {

namespace {

double LevelOf(const ClusterNode& node) { return static_cast<double>(node.Level.ToExtended()); }
double PositionOf(const ClusterNode& node) {
  return static_cast<double>(node.Position.ToExtended());
}

std::string LabelOf(const ClusterNode& leaf, const DataMatrix& matrix) {
  int object = leaf.FirstObject;
  return object >= 1 && object <= MaxObjects ? matrix.Labels[object] : std::string();
}

// The label stands at the left edge of the label column, centred on the leaf's line.
void DrawLabel(Plotter& plotter, const PageTransform& t, const ClusterNode& leaf,
               const DataMatrix& matrix) {
  plotter.PlotTo(0, PositionOf(leaf) - t.LineHeight / 2);
  plotter.PlotText(LabelOf(leaf, matrix));
}

}  // namespace

std::string CoefficientName(CoefficientCode coefficient) {
  const CoefficientMethod* method = FindCoefficient(coefficient);
  return method ? std::string(method->HeaderName) + "; " : std::string();
}

// The level drawn for minimum variance is the running total in a constrained run, the
// increase otherwise, and its name says so.
std::string StrategyName(StrategyCode strategy, bool constrained) {
  const StrategyMethod* method = FindStrategy(strategy);
  if (!method) return "";
  return std::string(constrained ? method->ConstrainedHeaderName : method->HeaderName) + " ";
}

std::string TickText(double tickUnits) {
  return "   1 tick = " + FixedText(tickUnits, 10, 4) + " distance units";
}

std::string HeaderText(const AnalysisSettings& settings, double tickUnits) {
  return CoefficientName(settings.Coefficient) +
         StrategyName(settings.Strategy, settings.Constrained) + TickText(tickUnits);
}

int LastTick(const PageTransform& t, double tickUnits) {
  if (!(tickUnits > 0) || !std::isfinite(tickUnits)) return 0;
  double n = std::trunc(t.DistanceExtent / tickUnits);
  double axisLength = t.DistanceExtent * t.XFactor;
  if (!(n >= 0) || n > axisLength || n > MaxTicks) return 0;
  return static_cast<int>(n);
}

void DrawHeader(Plotter& plotter, const PageTransform& t, const AnalysisSettings& settings,
                double tickUnits) {
  double axisY = 0.75 * t.HeaderHeight;
  plotter.PlotTo(t.LabelWidth, axisY);
  plotter.PenDown();
  plotter.PlotTo(t.LabelWidth + t.DistanceExtent, axisY);
  plotter.PenUp();

  int lastTick = LastTick(t, tickUnits);
  for (int i = 0; i <= lastTick; ++i) {
    double x = t.LabelWidth + (i == 0 ? 0.0 : i * tickUnits);  // a tick of NaN keeps tick 0
    plotter.PlotTo(x, axisY);
    plotter.PenDown();
    plotter.PlotTo(x, 0.5 * t.HeaderHeight);
    plotter.PenUp();
  }

  plotter.PlotTo(0, 0);
  plotter.PlotText(HeaderText(settings, tickUnits));
  plotter.PenUp();
}

void DrawBranches(Plotter& plotter, const PageTransform& t, const ClusterNode* node,
                  const DataMatrix& matrix) {
  if (!node || !node->Child1 || !node->Child2) return;
  const ClusterNode& a = *node->Child1;
  const ClusterNode& b = *node->Child2;
  double nodeX = LevelOf(*node) + t.LabelWidth;
  double aX = LevelOf(a) + t.LabelWidth;
  double bX = LevelOf(b) + t.LabelWidth;

  plotter.PlotTo(bX, PositionOf(b));
  plotter.PenDown();
  plotter.PlotTo(nodeX, PositionOf(b));
  plotter.PlotTo(nodeX, PositionOf(a));
  plotter.PlotTo(aX, PositionOf(a));
  plotter.PenUp();

  if (b.IsLeaf()) DrawLabel(plotter, t, b, matrix);
  if (a.IsLeaf()) DrawLabel(plotter, t, a, matrix);

  DrawBranches(plotter, t, &b, matrix);
  DrawBranches(plotter, t, &a, matrix);
}

}  // namespace vardell
