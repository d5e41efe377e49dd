#include "diagram/drawing.h"

#include <charconv>
#include <cmath>

#include "analysis/numbertext.h"

namespace vardell {

namespace {

double LevelOf(const ClusterNode& node) { return node.Level.ToDouble(); }
double PositionOf(const ClusterNode& node) { return node.Position.ToDouble(); }

std::string LabelOf(const ClusterNode& leaf, const DataMatrix& matrix) {
  int object = leaf.FirstObject;
  return object >= 1 && object <= MaxObjects ? matrix.Labels[object] : std::string();
}

void DrawLabel(Plotter& plotter, const PageTransform& t, const ClusterNode& leaf,
               const DataMatrix& matrix) {
  DrawLeafLabel(plotter, t, PositionOf(leaf), LabelOf(leaf, matrix));
}

// Byte length of the first characters of a UTF-8 text; a stray byte counts as one character.
std::size_t PrefixBytes(const std::string& text, std::size_t characters) {
  std::size_t at = 0;
  for (; characters > 0 && at < text.size(); --characters) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

constexpr const char* Ellipsis = "\xE2\x80\xA6";  // U+2026, which Windows-1252 also has

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
  std::string number = FixedText(tickUnits, 10, 4);
  const std::size_t point = number.find('.');
  if (point != std::string::npos && point - number.find_first_of("0123456789") > 15) {
    char buffer[32];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, tickUnits, std::chars_format::scientific, 4)
            .ptr;
    number.assign(buffer, end);
  }
  return "   1 tick = " + number + " distance units";
}

std::string HeaderText(const AnalysisSettings& settings, double tickUnits) {
  return CoefficientName(settings.Coefficient) +
         StrategyName(settings.Strategy, settings.Constrained) + TickText(tickUnits);
}

std::string FittedLabel(const std::string& label, double limit, const Plotter& plotter) {
  if (plotter.TextWidth(label) <= limit) return label;
  // The widest prefix with its ellipsis that fits: widths grow with the prefix.
  std::size_t fits = 0, tooWide = CharacterCount(label);
  while (tooWide - fits > 1) {
    const std::size_t middle = fits + (tooWide - fits) / 2;
    if (plotter.TextWidth(label.substr(0, PrefixBytes(label, middle)) + Ellipsis) <= limit)
      fits = middle;
    else
      tooWide = middle;
  }
  return label.substr(0, PrefixBytes(label, fits)) + Ellipsis;
}

void DrawLeafLabel(Plotter& plotter, const PageTransform& t, double position,
                   const std::string& label) {
  plotter.PlotTo(0, position - t.LineHeight / 2);
  plotter.PlotText(t.LabelLimit > 0 ? FittedLabel(label, t.LabelLimit, plotter) : label);
}

double AutomaticTickUnits(double distanceExtent) {
  if (!(distanceExtent > 0) || !std::isfinite(distanceExtent)) return 1;
  // Ticks 0..n with n = trunc(extent / tick): 4 to 10 ticks when extent / tick lies in [3, 10).
  // Each step of the series is at most 2.5 times the last, so one of them always does.
  // The search starts a hundredfold below the extent, where every tick is too small.
  for (int power = static_cast<int>(std::floor(std::log10(distanceExtent))) - 2;; ++power)
    for (double step : {1.0, 2.0, 5.0}) {
      const double tick = step * std::pow(10.0, power);
      if (std::trunc(distanceExtent / tick) <= 9) return tick;
    }
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
