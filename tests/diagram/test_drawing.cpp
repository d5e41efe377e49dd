// Drawing: the plotter's rounding, the header band, the brackets and the labels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "diagram/drawing.h"
#include "diagram/plotter.h"
#include "diagram/recordingsurface.h"
#include "diagram/treediagram.h"
#include "support_trees.h"

namespace vardell {
namespace {

using testing::Chain;
using testing::Fuse;
using testing::Leaf;
using testing::MakeAnalysis;
using Kind = RecordedCall::Kind;

RecordedCall Move(int x, int y) { return {Kind::Move, x, y, 0, 0, {}}; }
RecordedCall Line(int x1, int y1, int x2, int y2) { return {Kind::Line, x1, y1, x2, y2, {}}; }
RecordedCall Text(int x, int y, std::string text) { return {Kind::Text, x, y, 0, 0, std::move(text)}; }
RecordedCall Rect(int x1, int y1, int x2, int y2) { return {Kind::Rect, x1, y1, x2, y2, {}}; }

std::string Describe(const RecordedCall& c) {
  const char* names[] = {"Move", "Line", "Text", "Rect"};
  return std::string(names[static_cast<int>(c.Op)]) + "(" + std::to_string(c.X1) + "," +
         std::to_string(c.Y1) + "," + std::to_string(c.X2) + "," + std::to_string(c.Y2) + ",\"" +
         c.Text + "\")";
}

std::string Describe(const std::vector<RecordedCall>& calls) {
  std::string all;
  for (const RecordedCall& c : calls) all += Describe(c) + "\n";
  return all;
}

// A surface of 0.1 mm device units (254 per inch), so a scale of 10 mm is 100 device units.
RecordingSurface TenthMillimetreSurface() { return RecordingSurface(2000, 2000, 254, 10, 10); }

TreeDiagram FixedAt10Mm(double tickUnits) {
  TreeDiagram diagram;
  diagram.Scale.ScaleFixed = true;
  diagram.Scale.HscaleMm = diagram.Scale.VscaleMm = 10;
  diagram.Scale.TickUnits = tickUnits;
  return diagram;
}

TEST(RoundToDevice, HalvesGoToTheEvenNeighbour) {
  const struct {
    double In;
    int Out;
  } cases[] = {{0.5, 0},        {1.5, 2},    {2.5, 2},      {-0.5, 0},   {-1.5, -2},
               {-2.5, -2},      {88.5, 88},  {193.5, 194},  {2.4999, 2}, {2.5001, 3},
               {-0.4999, 0},    {1e300, 1000000000},         {-1e300, -1000000000},
               {std::numeric_limits<double>::quiet_NaN(), 0},
               {std::numeric_limits<double>::infinity(), 1000000000}};
  for (const auto& c : cases) EXPECT_EQ(RoundToDevice(c.In), c.Out) << c.In;
}

TEST(Plotter, KeepsTheUnroundedPointAndMovesOnlyWithPenUp) {
  RecordingSurface surface(100, 100, 96, 7, 13);
  PageTransform t;
  t.XFactor = 2.5;
  t.YFactor = 3;
  t.XOrigin = 0.25;
  t.YOrigin = 1;
  Plotter plotter;
  plotter.Attach(surface, t);
  plotter.ResetPen();
  plotter.PlotTo(1, 1.5);  // (2.75, 5.5)
  plotter.PenDown();
  plotter.PlotTo(2, 0.5);  // (5.25, 2.5)
  plotter.PlotText("x");
  plotter.PenUp();
  plotter.PlotTo(0, 0);
  EXPECT_EQ(plotter.PenX, 0.25);
  EXPECT_EQ(plotter.PenY, 1);
  std::vector<RecordedCall> expected = {Move(3, 6), Line(3, 6, 5, 2), Text(5, 2, "x"), Move(0, 1)};
  EXPECT_EQ(Describe(surface.Calls()), Describe(expected));
}

TEST(RedrawDiagram, TwoObjectsGiveOneBracketAndFourTicks) {
  auto analysis = MakeAnalysis(Fuse(3, Leaf(1), Leaf(2)), 2, 2, {"A1", "B2"});
  analysis->Settings.Coefficient = Euclidean;
  analysis->Settings.Strategy = UnweightedPairgroup;
  RecordingSurface surface = TenthMillimetreSurface();
  TreeDiagram diagram = FixedAt10Mm(1);
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, surface, surface);

  // Label column 20 units wide, one text line 10 high, 100 units per distance and depth unit.
  std::vector<RecordedCall> expected = {
      Rect(0, 0, 2000, 2000),
      // axis 1.5 text lines below the origin, from level 0 to the root's level
      Move(30, 25), Line(30, 25, 330, 25),
      // ticks at 0, 1, 2, 3 rising half a line
      Move(30, 25), Line(30, 25, 30, 20), Move(130, 25), Line(130, 25, 130, 20),
      Move(230, 25), Line(230, 25, 230, 20), Move(330, 25), Line(330, 25, 330, 20),
      Move(10, 10), Text(10, 10, "EUCLIDIAN DISTANCE; UNWEIGHTED PAIRGROUP    1 tick =     1.0000 distance units"),
      // the bracket: Child2 (object 2) at depth 0, Child1 (object 1) at depth 1
      Move(30, 30), Line(30, 30, 330, 30), Line(330, 30, 330, 130), Line(330, 130, 30, 130),
      // labels centred on their lines at the left edge of the label column
      Move(10, 25), Text(10, 25, "B2"), Move(10, 125), Text(10, 125, "A1")};
  EXPECT_EQ(Describe(surface.Calls()), Describe(expected));
}

struct TickCase {
  const char* Name;
  double TickUnits;
  std::vector<int> ExpectedTickX;
};

class Ticks : public ::testing::TestWithParam<TickCase> {};

TEST_P(Ticks, AreBoundedAndTheAxisEndsAtTheRootLevel) {
  const TickCase& c = GetParam();
  auto analysis = MakeAnalysis(Fuse(3, Leaf(1), Leaf(2)), 2, 2);
  RecordingSurface surface = TenthMillimetreSurface();
  TreeDiagram diagram = FixedAt10Mm(c.TickUnits);
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, surface, surface);
  std::vector<int> tickX;
  std::vector<RecordedCall> lines = surface.CallsOf(Kind::Line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(Describe(lines.front()), Describe(Line(30, 25, 330, 25)));
  for (const RecordedCall& line : lines)
    if (line.Y1 == 25 && line.Y2 == 20 && line.X1 == line.X2) tickX.push_back(line.X1);
  EXPECT_EQ(tickX, c.ExpectedTickX);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Ticks,
    ::testing::Values(TickCase{"One", 1, {30, 130, 230, 330}},
                      TickCase{"NotADivisor", 0.7, {30, 100, 170, 240, 310}},
                      TickCase{"EqualToRoot", 3, {30, 330}},
                      TickCase{"LargerThanRoot", 10, {30}},
                      TickCase{"Zero", 0, {30}},
                      TickCase{"Negative", -1, {30}},
                      TickCase{"NotANumber", std::numeric_limits<double>::quiet_NaN(), {30}},
                      TickCase{"Infinite", std::numeric_limits<double>::infinity(), {30}},
                      // 3e9 ticks on an axis of 300 device units: only the first is drawn
                      TickCase{"Tiny", 1e-9, {30}},
                      TickCase{"OnePerDeviceUnit", 0.01, [] {
                                 std::vector<int> xs;
                                 for (int i = 0; i <= 300; ++i) xs.push_back(30 + i);
                                 return xs;
                               }()}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(LastTick, CountsWholeTicksWithinBounds) {
  const struct {
    double DistanceExtent, XFactor, TickUnits;
    int Expected;
  } cases[] = {
      {3, 100, 1, 3},         {3, 100, 0.7, 4},      {2.9999, 100, 1, 2},
      {3, 100, 0.01, 300},    {3, 100, 0.0099, 0},  // 303 ticks on 300 device units
      {3, 1e12, 1.0 / (1 << 18), 786432},
      {3, 1e12, 1.0 / (1 << 20), 0},  // beyond MaxTicks on a huge axis
      {3, 100, 1e300, 0},     {1e300, 1e300, 1e-300, 0},
  };
  for (const auto& c : cases) {
    PageTransform t;
    t.DistanceExtent = c.DistanceExtent;
    t.XFactor = c.XFactor;
    EXPECT_EQ(LastTick(t, c.TickUnits), c.Expected)
        << c.DistanceExtent << " " << c.XFactor << " " << c.TickUnits;
  }
}

struct HeaderCase {
  std::uint8_t Coefficient, Strategy;
  bool Constrained;
  double TickUnits;
  const char* Expected;
};

TEST(Header, NamesCoefficientStrategyAndTick) {
  const HeaderCase cases[] = {
      {Euclidean, UnweightedPairgroup, false, 10,
       "EUCLIDIAN DISTANCE; UNWEIGHTED PAIRGROUP    1 tick =    10.0000 distance units"},
      {Manhattan, NearestNeighbour, false, 0.5,
       "MANHATTAN METRIC; NEAREST NEIGHBOUR    1 tick =     0.5000 distance units"},
      {Chord, FurthestNeighbour, true, 2,
       "CHORD DISTANCE; FURTHEST NEIGHBOUR    1 tick =     2.0000 distance units"},
      {Chord, WeightedPairgroup, false, 10,
       "CHORD DISTANCE; WEIGHTED PAIRGROUP    1 tick =    10.0000 distance units"},
      {Euclidean, CentroidSorting, false, 10,
       "EUCLIDIAN DISTANCE; CENTROID SORTING    1 tick =    10.0000 distance units"},
      {Euclidean, MinimumVariance, true, 10,
       "EUCLIDIAN DISTANCE; MINIMUM VARIANCE TOTAL DISPERSION    1 tick =    10.0000 distance units"},
      {Euclidean, MinimumVariance, false, 10,
       "EUCLIDIAN DISTANCE; MINIMUM VARIANCE DISPERSION INCREASE    1 tick =    10.0000 distance units"},
      {Euclidean, MinimumVariance, false, 123456789.125,
       "EUCLIDIAN DISTANCE; MINIMUM VARIANCE DISPERSION INCREASE    1 tick = 123456789.1250 distance units"},
      {7, 9, false, 10, "   1 tick =    10.0000 distance units"},  // codes outside the tables
  };
  for (const HeaderCase& c : cases) {
    AnalysisSettings settings;
    settings.Coefficient = c.Coefficient;
    settings.Strategy = c.Strategy;
    settings.Constrained = c.Constrained;
    EXPECT_EQ(HeaderText(settings, c.TickUnits), c.Expected);
  }
}

TEST(Header, LargestTickStillFormats) {
  std::string text = TickText(std::numeric_limits<double>::max());
  EXPECT_EQ(text.substr(0, 13), "   1 tick = 1");
  EXPECT_EQ(text.substr(text.size() - 20), ".0000 distance units");
}

TEST(RedrawDiagram, EveryLabelOnceAtTheOriginAndEveryLeafLineFromTheLabelColumn) {
  for (double panX : {0.0, 40.0, -25.0}) {
    auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4,
                                 {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "1212"});
    RecordingSurface screen(665, 689, 96, 7, 13);
    TreeDiagram diagram;
    diagram.Scale.PanX = panX;
    diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
    int xOrigin = 10 + static_cast<int>(panX);

    std::vector<RecordedCall> texts = screen.CallsOf(Kind::Text);
    ASSERT_EQ(texts.size(), 13u);
    std::map<std::string, int> seen;
    for (std::size_t i = 1; i < texts.size(); ++i) {
      EXPECT_EQ(texts[i].X1, xOrigin);
      ++seen[texts[i].Text];
    }
    for (int k = 1; k <= 12; ++k) EXPECT_EQ(seen[analysis->Matrix.Labels[k]], 1) << k;

    // Leaf k's line lies at 36 + 52.5 k, rounded, and starts right of the label column;
    // no other line starts there.
    std::vector<int> leafYs, startYs;
    for (int k = 0; k < 12; ++k) leafYs.push_back(RoundToDevice(36 + 52.5 * k));
    for (const RecordedCall& line : screen.CallsOf(Kind::Line)) {
      if (line.Y1 != line.Y2 || line.Y1 < 36) continue;  // not the axis in the header band
      if (line.X2 == xOrigin + 28) startYs.push_back(line.Y2);  // drawn towards the leaf
      if (line.X1 == xOrigin + 28) startYs.push_back(line.Y1);  // drawn from the leaf
    }
    std::sort(startYs.begin(), startYs.end());
    EXPECT_EQ(startYs, leafYs);
  }
}

TEST(RedrawDiagram, BranchesGoChild2FirstAtEveryNode) {
  auto pair = Fuse(1, Leaf(1), Leaf(2));
  auto triple = Fuse(2, Leaf(3), std::move(pair));
  auto analysis = MakeAnalysis(Fuse(3, Leaf(4), std::move(triple)), 4, 2);
  RecordingSurface screen(665, 689, 96, 7, 13);
  TreeDiagram diagram;
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
  std::vector<std::string> labels;
  for (const RecordedCall& text : screen.CallsOf(Kind::Text)) labels.push_back(text.Text);
  EXPECT_EQ(labels, (std::vector<std::string>{labels[0], "O4", "O3", "O2", "O1"}));
}

TEST(RedrawDiagram, EveryStrokeEndsWithThePenUp) {
  auto analysis = MakeAnalysis(Chain(6, 2.0), 6);
  RecordingSurface screen(665, 689, 96, 7, 13);
  TreeDiagram diagram;
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
  EXPECT_FALSE(diagram.Pen().PenIsDown);
  // Each stroke starts with a move: the header's axis, 1 tick, 5 brackets and 6 labels.
  EXPECT_EQ(screen.CallsOf(Kind::Move).size(), 1u + 1 + 1 + 5 + 6);
}

}  // namespace
}  // namespace vardell
