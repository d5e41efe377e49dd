// The cut drawn over the tree diagram on the recording surface: the dashed line at the cut
// level, the zone boundaries and numbers of a constrained run, and nothing else changed.

#include <gtest/gtest.h>

#include "diagram/treediagram.h"
#include "diagram/zonecut.h"
#include "support_diagram.h"

namespace vardell {
namespace {

using namespace vardell::testing;
using Kind = RecordedCall::Kind;

// Samples at depths 10, 11, 12, 14 and 20, fused (10 11), (14 20), (10 11 12), all at levels
// 1, 2, 4 and 9; shallower clusters are Child2 as a constrained run makes them.
std::unique_ptr<Analysis> FiveSamples() {
  const double depths[] = {10, 11, 12, 14, 20};
  auto leaf = [&](int o) { return Leaf(o, depths[o - 1] - 10); };
  auto root = Fuse(9, Fuse(2, leaf(5), leaf(4)), Fuse(4, leaf(3), Fuse(1, leaf(2), leaf(1))));
  int step = 4;
  for (ClusterNode* node :
       {root.get(), root->Child2.get(), root->Child1.get(), root->Child2->Child1.get()})
    node->Step = step--;  // the fusions by number: (10 11), (14 20), (10 11 12), all
  auto analysis = MakeAnalysis(std::move(root), 5, 2, {"10", "11", "12", "14", "20"});
  for (int o = 1; o <= 5; ++o) analysis->Matrix.Depth[o] = depths[o - 1];
  analysis->Settings.Constrained = true;
  return analysis;
}

// Drawn at 100 device units per world unit (0.1 mm units at 10 mm per unit), labels 20 wide
// and text 10 high: the tree starts at device (30, 30), a depth unit down is 100 further.
std::vector<RecordedCall> Draw(Analysis& analysis, std::optional<int> groups,
                               double vscaleMm = 10) {
  RecordingSurface surface(2000, 2000, 254, 10, 10);
  TreeDiagram diagram;
  diagram.Scale = DrawingScale{vscaleMm, 10, 1, true, 0, 0, 10};
  diagram.CutGroups = groups;
  diagram.RedrawDiagram(analysis, OutputTarget::Screen, surface);
  return surface.Calls();
}

// The calls a cut adds after the plain drawing, which they must leave as it was.
std::vector<RecordedCall> CutCalls(Analysis& analysis, std::optional<int> groups,
                                   double vscaleMm = 10) {
  const std::vector<RecordedCall> plain = Draw(analysis, std::nullopt, vscaleMm);
  const std::vector<RecordedCall> cut = Draw(analysis, groups, vscaleMm);
  EXPECT_GE(cut.size(), plain.size());
  const std::vector<RecordedCall> before(cut.begin(),
                                         cut.begin() + std::min(cut.size(), plain.size()));
  EXPECT_EQ(Describe(before), Describe(plain));
  return {cut.begin() + static_cast<long>(before.size()), cut.end()};
}

// The dashed vertical lines among calls: their x and the first and last y they cover.
struct Dashes {
  int Count = 0, X = -1, Top = 0, Bottom = 0, Longest = 0;
};

Dashes DashesOf(const std::vector<RecordedCall>& calls) {
  Dashes d;
  for (const RecordedCall& c : calls) {
    if (c.Op != Kind::Line || c.X1 != c.X2) continue;
    if (d.Count++ == 0) d.X = c.X1, d.Top = c.Y1;
    EXPECT_EQ(c.X1, d.X);
    d.Longest = std::max(d.Longest, c.Y2 - c.Y1);
    d.Bottom = c.Y2;
  }
  return d;
}

// The calls that are not dashes, one a line.
std::string OthersOf(const std::vector<RecordedCall>& calls) {
  std::vector<RecordedCall> others;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const bool dashLine = calls[i].Op == Kind::Line && calls[i].X1 == calls[i].X2;
    const bool dashMove = i + 1 < calls.size() && calls[i].Op == Kind::Move &&
                          calls[i + 1].Op == Kind::Line && calls[i + 1].X1 == calls[i + 1].X2;
    if (!dashLine && !dashMove) others.push_back(calls[i]);
  }
  return Describe(others);
}

TEST(DrawCut, ZonesOfAConstrainedRun) {
  auto analysis = FiveSamples();
  const struct {
    int Groups;
    Dashes Line;
    std::string Others;
  } cases[] = {
      // Cut at 6.5, midway between levels 4 and 9, from the top of the first label (25) to
      // the bottom of the last (1035) in dashes of 5 and gaps of 3.3; the boundary at depth
      // 13; the numbers right-aligned a space short of the root's level at x 930.
      {2,
       {122, 680, 25, 1035},
       "Move 910,25 0,0 \nText 910,25 0,0 1\n"
       "Move 10,330 0,0 \nLine 10,330 930,330 \nMove 910,330 0,0 \nText 910,330 0,0 2\n"},
      {3,
       {122, 330, 25, 1035},
       "Move 910,25 0,0 \nText 910,25 0,0 1\n"
       "Move 10,180 0,0 \nLine 10,180 930,180 \nMove 910,180 0,0 \nText 910,180 0,0 2\n"
       "Move 10,330 0,0 \nLine 10,330 930,330 \nMove 910,330 0,0 \nText 910,330 0,0 3\n"},
      // One zone: nothing undone, no line, just the number.
      {1, {}, "Move 910,25 0,0 \nText 910,25 0,0 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Groups);
    const std::vector<RecordedCall> calls = CutCalls(*analysis, c.Groups);
    const Dashes d = DashesOf(calls);
    EXPECT_EQ(d.Count, c.Line.Count);
    if (c.Line.Count) {
      EXPECT_EQ(d.X, c.Line.X);
      EXPECT_EQ(d.Top, c.Line.Top);
      EXPECT_EQ(d.Bottom, c.Line.Bottom);
      EXPECT_EQ(d.Longest, 5);  // half a text line
    }
    EXPECT_EQ(OthersOf(calls), c.Others);
  }
}

TEST(DrawCut, OrdinaryRunsDrawOnlyTheLine) {
  // Objects drawn 2, 1, 3 from the top; the second fusion lies below the first in the
  // reversed tree, so its cut into two has no line.
  auto tree = [](double secondLevel) {
    auto root = Fuse(secondLevel, Leaf(3), Fuse(3, Leaf(1), Leaf(2)));
    root->Step = 2;
    root->Child2->Step = 1;
    return MakeAnalysis(std::move(root), 3, 2);
  };
  auto ordinary = tree(5), reversed = tree(2);
  EXPECT_EQ(DashesOf(CutCalls(*ordinary, 2)).X, 30 + 400);  // level 4
  EXPECT_EQ(DashesOf(CutCalls(*ordinary, 3)).X, 30 + 150);  // level 1.5
  EXPECT_EQ(OthersOf(CutCalls(*ordinary, 2)), "");
  EXPECT_TRUE(CutCalls(*reversed, 2).empty());
  EXPECT_EQ(DashesOf(CutCalls(*reversed, 3)).X, 30 + 100);  // below the lowest level, 2
  for (int outside : {0, 4}) EXPECT_TRUE(CutCalls(*ordinary, outside).empty()) << outside;
}

TEST(DrawCut, DashesAreBoundedOnATallDrawing) {
  auto analysis = FiveSamples();
  // A kilometre per depth unit: ten million device units per unit.
  const Dashes d = DashesOf(CutCalls(*analysis, 2, 1e6));
  EXPECT_LE(d.Count, MaxDashes);
  EXPECT_GT(d.Count, MaxDashes / 2);
}

}  // namespace
}  // namespace vardell
