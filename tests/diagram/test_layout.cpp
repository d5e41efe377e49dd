// Layout: extents, fitted and fixed scales on each target, origin, and node positions.

#include <gtest/gtest.h>

#include <cmath>

#include "diagram/layout.h"
#include "diagram/recordingsurface.h"
#include "diagram/treediagram.h"
#include "support_trees.h"

namespace vardell {
namespace {

using testing::Chain;
using testing::Fuse;
using testing::Leaf;
using testing::MakeAnalysis;

struct FittedTexts {
  int Calls = 0;
  std::string Vscale, Hscale;
};

// The screen of the results window: 665 x 689 at 96 pixels per inch, "M" 7 wide, 13 high.
RecordingSurface Screen() { return RecordingSurface(665, 689, 96, 7, 13); }

TEST(Layout, FittedScreenOfTwelveObjects) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
  RecordingSurface screen = Screen();
  TreeDiagram diagram;
  FittedTexts texts;
  diagram.ScalesFitted = [&](const std::string& v, const std::string& h) {
    ++texts.Calls;
    texts.Vscale = v;
    texts.Hscale = h;
  };
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);

  const PageTransform& t = diagram.Transform();
  EXPECT_EQ(t.XFactor, 154.25);
  EXPECT_EQ(t.YFactor, 52.5);
  EXPECT_EQ(t.DistanceExtent, 4.0);
  EXPECT_EQ(t.DepthExtent, 12.0);
  EXPECT_EQ(t.LabelWidth, 28 / 154.25);
  EXPECT_EQ(t.HeaderHeight, 26 / 52.5);
  EXPECT_EQ(t.LineHeight, 13 / 52.5);
  EXPECT_EQ(t.XOrigin, 10);
  EXPECT_EQ(t.YOrigin, 36);  // moved below the header band
  EXPECT_EQ(texts.Calls, 1);
  EXPECT_EQ(texts.Vscale, " 13.8906");
  EXPECT_EQ(texts.Hscale, " 40.8120");
  EXPECT_EQ(diagram.Scale.VscaleMm, 52.5 * (25.4 / 96));
  EXPECT_EQ(diagram.Scale.HscaleMm, 154.25 * (25.4 / 96));
  EXPECT_FALSE(diagram.Scale.ScaleFixed);
}

struct FixedCase {
  const char* Name;
  OutputTarget Target;
  int PixelsPerInch;  // what the surface reports
  double ExpectedXFactor, ExpectedYFactor;
};

class FixedScale : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedScale, AppliesTheMillimetreScales) {
  const FixedCase& c = GetParam();
  auto analysis = MakeAnalysis(Chain(5, 2.0), 5);
  RecordingSurface screen = Screen();
  RecordingSurface page(2400, 3300, c.PixelsPerInch, 30, 42);
  Surface& target = c.Target == OutputTarget::Screen ? static_cast<Surface&>(screen) : page;
  TreeDiagram diagram;
  diagram.Scale.ScaleFixed = true;
  diagram.Scale.HscaleMm = 5;
  diagram.Scale.VscaleMm = 2.5;
  int fitted = 0;
  diagram.ScalesFitted = [&](const std::string&, const std::string&) { ++fitted; };
  diagram.RedrawDiagram(*analysis, c.Target, screen, target);

  const PageTransform& t = diagram.Transform();
  EXPECT_DOUBLE_EQ(t.XFactor, c.ExpectedXFactor);
  EXPECT_DOUBLE_EQ(t.YFactor, c.ExpectedYFactor);
  EXPECT_EQ(fitted, 0);
  EXPECT_EQ(diagram.Scale.HscaleMm, 5);
  EXPECT_EQ(diagram.Scale.VscaleMm, 2.5);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FixedScale,
    ::testing::Values(FixedCase{"Screen96", OutputTarget::Screen, 96, 18.8976377952755906,
                                9.44881889763779528},
                      FixedCase{"Printer300", OutputTarget::Printer, 300, 59.0551181102362204,
                                29.5275590551181102},
                      // The printer counts as 300 dots per inch whatever it reports.
                      FixedCase{"Printer600", OutputTarget::Printer, 600, 59.0551181102362204,
                                29.5275590551181102}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Layout, FixedScaleRoundsAsTheScaleFieldsShow) {
  EXPECT_EQ(FormatScaleField(5 / (25.4 / 96)), " 18.8976");
  EXPECT_EQ(FormatScaleField(5 / (25.4 / 300)), " 59.0551");
}

TEST(Layout, MetafileIgnoresPanAndFixedScales) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
  RecordingSurface screen = Screen();
  RecordingSurface metafileFitted(1000, 1000, 96, 7, 13);
  RecordingSurface metafilePanned(1000, 1000, 96, 7, 13);

  TreeDiagram plain;
  plain.RedrawDiagram(*analysis, OutputTarget::Metafile, screen, metafileFitted);

  TreeDiagram panned;
  panned.Scale = DrawingScale{2.5, 7.0, 10, true, 40, -10, 10};
  int fitted = 0;
  panned.ScalesFitted = [&](const std::string&, const std::string&) { ++fitted; };
  panned.RedrawDiagram(*analysis, OutputTarget::Metafile, screen, metafilePanned);

  const PageTransform& t = panned.Transform();
  EXPECT_EQ(t.XFactor, (1000.0 - 28) / 4);
  EXPECT_EQ(t.YFactor, (1000.0 - 39) / 12);
  EXPECT_EQ(t.XOrigin, 0);
  EXPECT_EQ(t.YOrigin, 26);  // the header band's height, below origin 0
  EXPECT_EQ(fitted, 0);
  EXPECT_EQ(panned.Scale.VscaleMm, 2.5);
  EXPECT_EQ(panned.Scale.HscaleMm, 7.0);
  EXPECT_EQ(panned.Scale.PanX, 40);
  EXPECT_TRUE(panned.Scale.ScaleFixed);
  ASSERT_EQ(metafilePanned.Calls().size(), metafileFitted.Calls().size());
  for (std::size_t i = 0; i < metafileFitted.Calls().size(); ++i) {
    const RecordedCall& a = metafileFitted.Calls()[i];
    const RecordedCall& b = metafilePanned.Calls()[i];
    EXPECT_TRUE(a.Op == b.Op && a.X1 == b.X1 && a.Y1 == b.Y1 && a.X2 == b.X2 && a.Y2 == b.Y2 &&
                a.Text == b.Text)
        << "call " << i;
  }
}

struct PanCase {
  const char* Name;
  OutputTarget Target;
  bool ScaleFixed;
  double PanX, PanY;
  double ExpectedXOrigin, ExpectedTopOfHeader;
};

class Pan : public ::testing::TestWithParam<PanCase> {};

TEST_P(Pan, MovesTheOriginInDeviceUnits) {
  const PanCase& c = GetParam();
  auto analysis = MakeAnalysis(Chain(4, 1.0), 4, 2);
  RecordingSurface screen = Screen();
  RecordingSurface page(2400, 3300, 300, 30, 42);
  Surface& target = c.Target == OutputTarget::Screen ? static_cast<Surface&>(screen) : page;
  TreeDiagram diagram;
  diagram.Scale.ScaleFixed = c.ScaleFixed;
  diagram.Scale.VscaleMm = diagram.Scale.HscaleMm = 3;
  diagram.Scale.PanX = c.PanX;
  diagram.Scale.PanY = c.PanY;
  diagram.RedrawDiagram(*analysis, c.Target, screen, target);
  EXPECT_EQ(diagram.Transform().XOrigin, c.ExpectedXOrigin);
  double th = c.Target == OutputTarget::Screen ? 13 : 42;
  EXPECT_EQ(diagram.Transform().YOrigin, c.ExpectedTopOfHeader + 2 * th);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, Pan,
    ::testing::Values(PanCase{"ScreenFitted", OutputTarget::Screen, false, 40, -10, 50, 0},
                      PanCase{"ScreenFixed", OutputTarget::Screen, true, -30, 20, -20, 30},
                      PanCase{"PrinterFitted", OutputTarget::Printer, false, 40, -10, 50, 0},
                      PanCase{"PrinterFixed", OutputTarget::Printer, true, 0, 0, 10, 10}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Layout, PrinterFittedWritesPrinterScalesThenScreenWritesItsOwn) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
  RecordingSurface screen = Screen();
  RecordingSurface page(2480, 3508, 600, 30, 42);
  TreeDiagram diagram;
  std::vector<std::string> hscales;
  diagram.ScalesFitted = [&](const std::string&, const std::string& h) { hscales.push_back(h); };
  diagram.RedrawDiagram(*analysis, OutputTarget::Printer, screen, page);
  double printerX = (2480.0 - 20 - 120) / 4;
  EXPECT_EQ(diagram.Transform().XFactor, printerX);
  EXPECT_EQ(diagram.Scale.HscaleMm, printerX * (25.4 / 300));
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
  ASSERT_EQ(hscales.size(), 2u);
  EXPECT_EQ(hscales[0], FormatScaleField(printerX * (25.4 / 300)));
  EXPECT_EQ(hscales[1], " 40.8120");
}

TEST(Layout, ClearsTheScreenAreaOnEveryTarget) {
  for (OutputTarget target : {OutputTarget::Screen, OutputTarget::Printer, OutputTarget::Metafile}) {
    auto analysis = MakeAnalysis(Chain(3, 1.0), 3);
    RecordingSurface screen = Screen();
    RecordingSurface other(1000, 1000, 300, 7, 13);
    Surface& surface = target == OutputTarget::Screen ? static_cast<Surface&>(screen) : other;
    TreeDiagram diagram;
    diagram.RedrawDiagram(*analysis, target, screen, surface);
    ASSERT_FALSE(screen.Calls().empty());
    const RecordedCall& first = screen.Calls().front();
    EXPECT_EQ(first.Op, RecordedCall::Kind::Rect);
    EXPECT_EQ(first.X1, 0);
    EXPECT_EQ(first.Y1, 0);
    EXPECT_EQ(first.X2, 665);
    EXPECT_EQ(first.Y2, 689);
    EXPECT_EQ(screen.CallsOf(RecordedCall::Kind::Rect).size(), 1u);
    EXPECT_TRUE(other.CallsOf(RecordedCall::Kind::Rect).empty());
  }
}

TEST(PlaceNodes, OrdinaryRunStacksLeavesInWalkOrder) {
  // Root: Child2 = {1,2,3}, Child1 = {4}; {1,2,3}: Child2 = {1,2}, Child1 = {3};
  // {1,2}: Child2 = object 2, Child1 = object 1.
  auto pair = Fuse(1, Leaf(1), Leaf(2));
  ClusterNode* p12 = pair.get();
  auto triple = Fuse(2, Leaf(3), std::move(pair));
  ClusterNode* p123 = triple.get();
  auto root = Fuse(3, Leaf(4), std::move(triple));
  int counter = 0;
  PlaceNodes(root.get(), false, counter);
  EXPECT_EQ(counter, 4);
  EXPECT_EQ(p12->Child2->Position.ToExtended(), 0);   // object 2
  EXPECT_EQ(p12->Child1->Position.ToExtended(), 1);   // object 1
  EXPECT_EQ(p123->Child1->Position.ToExtended(), 2);  // object 3
  EXPECT_EQ(root->Child1->Position.ToExtended(), 3);  // object 4
  EXPECT_EQ(p12->Position.ToExtended(), 0.5);
  EXPECT_EQ(p123->Position.ToExtended(), 1.25);
  EXPECT_EQ(root->Position.ToExtended(), 2.125);
}

TEST(PlaceNodes, ConstrainedRunKeepsDepthPositions) {
  auto analysis = MakeAnalysis(Fuse(3, Leaf(3, 2.0), Fuse(1, Leaf(2, 0.5), Leaf(1, 0.0))), 3);
  analysis->Settings.Constrained = true;
  analysis->Matrix.Depth[1] = 2.0;
  analysis->Matrix.Depth[2] = 2.5;
  analysis->Matrix.Depth[3] = 4.0;
  // Positions left over from an earlier layout must be recomputed, not kept.
  analysis->TreeRoot->Position = 99;
  analysis->TreeRoot->Child2->Position = 99;

  RecordingSurface screen = Screen();
  TreeDiagram diagram;
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);
  const ClusterNode& root = *analysis->TreeRoot;
  EXPECT_EQ(diagram.Transform().DepthExtent, 2.0);
  EXPECT_EQ(diagram.Transform().YFactor, (689.0 - 20 - 39) / 2);
  EXPECT_EQ(root.Child2->Child2->Position.ToExtended(), 0.0);
  EXPECT_EQ(root.Child2->Child1->Position.ToExtended(), 0.5);
  EXPECT_EQ(root.Child1->Position.ToExtended(), 2.0);
  EXPECT_EQ(root.Child2->Position.ToExtended(), 0.25);
  EXPECT_EQ(root.Position.ToExtended(), 1.125);
}

struct DegenerateCase {
  const char* Name;
  int Objects;
  double TopLevel;
  bool Constrained;
  bool ScaleFixed;
  double ScaleMm;
  double ExpectedDistanceExtent, ExpectedDepthExtent;
};

class Degenerate : public ::testing::TestWithParam<DegenerateCase> {};

TEST_P(Degenerate, DrawsWithoutDividingByZero) {
  const DegenerateCase& c = GetParam();
  auto tree = c.Objects == 1 ? Leaf(1) : Chain(c.Objects, c.TopLevel);
  auto analysis = MakeAnalysis(std::move(tree), c.Objects, 3);
  analysis->Settings.Constrained = c.Constrained;
  for (int k = 1; k <= c.Objects; ++k) analysis->Matrix.Depth[k] = 7.5;  // all at one depth
  RecordingSurface screen = Screen();
  TreeDiagram diagram;
  diagram.Scale.ScaleFixed = c.ScaleFixed;
  diagram.Scale.HscaleMm = diagram.Scale.VscaleMm = c.ScaleMm;
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, screen, screen);

  const PageTransform& t = diagram.Transform();
  EXPECT_EQ(t.DistanceExtent, c.ExpectedDistanceExtent);
  EXPECT_EQ(t.DepthExtent, c.ExpectedDepthExtent);
  for (double v : {t.XFactor, t.YFactor, t.LabelWidth, t.HeaderHeight, t.LineHeight})
    EXPECT_TRUE(std::isfinite(v));
  EXPECT_GT(t.XFactor, 0);
  EXPECT_GT(t.YFactor, 0);
  // The header and every label are written.
  EXPECT_EQ(screen.CallsOf(RecordedCall::Kind::Text).size(), static_cast<std::size_t>(c.Objects) + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Divisors, Degenerate,
    ::testing::Values(DegenerateCase{"IdenticalObjects", 3, 0.0, false, false, 0, 1, 3},
                      DegenerateCase{"SingleObject", 1, 0.0, false, false, 0, 1, 1},
                      DegenerateCase{"SingleObjectConstrained", 1, 0.0, true, false, 0, 1, 1},
                      DegenerateCase{"EqualDepths", 3, 2.0, true, false, 0, 2, 1},
                      DegenerateCase{"ZeroScale", 3, 2.0, false, true, 0, 2, 3},
                      DegenerateCase{"NegativeScale", 3, 2.0, false, true, -4, 2, 3}),
    [](const auto& info) { return std::string(info.param.Name); });

struct FormatCase {
  double Value;
  const char* Expected;
};

TEST(Layout, ScaleFieldFormat) {
  const FormatCase cases[] = {
      {13.890625, " 13.8906"},     {40.81197916666667, " 40.8120"}, {0, "  0.0000"},
      {123456.5, "123456.5000"},   {-2.5, " -2.5000"},              {0.00005, "  0.0001"},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(FormatScaleField(c.Value), c.Expected) << c.Value;
}

}  // namespace
}  // namespace vardell
