#pragma once
// Zonation: cutting the fusion tree into k groups (in a constrained run, zones of neighbouring
// samples), the boundaries between zones, each object's group, and the broken-stick model that
// suggests how many zones a constrained minimum-variance run supports.

#include <optional>
#include <vector>

#include "analysis/analysisdata.h"

namespace vardell {

// The fused nodes by fusion number: [s] is the node made by fusion s (1..n-1); [0] is null.
// A tree without fusions gives just the null entry.
std::vector<const ClusterNode*> FusionsByStep(const ClusterNode* root, int objectCount);

struct Group {
  std::vector<int> Objects;  // object numbers in the diagram's order from the top
};

struct TreeCut {
  // Groups numbered 1..k as Groups[0..k-1]: in a constrained run from the shallowest down,
  // otherwise in the order in which their first leaf appears in the diagram from the top.
  std::vector<Group> Groups;
  // The level midway between the highest level kept and the lowest undone (the leaves, at 0,
  // count as kept when every fusion is undone); none when nothing is undone or the levels
  // reverse so that the highest kept is not below the lowest undone.
  std::optional<double> CutLevel;
};

// Undoes the last k - 1 fusions by fusion number; the k subtrees left are the groups. Throws
// std::invalid_argument unless 1 <= k <= objectCount.
TreeCut CutTree(const ClusterNode* root, int objectCount, int k, bool constrained);

// The group number (1..k) of every object, indexed by object number; [0] is unused.
std::vector<int> GroupOfObjects(const TreeCut& cut, int objectCount);

struct Zone {
  int FirstObject = 0;  // shallowest object (objects are numbered in depth order)
  int LastObject = 0;   // deepest object
  int Samples = 0;
  double TopDepth = 0;
  double BottomDepth = 0;
  // Midway between this zone's deepest depth and the next zone's shallowest; none for the
  // last zone.
  std::optional<double> BoundaryBelow;
};

// The zones of a constrained run's cut, numbered 1..k as [0..k-1].
std::vector<Zone> ZonesOf(const TreeCut& cut, const DataMatrix& matrix);

// The broken stick needs levels that are the running total of dispersion.
bool BrokenStickApplies(const AnalysisSettings& settings);

struct BrokenStickRow {
  int Groups = 0;        // g
  double Reduction = 0;  // R_g: the dispersion removed by going from g - 1 to g groups
  double Expected = 0;   // E_g: its broken-stick expectation
};

struct BrokenStick {
  std::vector<BrokenStickRow> Rows;  // g = 2..n-1
  // The largest g whose reduction and every smaller one's beat the expectation; 1 when the
  // first does not (and for fewer than three objects, which have no rows).
  int Suggestion = 1;
};

// The table of a constrained minimum-variance run's tree of objectCount objects.
BrokenStick BrokenStickTable(const ClusterNode* root, int objectCount);

}  // namespace vardell
