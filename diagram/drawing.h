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
// "   1 tick = " + "%10.4f" + " distance units"
std::string TickText(double tickUnits);
std::string HeaderText(const AnalysisSettings& settings, double tickUnits);

// More ticks than this are never drawn, however long a fixed scale makes the axis.
constexpr int MaxTicks = 1000000;

// Index of the last tick (ticks 0..n are drawn). Bounded: a tick size that is not positive,
// or one that would give more ticks than the axis has device units (or than MaxTicks),
// leaves only the first.
int LastTick(const PageTransform& transform, double tickUnits);

// Axis, ticks and header text, with the transform's YOrigin at the top of the header band.
void DrawHeader(Plotter& plotter, const PageTransform& transform,
                const AnalysisSettings& settings, double tickUnits);

// The bracket below node and the labels of its leaf children, then the same below Child2
// and Child1.
void DrawBranches(Plotter& plotter, const PageTransform& transform, const ClusterNode* node,
                  const DataMatrix& matrix);

}  // namespace vardell
