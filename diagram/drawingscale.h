#pragma once

namespace vardell {

// The sizes of the drawing font the user may choose, in points.
constexpr int SmallestFontPoints = 6;
constexpr int LargestFontPoints = 24;

// The user's drawing parameters, owned by the results window and kept across runs.
struct DrawingScale {
  double VscaleMm = 0;      // millimetres per depth unit; no value until a fitted layout
  double HscaleMm = 0;      // millimetres per distance unit
  double TickUnits = 10;    // distance units from one tick to the next
  bool ScaleFixed = false;  // false: fit the tree and write the scales back
  double PanX = 0;          // pan offsets in device units of the surface drawn on
  double PanY = 0;
  double PanStep = 10;
  // With ScaleFixed, a scale marked here is fitted all the same: the command-line tool fixes
  // one scale and fits the other. The window fixes both at once and never marks one.
  bool VscaleFitted = false;
  bool HscaleFitted = false;
};

// The result of one layout, read by the drawing.
struct PageTransform {
  double XFactor = 1;  // device units per distance unit
  double YFactor = 1;  // device units per depth unit
  double XOrigin = 0;
  double YOrigin = 0;
  double MmPerUnitX = 0;
  double MmPerUnitY = 0;
  double DistanceExtent = 0;  // the largest level in the tree; 0 when every level is 0
  double DepthExtent = 0;
  double LabelWidth = 0;
  double HeaderHeight = 0;
  double LineHeight = 0;
  double LabelLimit = 0;  // device width a label may take when the column was narrowed; 0: any
};

}  // namespace vardell
