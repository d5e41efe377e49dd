#pragma once
// The strokes of the tree diagram: the header band (axis, ticks, header line) and the
// brackets with the leaf labels.

#include <string>

#include "analysis/analysisdata.h"
#include "diagram/drawingscale.h"
#include "diagram/plotter.h"

namespace vardell {

// The header's names of the methods, each with its separator; empty for a code outside the
// methods table.
std::string CoefficientName(CoefficientCode coefficient);
std::string StrategyName(StrategyCode strategy, bool constrained);
// "   1 tick = " + "%10.4f" + " distance units"; a tick whose fixed-point form would need
// more than 15 digits before the point is written "%.4e" instead, so the header stays readable.
std::string TickText(double tickUnits);
std::string HeaderText(const AnalysisSettings& settings, double tickUnits);

// More ticks than this are never drawn, however long a fixed scale makes the axis.
constexpr int MaxTicks = 1000000;

// Index of the last tick (ticks 0..n are drawn). Bounded: a tick size that is not positive,
// or one that would give more ticks than the axis has device units (or than MaxTicks),
// leaves only the first.
int LastTick(const PageTransform& transform, double tickUnits);

// The label as it fits into limit device units: whole when it fits, otherwise its longest
// prefix of whole characters followed by an ellipsis that fits (the ellipsis alone at least).
std::string FittedLabel(const std::string& label, double limit, const Plotter& plotter);

// The label of a leaf at position, at the left edge of the label column and centred on the
// leaf's line, shortened to the transform's label limit.
void DrawLeafLabel(Plotter& plotter, const PageTransform& transform, double position,
                   const std::string& label);

// The tick of the series 1, 2, 5 x 10^k that gives 4 to 10 ticks over an axis of
// distanceExtent units, the smallest such tick (1 for an axis of no length).
double AutomaticTickUnits(double distanceExtent);

// Axis, ticks and header text, with the transform's YOrigin at the top of the header band.
void DrawHeader(Plotter& plotter, const PageTransform& transform, const AnalysisSettings& settings,
                double tickUnits);

// The bracket below node and the labels of its leaf children, then the same below Child2
// and Child1.
void DrawBranches(Plotter& plotter, const PageTransform& transform, const ClusterNode* node,
                  const DataMatrix& matrix);

}  // namespace vardell
