#include "support_trees.h"

#include <algorithm>

namespace vardell::testing {

std::unique_ptr<ClusterNode> Leaf(int object, double position) {
  auto leaf = std::make_unique<ClusterNode>();
  leaf->FirstObject = object;
  leaf->Position = position;
  return leaf;
}

std::unique_ptr<ClusterNode> Fuse(double level, std::unique_ptr<ClusterNode> child1,
                                  std::unique_ptr<ClusterNode> child2) {
  auto node = std::make_unique<ClusterNode>();
  node->Size = child1->Size + child2->Size;
  node->FirstObject = std::min(child1->FirstObject, child2->FirstObject);
  node->Level = level;
  node->Child1 = std::move(child1);
  node->Child2 = std::move(child2);
  return node;
}

std::unique_ptr<ClusterNode> Chain(int n, double topLevel) {
  std::unique_ptr<ClusterNode> tree = Leaf(1);
  for (int k = 2; k <= n; ++k)
    tree = Fuse((k - 1) * topLevel / (n - 1), Leaf(k), std::move(tree));
  return tree;
}

std::unique_ptr<Analysis> MakeAnalysis(std::unique_ptr<ClusterNode> root, int objectCount,
                                       int maxLabelLength, std::vector<std::string> labels) {
  auto analysis = std::make_unique<Analysis>();
  DataMatrix& m = analysis->Matrix;
  m.ObjectCount = objectCount;
  int longest = 0;
  for (int k = 1; k <= objectCount; ++k) {
    m.Labels[k] = k <= static_cast<int>(labels.size()) ? labels[k - 1] : "O" + std::to_string(k);
    longest = std::max(longest, static_cast<int>(m.Labels[k].size()));
    m.Depth[k] = k - 1;
  }
  m.MaxLabelLength = maxLabelLength < 0 ? longest : maxLabelLength;
  analysis->TreeRoot = std::move(root);
  return analysis;
}

}  // namespace vardell::testing
