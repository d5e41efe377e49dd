// The whole tree stays on the picture: reversed levels, long identifiers, trees of no height,
// huge tick sizes in the header, and the automatic tick of the command-line tool.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "diagram/drawing.h"
#include "diagram/layout.h"
#include "diagram/treediagram.h"
#include "support_diagram.h"

namespace vardell {
namespace {

using namespace vardell::testing;
using Kind = RecordedCall::Kind;

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

const std::string Ellipsis = "\xE2\x80\xA6";
const std::string Long = Repeat("ABCDEFGHIJ", 8);  // 80 characters, 560 units on the screen
const std::string Nordic = Repeat(
    "\xC3\x85"
    "by",
    40);  // "Åby" 40 times: 80 characters

// A fitted drawing on each target: the screen (665 x 689, "M" 7 wide), a printer page and the
// metafile frame; the label column may take a third of what labels and tree have together.
TEST(PictureBounds, TreeLabelsAndAxisStayOnEverySurface) {
  using Tree = std::unique_ptr<ClusterNode> (*)();
  const struct {
    const char* Name;
    Tree MakeTree;
    std::vector<std::string> Labels;
    double DistanceExtent;
    std::vector<std::string> DrawnLabels;  // in drawing order, on the screen
  } cases[] = {
      // {1,2} fuses at 3 above the root's level 2 (centroid sorting can do this)
      {"reversal",
       [] { return Fuse(2, Leaf(3), Fuse(3, Leaf(1), Leaf(2))); },
       {"A", "B", "C"},
       3,
       {"C", "B", "A"}},
      {"no reversal", [] { return Chain(3, 2.0); }, {"A", "B", "C"}, 2, {"C", "A", "B"}},
      {"every level 0", [] { return Chain(3, 0.0); }, {"A", "B", "C"}, 0, {"C", "A", "B"}},
      // 645 / 3 = 215 units: 27 letters of 7 and an ellipsis of 3 bytes
      {"long identifiers",
       [] { return Chain(3, 2.0); },
       {Long, "B", Long.substr(0, 30)},
       2,
       {Long.substr(0, 30), Long.substr(0, 27) + Ellipsis, "B"}},
      // a cut never splits a letter: "Åby" is 4 bytes, so 9 of them (36 bytes) and the ellipsis
      {"non-ASCII identifiers",
       [] { return Fuse(1, Leaf(1), Leaf(2)); },
       {Nordic, "B"},
       1,
       {"B", Repeat("\xC3\x85"
                    "by",
                    6) +
                 "\xC3\x85"
                 "b" +
                 Ellipsis}},
  };
  const struct {
    OutputTarget Target;
    int Width, Height, CharWidth, TextHeight, Margin;
  } targets[] = {{OutputTarget::Screen, 665, 689, 7, 13, 10},
                 {OutputTarget::Printer, 2480, 3508, 30, 42, 10},
                 {OutputTarget::Metafile, 1000, 1000, 7, 13, 0}};
  for (const auto& c : cases) {
    for (const auto& target : targets) {
      SCOPED_TRACE(std::string(c.Name) + " on target " + std::to_string(int(target.Target)));
      auto analysis = MakeAnalysis(c.MakeTree(), static_cast<int>(c.Labels.size()), -1, c.Labels);
      RecordingSurface surface(target.Width, target.Height, 96, target.CharWidth,
                               target.TextHeight);
      TreeDiagram diagram;
      diagram.RedrawDiagram(*analysis, target.Target, surface);
      const PageTransform& t = diagram.Transform();
      EXPECT_EQ(t.DistanceExtent, c.DistanceExtent);

      const double labelRoom = (target.Width - 2 * target.Margin) / 3.0;
      EXPECT_LE(t.LabelWidth * t.XFactor, labelRoom + 1e-9);
      std::vector<RecordedCall> lines = surface.CallsOf(Kind::Line);
      const RecordedCall axis = lines.front();
      int right = 0;
      for (const RecordedCall& line : lines) {
        EXPECT_GE(std::min(line.X1, line.X2), target.Margin);
        right = std::max({right, line.X1, line.X2});
      }
      EXPECT_LE(right, target.Width - target.Margin);
      EXPECT_EQ(axis.X2, right);  // the axis runs to the largest level
      const int ticks = static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](auto& l) {
        return l.X1 == l.X2 && l.Y1 == axis.Y1 && l.Y2 < l.Y1;
      }));
      EXPECT_EQ(ticks, 1);  // the tick of 10 is longer than every axis here

      if (target.Target != OutputTarget::Screen) continue;
      std::vector<std::string> labels;
      std::vector<RecordedCall> texts = surface.CallsOf(Kind::Text);
      for (std::size_t i = 1; i < texts.size(); ++i) {
        labels.push_back(texts[i].Text);
        EXPECT_LE(surface.TextWidth(texts[i].Text), labelRoom);
      }
      EXPECT_EQ(labels, c.DrawnLabels);
    }
  }
}

// A tree of no height has an axis of no length: its one tick at distance 0 is all that shows.
TEST(PictureBounds, AxisOfATreeOfNoHeight) {
  auto analysis = MakeAnalysis(Chain(3, 0.0), 3, 2, {"A1", "B2", "C3"});
  RecordingSurface surface(2000, 2000, 254, 10, 10);
  TreeDiagram diagram;
  diagram.Scale = DrawingScale{10, 10, 1, true, 0, 0, 10};
  diagram.RedrawDiagram(*analysis, OutputTarget::Screen, surface);
  std::vector<RecordedCall> lines = surface.CallsOf(Kind::Line);
  EXPECT_EQ(Describe({lines[0], lines[1]}), "Line 30,25 30,25 \nLine 30,25 30,20 \n");
  EXPECT_NE(lines[2].Y1, 25);  // the branches follow at once
}

TEST(Header, TickSizesTooLongForFixedPointTakeAnExponent) {
  const struct {
    double Tick;
    const char* Text;
  } cases[] = {
      {10, "   1 tick =    10.0000 distance units"},
      {999999999999999.0, "   1 tick = 999999999999999.0000 distance units"},  // 15 digits
      {1e15, "   1 tick = 1.0000e+15 distance units"},
      {1e300, "   1 tick = 1.0000e+300 distance units"},
      {-2.5e20, "   1 tick = -2.5000e+20 distance units"},
  };
  for (const auto& c : cases) EXPECT_EQ(TickText(c.Tick), c.Text) << c.Tick;
}

// 1, 2 or 5 x 10^k, the smallest that gives at most 10 ticks, which is then at least 4.
TEST(AutomaticTick, FourToTenTicksFromTheSeries) {
  const struct {
    double Extent, Tick;
  } cases[] = {{10, 2},        {7, 1},          {9.99, 1}, {3, 0.5}, {100, 20},
               {0.035, 0.005}, {8.6591e7, 1e7}, {0, 1},    {-1, 1}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(AutomaticTickUnits(c.Extent), c.Tick) << c.Extent;
  for (double extent = 1e-30; extent < 1e38; extent *= 1.37) {
    const double tick = AutomaticTickUnits(extent);
    const double ticks = std::trunc(extent / tick) + 1;
    EXPECT_TRUE(ticks >= 4 && ticks <= 10) << extent << " " << tick;
    const double mantissa = tick / std::pow(10.0, std::floor(std::log10(tick) + 1e-9));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                std::abs(mantissa - 5) < 1e-9)
        << tick;
  }
}

}  // namespace
}  // namespace vardell
