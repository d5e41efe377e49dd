#pragma once
// Helpers shared by the engine tests: filling the analysis tables from plain numbers and
// reading a tree back as text and numbers.

#include <memory>
#include <string>
#include <vector>

#include "analysis/analysisdata.h"
#include "analysis/workingstate.h"

namespace vardell::testing {

inline double R(double v) { return RoundToStorage(v); }

// A small fixed generator, so that the data do not depend on the standard library.
inline std::uint64_t NextRandom(std::uint64_t& state) {
  return state = state * 6364136223846793005ULL + 1442695040888963407ULL;
}

// The analysis tables are large; keep them off the stack.
inline std::unique_ptr<Analysis> MakeAnalysis(StrategyCode strategy, CoefficientCode coefficient,
                                              bool constrained) {
  auto analysis = std::make_unique<Analysis>();
  analysis->Settings.Strategy = strategy;
  analysis->Settings.Coefficient = coefficient;
  analysis->Settings.Constrained = constrained;
  return analysis;
}

// A run's scratch tables, for one call of an engine step; large, so off the stack.
inline std::unique_ptr<WorkingState> NewWorkingState() { return std::make_unique<WorkingState>(); }

// Rows of values (objects 1..n); the chord offsets are each variable's minimum, at most 0.
inline void FillMatrix(DataMatrix& matrix, const std::vector<std::vector<double>>& rows) {
  matrix.ObjectCount = static_cast<int>(rows.size());
  matrix.VariableCount = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  for (int k = 1; k <= matrix.VariableCount; ++k) matrix.ChordOffset[k] = 0.0;
  for (int i = 1; i <= matrix.ObjectCount; ++i) {
    for (int k = 1; k <= matrix.VariableCount; ++k) {
      matrix.Values[i][k] = rows[i - 1][k - 1];
      if (matrix.Values[i][k].ToDouble() < matrix.ChordOffset[k].ToDouble())
        matrix.ChordOffset[k] = matrix.Values[i][k];
    }
  }
}

// Objects at the given depths, D given as its upper triangle in row order: D12, D13, ..., D1n,
// D23, ...
inline std::unique_ptr<Analysis> MakeTreeRun(StrategyCode strategy, bool constrained,
                                             const std::vector<double>& depths,
                                             const std::vector<double>& upper) {
  auto run = MakeAnalysis(strategy, CoefficientCode::Euclidean, constrained);
  const int n = static_cast<int>(depths.size());
  run->Matrix.ObjectCount = n;
  for (int o = 1; o <= n; ++o) run->Matrix.Depth[o] = depths[o - 1];
  size_t next = 0;
  for (int a = 1; a < n; ++a)
    for (int b = a + 1; b <= n; ++b) run->Dissimilarity.D[a][b] = upper.at(next++);
  return run;
}

// "(child1 child2)" for a fused node, the object number for a leaf.
inline std::string Shape(const ClusterNode& node) {
  if (node.IsLeaf()) return std::to_string(node.FirstObject);
  return "(" + Shape(*node.Child1) + " " + Shape(*node.Child2) + ")";
}

// In pre-order (node, Child1's subtree, Child2's subtree): the fused nodes' levels and every
// node's position.
inline void Collect(const ClusterNode& node, std::vector<double>& levels,
                    std::vector<double>& positions) {
  positions.push_back(node.Position.ToDouble());
  if (node.IsLeaf()) return;
  levels.push_back(node.Level.ToDouble());
  Collect(*node.Child1, levels, positions);
  Collect(*node.Child2, levels, positions);
}

}  // namespace vardell::testing
