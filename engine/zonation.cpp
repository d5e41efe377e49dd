#include "engine/zonation.h"

#include <algorithm>
#include <stdexcept>

namespace vardell {
namespace {

void CollectFusions(const ClusterNode* node, std::vector<const ClusterNode*>& byStep) {
  if (!node || node->IsLeaf()) return;
  if (node->Step >= 1 && node->Step < static_cast<int>(byStep.size())) byStep[node->Step] = node;
  CollectFusions(node->Child1.get(), byStep);
  CollectFusions(node->Child2.get(), byStep);
}

// The leaves below node in the diagram's order: Child2's subtree above Child1's.
void CollectLeaves(const ClusterNode* node, std::vector<int>& objects) {
  if (!node) return;
  if (node->IsLeaf()) {
    objects.push_back(node->FirstObject);
    return;
  }
  CollectLeaves(node->Child2.get(), objects);
  CollectLeaves(node->Child1.get(), objects);
}

// A fusion's children are made before it, so the fusions undone are a top part of the tree
// around the root, and the subtrees hanging below it are the groups.
void CollectGroups(const ClusterNode* node, int lastKeptStep, std::vector<Group>& groups) {
  if (!node) return;
  if (node->IsLeaf() || node->Step <= lastKeptStep) {
    groups.emplace_back();
    CollectLeaves(node, groups.back().Objects);
    return;
  }
  CollectGroups(node->Child2.get(), lastKeptStep, groups);
  CollectGroups(node->Child1.get(), lastKeptStep, groups);
}

// (a + b) / 2 in the extended format, as a double.
double HalfSum(double a, double b) {
  return Multiply(Add(Extended::FromDouble(a), Extended::FromDouble(b)), Extended::FromDouble(0.5))
      .ToDouble();
}

std::optional<double> CutLevelOf(const std::vector<const ClusterNode*>& byStep, int lastKeptStep) {
  std::optional<double> highestKept, lowestUndone;
  for (std::size_t s = 1; s < byStep.size(); ++s) {
    if (!byStep[s]) continue;
    const double level = byStep[s]->Level.ToDouble();
    if (static_cast<int>(s) <= lastKeptStep)
      highestKept = highestKept ? std::max(*highestKept, level) : level;
    else
      lowestUndone = lowestUndone ? std::min(*lowestUndone, level) : level;
  }
  if (!lowestUndone) return std::nullopt;            // nothing undone
  const double kept = highestKept.value_or(0.0);     // the leaves when nothing is kept
  if (!(kept < *lowestUndone)) return std::nullopt;  // reversed levels (or not a number)
  return HalfSum(kept, *lowestUndone);
}

Extended LevelAt(const std::vector<const ClusterNode*>& byStep, int step) {
  return step >= 1 && byStep[step] ? byStep[step]->Level.ToExtended() : Extended{};
}

}  // namespace

std::vector<const ClusterNode*> FusionsByStep(const ClusterNode* root, int objectCount) {
  std::vector<const ClusterNode*> byStep(std::max(objectCount, 1), nullptr);
  CollectFusions(root, byStep);
  return byStep;
}

TreeCut CutTree(const ClusterNode* root, int objectCount, int k, bool constrained) {
  if (!root || objectCount < 1 || k < 1 || k > objectCount)
    throw std::invalid_argument(
        "The number of groups must lie between 1 and the number of objects");
  const int lastKeptStep = objectCount - k;
  TreeCut cut;
  CollectGroups(root, lastKeptStep, cut.Groups);
  if (constrained) {
    // Each zone is a run of neighbours in depth order; the shallowest comes first.
    for (Group& group : cut.Groups) std::sort(group.Objects.begin(), group.Objects.end());
    std::sort(cut.Groups.begin(), cut.Groups.end(),
              [](const Group& a, const Group& b) { return a.Objects.front() < b.Objects.front(); });
  }
  cut.CutLevel = CutLevelOf(FusionsByStep(root, objectCount), lastKeptStep);
  return cut;
}

std::vector<int> GroupOfObjects(const TreeCut& cut, int objectCount) {
  std::vector<int> groupOf(std::max(objectCount, 0) + 1, 0);
  for (std::size_t g = 0; g < cut.Groups.size(); ++g)
    for (int object : cut.Groups[g].Objects)
      if (object >= 1 && object <= objectCount) groupOf[object] = static_cast<int>(g) + 1;
  return groupOf;
}

std::vector<Zone> ZonesOf(const TreeCut& cut, const DataMatrix& matrix) {
  std::vector<Zone> zones;
  for (const Group& group : cut.Groups) {
    Zone zone;
    const auto [first, last] = std::minmax_element(group.Objects.begin(), group.Objects.end());
    zone.FirstObject = *first;
    zone.LastObject = *last;
    zone.Samples = static_cast<int>(group.Objects.size());
    zone.TopDepth = matrix.Depth[zone.FirstObject].ToDouble();
    zone.BottomDepth = matrix.Depth[zone.LastObject].ToDouble();
    if (!zones.empty())
      zones.back().BoundaryBelow = HalfSum(zones.back().BottomDepth, zone.TopDepth);
    zones.push_back(zone);
  }
  return zones;
}

// Only a constrained run of a dispersion strategy draws the running total of dispersion.
bool BrokenStickApplies(const AnalysisSettings& settings) {
  const StrategyMethod* method = FindStrategy(settings.Strategy);
  return settings.Constrained && method && method->Level == FusionLevelRule::Dispersion;
}

BrokenStick BrokenStickTable(const ClusterNode* root, int objectCount) {
  BrokenStick table;
  const int m = objectCount - 1;  // fusions
  if (m < 2) return table;
  const std::vector<const ClusterNode*> byStep = FusionsByStep(root, objectCount);
  // In the extended format; the table keeps doubles, the suggestion compares the former.
  const Extended total = LevelAt(byStep, m);
  // tail[g] = 1/(g-1) + 1/g + ... + 1/m, summed from the small end.
  std::vector<Extended> tail(m + 3);
  for (int g = m + 1; g >= 2; --g)
    tail[g] = Add(tail[g + 1], Divide(Extended::FromInteger(1), Extended::FromInteger(g - 1)));
  bool beaten = true;
  for (int g = 2; g <= m; ++g) {
    const Extended reduction = Subtract(LevelAt(byStep, m - g + 2), LevelAt(byStep, m - g + 1));
    const Extended expected = Multiply(Divide(total, Extended::FromInteger(m)), tail[g]);
    table.Rows.push_back({g, reduction.ToDouble(), expected.ToDouble()});
    beaten =
        beaten && !reduction.NotANumber && !expected.NotANumber && Compare(reduction, expected) > 0;
    if (beaten) table.Suggestion = g;
  }
  return table;
}

}  // namespace vardell
