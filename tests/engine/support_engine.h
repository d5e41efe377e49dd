#pragma once
// Helpers shared by the engine tests: filling the analysis tables from plain numbers and
// reading a tree back as text and numbers.

#include <memory>
#include <string>
#include <vector>

#include "analysis/analysisdata.h"

namespace vardell::testing {

inline long double R(long double v) { return RoundToStorage(v); }

// The analysis tables are large; keep them off the stack.
inline std::unique_ptr<Analysis> MakeAnalysis(std::uint8_t strategy, std::uint8_t coefficient,
                                              bool constrained) {
  auto analysis = std::make_unique<Analysis>();
  analysis->Settings.Strategy = strategy;
  analysis->Settings.Coefficient = coefficient;
  analysis->Settings.Constrained = constrained;
  return analysis;
}

// Rows of values (objects 1..n); the chord offsets are each variable's minimum, at most 0.
inline void FillMatrix(DataMatrix& matrix, const std::vector<std::vector<long double>>& rows) {
  matrix.ObjectCount = static_cast<int>(rows.size());
  matrix.VariableCount = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  for (int k = 1; k <= matrix.VariableCount; ++k) matrix.ChordOffset[k] = 0.0L;
  for (int i = 1; i <= matrix.ObjectCount; ++i) {
    for (int k = 1; k <= matrix.VariableCount; ++k) {
      matrix.Values[i][k] = rows[i - 1][k - 1];
      if (matrix.Values[i][k] < matrix.ChordOffset[k]) matrix.ChordOffset[k] = matrix.Values[i][k];
    }
  }
}

// The upper triangle in row order: D12, D13, ..., D1n, D23, ...
inline void FillUpperTriangle(DissimilarityMatrix& d, int n, const std::vector<long double>& upper) {
  size_t next = 0;
  for (int a = 1; a < n; ++a)
    for (int b = a + 1; b <= n; ++b) d.D[a][b] = upper.at(next++);
}

// "(child1 child2)" for a fused node, the object number for a leaf.
inline std::string Shape(const ClusterNode& node) {
  if (node.IsLeaf()) return std::to_string(node.FirstObject);
  return "(" + Shape(*node.Child1) + " " + Shape(*node.Child2) + ")";
}

// Levels of the fused nodes in pre-order (node, Child1's subtree, Child2's subtree).
inline void CollectLevels(const ClusterNode& node, std::vector<long double>& levels) {
  if (node.IsLeaf()) return;
  levels.push_back(node.Level);
  CollectLevels(*node.Child1, levels);
  CollectLevels(*node.Child2, levels);
}

inline void CollectPositions(const ClusterNode& node, std::vector<long double>& positions) {
  positions.push_back(node.Position);
  if (node.IsLeaf()) return;
  CollectPositions(*node.Child1, positions);
  CollectPositions(*node.Child2, positions);
}

// One fusion as the tree records it: cluster j fused into cluster i at level.
struct TreeFusion {
  int I = 0;
  int J = 0;
  long double Level = 0;
};

// Indexed by the fusion's step (1..n-1), the order in which the fusions happened.
inline void CollectFusions(const ClusterNode& node, std::vector<TreeFusion>& byStep) {
  if (node.IsLeaf()) return;
  const int a = node.Child1->FirstObject, b = node.Child2->FirstObject;
  byStep.at(node.Step) = TreeFusion{a < b ? a : b, a < b ? b : a, node.Level};
  CollectFusions(*node.Child1, byStep);
  CollectFusions(*node.Child2, byStep);
}

}  // namespace vardell::testing
