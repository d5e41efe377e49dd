#pragma once
// Trees, analyses, files and call listings for the diagram tests.

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/analysisdata.h"
#include "diagram/recordingsurface.h"

namespace vardell::testing {

inline std::unique_ptr<ClusterNode> Leaf(int object, double position = 0) {
  auto leaf = std::make_unique<ClusterNode>();
  leaf->FirstObject = object;
  leaf->Position = position;
  return leaf;
}

inline std::unique_ptr<ClusterNode> Fuse(double level, std::unique_ptr<ClusterNode> child1,
                                         std::unique_ptr<ClusterNode> child2) {
  auto node = std::make_unique<ClusterNode>();
  node->Size = child1->Size + child2->Size;
  node->FirstObject = std::min(child1->FirstObject, child2->FirstObject);
  node->Level = level;
  node->Child1 = std::move(child1);
  node->Child2 = std::move(child2);
  return node;
}

// Object k (from 2) joins the cluster of 1..k-1 at level (k - 1) * topLevel / (n - 1), as Child1.
inline std::unique_ptr<ClusterNode> Chain(int n, double topLevel) {
  std::unique_ptr<ClusterNode> tree = Leaf(1);
  for (int k = 2; k <= n; ++k) tree = Fuse((k - 1) * topLevel / (n - 1), Leaf(k), std::move(tree));
  return tree;
}

// Object k is labelled labels[k-1], or "O<k>" past the end, at depth k - 1; MaxLabelLength is
// the longest label's length unless given.
inline std::unique_ptr<Analysis> MakeAnalysis(std::unique_ptr<ClusterNode> root, int objectCount,
                                              int maxLabelLength = -1,
                                              std::vector<std::string> labels = {}) {
  auto analysis = std::make_unique<Analysis>();
  DataMatrix& m = analysis->Matrix;
  m.ObjectCount = objectCount;
  for (int k = 1; k <= objectCount; ++k) {
    m.Labels[k] = k <= static_cast<int>(labels.size()) ? labels[k - 1] : "O" + std::to_string(k);
    m.MaxLabelLength = std::max(m.MaxLabelLength, static_cast<int>(m.Labels[k].size()));
    m.Depth[k] = k - 1;
  }
  if (maxLabelLength >= 0) m.MaxLabelLength = maxLabelLength;
  analysis->TreeRoot = std::move(root);
  return analysis;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

// One line per call, so that a mismatch shows where two drawings part.
inline std::string Describe(const std::vector<RecordedCall>& calls) {
  static const char* const names[] = {"Move", "Line", "Text", "Rect"};
  std::string all;
  for (const RecordedCall& c : calls)
    all += std::string(names[static_cast<int>(c.Op)]) + " " + std::to_string(c.X1) + "," +
           std::to_string(c.Y1) + " " + std::to_string(c.X2) + "," + std::to_string(c.Y2) + " " +
           c.Text + "\n";
  return all;
}

}  // namespace vardell::testing
