// Drawing: the plotter's rounding, the header band, the brackets and the labels.

#include <gtest/gtest.h>

#include <limits>

#include "diagram/drawing.h"
#include "diagram/treediagram.h"
#include "support_diagram.h"

namespace vardell {
namespace {

using namespace vardell::testing;
using Kind = RecordedCall::Kind;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Two objects fused at level 3, drawn at 100 device units per world unit: a surface of 0.1 mm
// units (254 per inch) at a fixed 10 mm scale, labels of two characters 10 wide and 10 high.
RecordingSurface DrawPair(double tickUnits) {
  auto analysis = MakeAnalysis(Fuse(3, Leaf(1), Leaf(2)), 2, 2, {"A1", "B2"});
  analysis->Settings.Strategy = UnweightedPairgroup;
  RecordingSurface surface(2000, 2000, 254, 10, 10);
  TreeDiagram diagram;
  diagram.Scale = DrawingScale{10, 10, tickUnits, true, 0, 0, 10};
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, surface, surface);
  return surface;
}

TEST(RoundToDevice, HalvesGoToTheEvenNeighbour) {
  const double in[] = {0.5, 1.5, 2.5, -0.5, -1.5, 88.5, 193.5, 2.4999, 2.5001, 1e300, -1e300, NaN};
  const int out[] = {0, 2, 2, 0, -2, 88, 194, 2, 3, 1000000000, -1000000000, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(RoundToDevice(in[i]), out[i]) << in[i];
}

TEST(RedrawDiagram, TwoObjectsGiveOneBracketAndFourTicks) {
  EXPECT_EQ(Describe(DrawPair(1).Calls()),
            "Rect 0,0 2000,2000 \n"
            // the axis 1.5 text lines below the origin, from level 0 to the root's level
            "Move 30,25 0,0 \nLine 30,25 330,25 \n"
            // ticks at 0, 1, 2 and 3, rising half a text line
            "Move 30,25 0,0 \nLine 30,25 30,20 \nMove 130,25 0,0 \nLine 130,25 130,20 \n"
            "Move 230,25 0,0 \nLine 230,25 230,20 \nMove 330,25 0,0 \nLine 330,25 330,20 \n"
            "Move 10,10 0,0 \nText 10,10 0,0 EUCLIDIAN DISTANCE; UNWEIGHTED PAIRGROUP    "
            "1 tick =     1.0000 distance units\n"
            // the bracket: Child2 (object 2) at depth 0, Child1 at depth 1, in one stroke
            "Move 30,30 0,0 \nLine 30,30 330,30 \nLine 330,30 330,130 \nLine 330,130 30,130 \n"
            // labels centred on their leaves' lines at the left of the label column
            "Move 10,25 0,0 \nText 10,25 0,0 B2\nMove 10,125 0,0 \nText 10,125 0,0 A1\n");
}

TEST(RedrawDiagram, TicksAreBoundedAndTheAxisEndsAtTheRootLevel) {
  const struct {
    double TickUnits;
    std::vector<int> TickX;
  } cases[] = {{0.7, {30, 100, 170, 240, 310}}, {10, {30}}, {0, {30}}, {-1, {30}}, {NaN, {30}},
               // 3e9 ticks on an axis of 300 device units: only the first
               {1e-9, {30}}};
  for (const auto& c : cases) {
    std::vector<int> tickX;
    std::vector<RecordedCall> lines = DrawPair(c.TickUnits).CallsOf(Kind::Line);
    EXPECT_EQ(Describe({lines.front()}), "Line 30,25 330,25 \n");
    for (const RecordedCall& line : lines)
      if (line.Y1 == 25 && line.Y2 == 20) tickX.push_back(line.X1);
    EXPECT_EQ(tickX, c.TickX) << c.TickUnits;
  }
  PageTransform huge;  // a fixed scale long enough for 3 million ticks still draws one
  huge.DistanceExtent = 3;
  huge.XFactor = 1e12;
  EXPECT_EQ(LastTick(huge, 1.0 / (1 << 20)), 0);
  EXPECT_EQ(LastTick(huge, 1.0 / (1 << 18)), 786432);
}

TEST(Header, NamesCoefficientStrategyAndTick) {
  const struct {
    AnalysisSettings Settings;
    double TickUnits;
    const char* Expected;
  } cases[] = {
      {{MinimumVariance, Chord, true}, 10,
       "CHORD DISTANCE; MINIMUM VARIANCE TOTAL DISPERSION    1 tick =    10.0000 distance units"},
      {{MinimumVariance, Manhattan, false}, 123456789.125,
       "MANHATTAN METRIC; MINIMUM VARIANCE DISPERSION INCREASE    1 tick = 123456789.1250 "
       "distance units"},
      {{9, 7, false}, 0.5, "   1 tick =     0.5000 distance units"},  // codes outside the tables
  };
  for (const auto& c : cases) EXPECT_EQ(HeaderText(c.Settings, c.TickUnits), c.Expected);
}

}  // namespace
}  // namespace vardell
