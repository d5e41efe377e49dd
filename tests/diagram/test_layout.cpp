// Layout: fitted and fixed scales on each target, origin, extents and node positions.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "diagram/layout.h"
#include "diagram/plotter.h"
#include "diagram/treediagram.h"
#include "support_diagram.h"

namespace vardell {
namespace {

using namespace vardell::testing;
using Kind = RecordedCall::Kind;

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
      {"fitted screen", OutputTarget::Screen, 96, fitted, 154.25, 52.5, 10, 36,
       {" 13.8906", " 40.8120"}, 40.81197916666667},
      {"fixed screen, panned", OutputTarget::Screen, 96, {2.5, 5, 10, true, -5, 20, 10},
       18.89763779527559, 9.448818897637794, 5, 56, {}, 5},
      {"fixed printer, panned", OutputTarget::Printer, 600, {2.5, 5, 10, true, 40, -10, 10},
       59.05511811023622, 29.52755905511811, 50, 84, {}, 5},
      {"fitted printer", OutputTarget::Printer, 600, fitted, 585, 280.1666666666667, 10, 94,
       {" 23.7208", " 49.5300"}, 49.53},
      // Always fitted to the page, without margins or pan, and the scale fields left alone.
      {"fixed metafile, panned", OutputTarget::Metafile, 96, {2.5, 7, 10, true, 40, -10, 10}, 243,
       80.08333333333333, 0, 26, {}, 7},
      {"fitted metafile, panned", OutputTarget::Metafile, 96, {2.5, 7, 10, false, 40, -10, 10}, 243,
       80.08333333333333, 0, 26, {}, 7},
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
    diagram.RedrawDiagram(*analysis, c.Target, screen,
                          c.Target == OutputTarget::Screen ? screen : page);
    const PageTransform& t = diagram.Transform();
    EXPECT_EQ(t.XFactor, c.XFactor);
    EXPECT_EQ(t.YFactor, c.YFactor);
    EXPECT_EQ(t.XOrigin, c.XOrigin);
    EXPECT_EQ(t.YOrigin, c.YOrigin);  // below the header band of two text lines
    EXPECT_EQ(fields, c.Fields);
    EXPECT_EQ(diagram.Scale.HscaleMm, c.HscaleMm);
    // Every target clears the screen, and only the screen.
    EXPECT_EQ(Describe({screen.Calls().front()}), "Rect 0,0 665,689 \n");
    EXPECT_EQ(screen.CallsOf(Kind::Rect).size(), 1u);
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
void Walk(const ClusterNode* node, std::vector<long double>& positions) {
  if (!node) return;
  Walk(node->Child2.get(), positions);
  Walk(node->Child1.get(), positions);
  positions.push_back(node->Position.ToExtended());
}

TEST(Layout, PlacesLeavesInWalkOrderOrAtTheirDepthsAndForksMidway) {
  const struct {
    bool Constrained;
    std::vector<long double> Positions;
    double DepthExtent;
    std::vector<std::string> Labels;  // in drawing order
  } cases[] = {{false, {0, 1, 0.5, 2, 1.25, 3, 2.125}, 4, {"O4", "O3", "O2", "O1"}},
               // at depths 2.0, 2.5, 4.0 and 4.0
               {true, {0, 0.5, 0.25, 2, 1.125, 2, 1.5625}, 2, {"O4", "O3", "O1", "O2"}}};
  for (const auto& c : cases) {
    // Root: Child2 = {1,2,3}, Child1 = {4}; {1,2,3}: Child2 = {1,2}, Child1 = {3};
    // {1,2}: Child2 = object 1 or 2, Child1 = the other.
    auto pair = c.Constrained ? Fuse(1, Leaf(2, 0.5), Leaf(1, 0.0)) : Fuse(1, Leaf(1), Leaf(2));
    auto analysis = MakeAnalysis(Fuse(3, Leaf(4, 2.0), Fuse(2, Leaf(3, 2.0), std::move(pair))), 4);
    analysis->Settings.Constrained = c.Constrained;
    const double depths[] = {2.0, 2.5, 4.0, 4.0};
    for (int k = 1; k <= 4 && c.Constrained; ++k) analysis->Matrix.Depth[k] = depths[k - 1];
    analysis->TreeRoot->Position = 99;  // stale positions are recomputed
    RecordingSurface screen = Screen();
    TreeDiagram diagram;
    diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
    std::vector<long double> positions;
    Walk(analysis->TreeRoot.get(), positions);
    EXPECT_EQ(positions, c.Positions);
    EXPECT_EQ(diagram.Transform().DepthExtent, c.DepthExtent);
    std::vector<std::string> labels;
    for (const RecordedCall& text : screen.CallsOf(Kind::Text)) labels.push_back(text.Text);
    EXPECT_EQ(std::vector<std::string>(labels.begin() + 1, labels.end()), c.Labels);
    EXPECT_FALSE(diagram.Pen().PenIsDown);  // every stroke ends pen up
  }
}

TEST(Layout, DegenerateTreesAndScalesDrawWithoutDividingByZero) {
  const struct {
    int Objects;
    double TopLevel;
    bool Constrained, Fixed;
    double ScaleMm, DistanceExtent, DepthExtent;
  } cases[] = {{3, 0.0, false, false, 0, 1, 3},  // identical objects
               {1, 0.0, false, false, 0, 1, 1},  // a single object
               {1, 0.0, true, false, 0, 1, 1},
               {3, 2.0, true, false, 0, 2, 1},   // all at one depth
               {3, 2.0, false, true, 0, 2, 3},   // scales of 0 and less
               {3, 2.0, false, true, -4, 2, 3}};
  for (const auto& c : cases) {
    auto analysis = MakeAnalysis(c.Objects == 1 ? Leaf(1) : Chain(c.Objects, c.TopLevel), c.Objects);
    analysis->Settings.Constrained = c.Constrained;
    for (int k = 1; k <= c.Objects; ++k) analysis->Matrix.Depth[k] = 7.5;
    RecordingSurface screen = Screen();
    TreeDiagram diagram;
    diagram.Scale.ScaleFixed = c.Fixed;
    diagram.Scale.HscaleMm = diagram.Scale.VscaleMm = c.ScaleMm;
    diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
    const PageTransform& t = diagram.Transform();
    EXPECT_EQ(t.DistanceExtent, c.DistanceExtent) << c.Objects << " " << c.TopLevel;
    EXPECT_EQ(t.DepthExtent, c.DepthExtent);
    EXPECT_TRUE(t.XFactor > 0 && t.YFactor > 0 && std::isfinite(t.LabelWidth + t.LineHeight));
    // The header and every label are written.
    EXPECT_EQ(screen.CallsOf(Kind::Text).size(), c.Objects + 1u);
  }
}

}  // namespace
}  // namespace vardell
