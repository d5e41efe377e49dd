// Layout: fitted and fixed scales on each target, origin, extents and node positions.

#include <gtest/gtest.h>

#include <cmath>

#include "diagram/layout.h"
#include "diagram/treediagram.h"
#include "support_diagram.h"

namespace vardell {
namespace {

using namespace vardell::testing;

// The results window's screen: 665 x 689 at 96 pixels per inch; "M" 7 wide, 13 high.
RecordingSurface Screen() { return RecordingSurface(665, 689, 96, 7, 13); }

TEST(Layout, FittedScreenOfTwelveObjects) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
  RecordingSurface screen = Screen();
  TreeDiagram diagram;
  std::vector<std::string> fields;
  diagram.ScalesFitted = [&](const std::string& v, const std::string& h) { fields = {v, h}; };
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
  const PageTransform& t = diagram.Transform();
  EXPECT_EQ(t.XFactor, 154.25);
  EXPECT_EQ(t.YFactor, 52.5);
  EXPECT_EQ(t.LabelWidth, 28 / 154.25);
  EXPECT_EQ(t.XOrigin, 10);
  EXPECT_EQ(t.YOrigin, 36);  // moved below the header band
  EXPECT_EQ(fields, (std::vector<std::string>{" 13.8906", " 40.8120"}));
  EXPECT_EQ(diagram.Scale.HscaleMm, 154.25 * (25.4 / 96));
}

TEST(Layout, FixedScalesAndPanOnScreenAndPrinter) {
  const struct {
    OutputTarget Target;
    int PixelsPerInch;  // what the surface reports; the printer counts as 300 regardless
    double PanX, PanY, XFactor, YFactor;
  } cases[] = {{OutputTarget::Screen, 96, 0, 0, 18.8976377952755906, 9.44881889763779528},
               {OutputTarget::Printer, 300, 40, -10, 59.0551181102362204, 29.5275590551181102},
               {OutputTarget::Printer, 600, 0, 0, 59.0551181102362204, 29.5275590551181102}};
  for (const auto& c : cases) {
    auto analysis = MakeAnalysis(Chain(5, 2.0), 5);
    RecordingSurface screen = Screen();
    RecordingSurface page(2400, 3300, c.PixelsPerInch, 30, 42);
    TreeDiagram diagram;
    diagram.Scale = DrawingScale{2.5, 5, 10, true, c.PanX, c.PanY, 10};
    int fitted = 0;
    diagram.ScalesFitted = [&](const std::string&, const std::string&) { ++fitted; };
    diagram.RedrawDiagram(*analysis, c.Target, screen,
                          c.Target == OutputTarget::Screen ? screen : page);
    const PageTransform& t = diagram.Transform();
    double th = c.Target == OutputTarget::Screen ? 13 : 42;
    EXPECT_DOUBLE_EQ(t.XFactor, c.XFactor);
    EXPECT_DOUBLE_EQ(t.YFactor, c.YFactor);
    EXPECT_EQ(t.XOrigin, 10 + c.PanX);
    EXPECT_EQ(t.YOrigin, 10 + c.PanY + 2 * th);
    EXPECT_EQ(fitted, 0);
    EXPECT_EQ(diagram.Scale.HscaleMm, 5);
  }
  EXPECT_EQ(FormatScaleField(5 / (25.4 / 96)), " 18.8976");
  EXPECT_EQ(FormatScaleField(123456.5), "123456.5000");
}

TEST(Layout, MetafileIgnoresPanAndFixedScalesAndTheScaleFields) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
  RecordingSurface screen = Screen(), fitted(1000, 1000, 96, 7, 13), panned(1000, 1000, 96, 7, 13);
  TreeDiagram plain, moved;
  moved.Scale = DrawingScale{2.5, 7.0, 10, true, 40, -10, 10};
  int written = 0;
  moved.ScalesFitted = [&](const std::string&, const std::string&) { ++written; };
  plain.RedrawDiagram(*analysis, OutputTarget::Metafile, screen, fitted);
  moved.RedrawDiagram(*analysis, OutputTarget::Metafile, screen, panned);
  EXPECT_EQ(moved.Transform().XFactor, (1000.0 - 28) / 4);
  EXPECT_EQ(moved.Transform().YFactor, (1000.0 - 39) / 12);
  EXPECT_EQ(moved.Transform().XOrigin, 0);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(moved.Scale.HscaleMm, 7.0);
  EXPECT_EQ(Describe(panned.Calls()), Describe(fitted.Calls()));
}

TEST(Layout, PrinterFitWritesPrinterScalesAndEveryTargetClearsTheScreen) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
  TreeDiagram diagram;
  std::vector<std::string> hscales;
  diagram.ScalesFitted = [&](const std::string&, const std::string& h) { hscales.push_back(h); };
  for (OutputTarget target : {OutputTarget::Printer, OutputTarget::Metafile, OutputTarget::Screen}) {
    RecordingSurface screen = Screen(), other(2480, 3508, 600, 30, 42);
    diagram.RedrawDiagram(*analysis, target, screen, target == OutputTarget::Screen ? screen : other);
    EXPECT_EQ(Describe({screen.Calls().front()}), "Rect 0,0 665,689 \n");
    EXPECT_EQ(screen.CallsOf(RecordedCall::Kind::Rect).size(), 1u);
    EXPECT_TRUE(other.CallsOf(RecordedCall::Kind::Rect).empty());
  }
  EXPECT_EQ(hscales, (std::vector<std::string>{FormatScaleField(585 * (25.4 / 300)), " 40.8120"}));
}

TEST(PlaceNodes, OrdinaryRunStacksLeavesChild2First) {
  // Root: Child2 = {1,2,3}, Child1 = {4}; {1,2,3}: Child2 = {1,2}, Child1 = {3};
  // {1,2}: Child2 = object 2, Child1 = object 1.
  auto root = Fuse(3, Leaf(4), Fuse(2, Leaf(3), Fuse(1, Leaf(1), Leaf(2))));
  int counter = 0;
  PlaceNodes(root.get(), false, counter);
  ClusterNode& p123 = *root->Child2;
  ClusterNode& p12 = *p123.Child2;
  const long double expected[] = {0, 1, 2, 3, 0.5, 1.25, 2.125};
  const ClusterNode* nodes[] = {p12.Child2.get(), p12.Child1.get(), p123.Child1.get(),
                                root->Child1.get(), &p12, &p123, root.get()};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(nodes[i]->Position.ToExtended(), expected[i]) << i;
}

TEST(PlaceNodes, ConstrainedRunKeepsDepthPositions) {
  auto analysis = MakeAnalysis(Fuse(3, Leaf(3, 2.0), Fuse(1, Leaf(2, 0.5), Leaf(1, 0.0))), 3);
  analysis->Settings.Constrained = true;
  const double depths[] = {2.0, 2.5, 4.0};
  for (int k = 1; k <= 3; ++k) analysis->Matrix.Depth[k] = depths[k - 1];
  analysis->TreeRoot->Position = 99;  // stale positions are recomputed
  RecordingSurface screen = Screen();
  TreeDiagram diagram;
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
  const ClusterNode& root = *analysis->TreeRoot;
  EXPECT_EQ(diagram.Transform().DepthExtent, 2.0);
  EXPECT_EQ(root.Child2->Child1->Position.ToExtended(), 0.5);
  EXPECT_EQ(root.Child1->Position.ToExtended(), 2.0);
  EXPECT_EQ(root.Position.ToExtended(), 1.125);
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
    EXPECT_EQ(t.DistanceExtent, c.DistanceExtent);
    EXPECT_EQ(t.DepthExtent, c.DepthExtent);
    EXPECT_TRUE(t.XFactor > 0 && t.YFactor > 0 && std::isfinite(t.LabelWidth + t.LineHeight));
    // The header and every label are written.
    EXPECT_EQ(screen.CallsOf(RecordedCall::Kind::Text).size(), c.Objects + 1u);
  }
}

}  // namespace
}  // namespace vardell
