// The tree diagram on the recording surface: layout on every target, node positions, the
// plotter's rounding, the header band, the brackets and the labels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "../support_commalocale.h"
#include "diagram/drawing.h"
#include "diagram/layout.h"
#include "diagram/plotter.h"
#include "diagram/treediagram.h"
#include "support_diagram.h"

namespace vardell {
namespace {

using namespace vardell::testing;
using Kind = RecordedCall::Kind;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The results window's screen: 665 x 689 at 96 pixels per inch; "M" 7 wide, 13 high.
RecordingSurface Screen() { return RecordingSurface(665, 689, 96, 7, 13); }

TEST(Layout, ScalesOriginAndScaleFieldsOnEveryTarget) {
  // Twelve objects, labels of 4 characters, root level 4. The printer page is 2480 x 3508 with
  // "M" 30 wide and 42 high, the metafile 1000 x 1000 with the screen's metrics.
  const DrawingScale fitted;
  const struct {
    const char* Name;
    OutputTarget Target;
    int PixelsPerInch;  // what the page reports; the printer counts as 300 regardless
    DrawingScale Scale;
    double XFactor, YFactor, XOrigin, YOrigin;
    std::vector<std::string> Fields;  // vscale and hscale texts handed on
    double HscaleMm;                  // after the layout
  } cases[] = {
      {"fitted screen",
       OutputTarget::Screen,
       96,
       fitted,
       154.25,
       52.5,
       10,
       36,
       {" 13.8906", " 40.8120"},
       40.81197916666667},
      {"fixed screen, panned",
       OutputTarget::Screen,
       96,
       {2.5, 5, 10, true, -5, 20, 10},
       18.89763779527559,
       9.448818897637794,
       5,
       56,
       {},
       5},
      {"fixed printer, panned",
       OutputTarget::Printer,
       600,
       {2.5, 5, 10, true, 40, -10, 10},
       59.05511811023622,
       29.52755905511811,
       50,
       84,
       {},
       5},
      {"fitted printer",
       OutputTarget::Printer,
       600,
       fitted,
       585,
       280.1666666666667,
       10,
       94,
       {" 23.7208", " 49.5300"},
       49.53},
      // Always fitted to the page, without margins or pan, and the scale fields left alone.
      {"fixed metafile, panned",
       OutputTarget::Metafile,
       96,
       {2.5, 7, 10, true, 40, -10, 10},
       243,
       80.08333333333333,
       0,
       26,
       {},
       7},
      {"fitted metafile, panned",
       OutputTarget::Metafile,
       96,
       {2.5, 7, 10, false, 40, -10, 10},
       243,
       80.08333333333333,
       0,
       26,
       {},
       7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
    RecordingSurface screen = Screen();
    RecordingSurface page = c.Target == OutputTarget::Metafile
                                ? RecordingSurface(1000, 1000, c.PixelsPerInch, 7, 13)
                                : RecordingSurface(2480, 3508, c.PixelsPerInch, 30, 42);
    TreeDiagram diagram;
    diagram.Scale = c.Scale;
    std::vector<std::string> fields;
    diagram.ScalesFitted = [&](const std::string& v, const std::string& h) {
      fields.insert(fields.end(), {v, h});
    };
    if (c.Target == OutputTarget::Screen)
      diagram.RedrawScreen(*analysis, screen);
    else
      diagram.RedrawDiagram(*analysis, c.Target, page);
    const PageTransform& t = diagram.Transform();
    EXPECT_EQ(t.XFactor, c.XFactor);
    EXPECT_EQ(t.YFactor, c.YFactor);
    EXPECT_EQ(t.XOrigin, c.XOrigin);
    EXPECT_EQ(t.YOrigin, c.YOrigin);  // below the header band of two text lines
    EXPECT_EQ(fields, c.Fields);
    EXPECT_EQ(diagram.Scale.HscaleMm, c.HscaleMm);
    // The screen's drawing step clears it first; the printer and the metafile are not
    // cleared and leave the screen alone.
    if (c.Target == OutputTarget::Screen) {
      EXPECT_EQ(Describe(screen.Calls()).substr(0, 18), "Rect 0,0 665,689 \n");
      EXPECT_EQ(screen.CallsOf(Kind::Rect).size(), 1u);
    } else {
      EXPECT_TRUE(screen.Calls().empty());
    }
    EXPECT_TRUE(page.CallsOf(Kind::Rect).empty());
    // Every label once at the origin; only the leaves' lines reach the label column's right
    // edge, leaf k's k depth units below the origin.
    RecordingSurface& drawn = c.Target == OutputTarget::Screen ? screen : page;
    std::multiset<std::string> labels, expectedLabels;
    std::vector<int> leafYs, edgeYs;
    for (int k = 0; k < 12; ++k) {
      expectedLabels.insert("O" + std::to_string(k + 1));
      leafYs.push_back(RoundToDevice(k * c.YFactor + c.YOrigin));
    }
    std::vector<RecordedCall> texts = drawn.CallsOf(Kind::Text);
    for (std::size_t i = 1; i < texts.size(); ++i) {  // after the header
      EXPECT_EQ(texts[i].X1, c.XOrigin);
      labels.insert(texts[i].Text);
    }
    EXPECT_EQ(labels, expectedLabels);
    int edge = RoundToDevice(c.XOrigin + (c.Target == OutputTarget::Printer ? 120 : 28));
    for (const RecordedCall& line : drawn.CallsOf(Kind::Line))
      if (line.Y1 == line.Y2 && line.Y1 >= c.YOrigin && (line.X1 == edge || line.X2 == edge))
        edgeYs.push_back(line.Y1);
    std::sort(edgeYs.begin(), edgeYs.end());
    EXPECT_EQ(edgeYs, leafYs);
  }
  EXPECT_EQ(FormatScaleField(123456.5), "123456.5000");
}

// Positions in walk order, Child2 before Child1, each node after its children.
void Walk(const ClusterNode* node, std::vector<double>& positions) {
  if (!node) return;
  Walk(node->Child2.get(), positions);
  Walk(node->Child1.get(), positions);
  positions.push_back(node->Position.ToDouble());
}

// Root: Child2 = {1,2,3}, Child1 = {4}; {1,2,3}: Child2 = pair, Child1 = {3}; the leaves hold
// the positions of a constrained run, the root a stale one.
std::unique_ptr<ClusterNode> FourObjects(std::unique_ptr<ClusterNode> pair) {
  auto root = Fuse(3, Leaf(4, 2.0), Fuse(2, Leaf(3, 2.0), std::move(pair)));
  root->Position = 99;
  return root;
}

TEST(Layout, PositionsExtentsAndLabelsOfSmallTrees) {
  using Tree = std::unique_ptr<ClusterNode> (*)();
  const Tree chain = [] { return Chain(3, 2.0); };
  const struct {
    const char* Name;
    Tree MakeTree;
    int Objects;
    bool Constrained, Fixed;
    double ScaleMm, DistanceExtent, DepthExtent;
    std::vector<double> Depths;       // when constrained
    std::vector<double> Positions;    // in walk order
    std::vector<std::string> Labels;  // in drawing order
  } cases[] = {
      {"ordinary",
       [] { return FourObjects(Fuse(1, Leaf(1), Leaf(2))); },
       4,
       false,
       false,
       0,
       3,
       4,
       {},
       {0, 1, 0.5, 2, 1.25, 3, 2.125},
       {"O4", "O3", "O2", "O1"}},
      {"constrained",
       [] { return FourObjects(Fuse(1, Leaf(2, 0.5), Leaf(1, 0.0))); },
       4,
       true,
       false,
       0,
       3,
       2,
       {2.0, 2.5, 4.0, 4.0},
       {0, 0.5, 0.25, 2, 1.125, 2, 1.5625},
       {"O4", "O3", "O1", "O2"}},
      // A tree of no height keeps its extent of 0 (the axis has no length) and is laid out as
      // one unit wide; scales of 0 and less count as one device unit per unit.
      {"identical objects",
       [] { return Chain(3, 0.0); },
       3,
       false,
       false,
       0,
       0,
       3,
       {},
       {0, 1, 0.5, 2, 1.25},
       {"O3", "O1", "O2"}},
      {"a single object", [] { return Leaf(1); }, 1, false, false, 0, 0, 1, {}, {0}, {"O1"}},
      {"all at one depth",
       chain,
       3,
       true,
       false,
       0,
       2,
       1,
       {7.5, 7.5, 7.5},
       {0, 0, 0, 0, 0},
       {"O3", "O1", "O2"}},
      {"scales of 0", chain, 3, false, true, 0, 2, 3, {}, {0, 1, 0.5, 2, 1.25}, {"O3", "O1", "O2"}},
      {"scales below 0",
       chain,
       3,
       false,
       true,
       -4,
       2,
       3,
       {},
       {0, 1, 0.5, 2, 1.25},
       {"O3", "O1", "O2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto analysis = MakeAnalysis(c.MakeTree(), c.Objects);
    analysis->Settings.Constrained = c.Constrained;
    for (std::size_t k = 1; k <= c.Depths.size(); ++k) analysis->Matrix.Depth[k] = c.Depths[k - 1];
    RecordingSurface screen = Screen();
    TreeDiagram diagram;
    diagram.Scale.ScaleFixed = c.Fixed;
    diagram.Scale.HscaleMm = diagram.Scale.VscaleMm = c.ScaleMm;
    diagram.RedrawScreen(*analysis, screen);
    const PageTransform& t = diagram.Transform();
    EXPECT_EQ(t.DistanceExtent, c.DistanceExtent);
    EXPECT_EQ(t.DepthExtent, c.DepthExtent);
    EXPECT_TRUE(t.XFactor > 0 && t.YFactor > 0 && std::isfinite(t.LabelWidth + t.LineHeight));
    std::vector<double> positions;
    Walk(analysis->TreeRoot.get(), positions);
    EXPECT_EQ(positions, c.Positions);
    std::vector<RecordedCall> texts = screen.CallsOf(Kind::Text);
    std::vector<std::string> labels;  // after the header
    for (std::size_t i = 1; i < texts.size(); ++i) labels.push_back(texts[i].Text);
    EXPECT_EQ(labels, c.Labels);
    EXPECT_FALSE(diagram.Pen().PenIsDown);  // every stroke ends pen up
  }
}

// Two objects fused at level 3, drawn at 100 device units per world unit: a surface of 0.1 mm
// units (254 per inch) at a fixed 10 mm scale, labels of two characters 10 wide and 10 high;
// as the results window draws it, or without clearing the surface first.
RecordingSurface DrawPair(double tickUnits, bool asScreen = true) {
  auto analysis = MakeAnalysis(Fuse(3, Leaf(1), Leaf(2)), 2, 2, {"A1", "B2"});
  analysis->Settings.Strategy = StrategyCode::UnweightedPairgroup;
  RecordingSurface surface(2000, 2000, 254, 10, 10);
  TreeDiagram diagram;
  diagram.Scale = DrawingScale{10, 10, tickUnits, true, 0, 0, 10};
  if (asScreen)
    diagram.RedrawScreen(*analysis, surface);
  else
    diagram.RedrawDiagram(*analysis, OutputTarget::Screen, surface);
  return surface;
}

TEST(RoundToDevice, HalvesGoToTheEvenNeighbour) {
  const double in[] = {0.5, 1.5, 2.5, -0.5, -1.5, 88.5, 193.5, 2.4999, 2.5001, 1e300, -1e300, NaN};
  const int out[] = {0, 2, 2, 0, -2, 88, 194, 2, 3, 1000000000, -1000000000, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(RoundToDevice(in[i]), out[i]) << in[i];
}

TEST(RedrawDiagram, TwoObjectsGiveOneBracketAndFourTicks) {
  const std::string cleared = "Rect 0,0 2000,2000 \n";
  EXPECT_EQ(Describe(DrawPair(1).Calls()),
            cleared +
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
  EXPECT_EQ(cleared + Describe(DrawPair(1, false).Calls()), Describe(DrawPair(1).Calls()));
}

TEST(RedrawDiagram, TicksAreBoundedAndTheAxisEndsAtTheRootLevel) {
  const struct {
    double TickUnits;
    std::vector<int> TickX;
  } cases[] = {{0.7, {30, 100, 170, 240, 310}},
               {10, {30}},
               {0, {30}},
               {-1, {30}},
               {NaN, {30}},
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
  // A fixed scale long enough for 3 million ticks still draws one.
  const PageTransform huge{.XFactor = 1e12, .DistanceExtent = 3};
  EXPECT_EQ(LastTick(huge, 1.0 / (1 << 20)), 0);
  EXPECT_EQ(LastTick(huge, 1.0 / (1 << 18)), 786432);
}

TEST(Header, NamesCoefficientStrategyAndTick) {
  const struct {
    AnalysisSettings Settings;
    double TickUnits;
    const char* Expected;
  } cases[] = {
      {{StrategyCode::MinimumVariance, CoefficientCode::Chord, true},
       10,
       "CHORD DISTANCE; MINIMUM VARIANCE TOTAL DISPERSION    1 tick =    10.0000 distance units"},
      {{StrategyCode::MinimumVariance, CoefficientCode::Manhattan, false},
       123456789.125,
       "MANHATTAN METRIC; MINIMUM VARIANCE DISPERSION INCREASE    1 tick = 123456789.1250 "
       "distance units"},
      {{StrategyCode{9}, CoefficientCode{7}, false},
       0.5,
       "   1 tick =     0.5000 distance units"},  // codes outside the tables
  };
  for (const auto& c : cases) EXPECT_EQ(HeaderText(c.Settings, c.TickUnits), c.Expected);
  // A desktop that writes decimals with a comma changes neither the header nor the fields.
  testing::ScopedCommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << comma.Reason();
  for (const auto& c : cases) EXPECT_EQ(HeaderText(c.Settings, c.TickUnits), c.Expected);
  EXPECT_EQ(FormatScaleField(8.65912), "  8.6591");
}

}  // namespace
}  // namespace vardell
