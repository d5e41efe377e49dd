#include "support_diagram.h"

#include <algorithm>
#include <stdexcept>

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
  for (int k = 2; k <= n; ++k) tree = Fuse((k - 1) * topLevel / (n - 1), Leaf(k), std::move(tree));
  return tree;
}

std::unique_ptr<Analysis> MakeAnalysis(std::unique_ptr<ClusterNode> root, int objectCount,
                                       int maxLabelLength, std::vector<std::string> labels) {
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

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return {};
}

std::string Describe(const std::vector<RecordedCall>& calls) {
  static const char* const names[] = {"Move", "Line", "Text", "Rect"};
  std::string all;
  for (const RecordedCall& c : calls)
    all += std::string(names[static_cast<int>(c.Op)]) + " " + std::to_string(c.X1) + "," +
           std::to_string(c.Y1) + " " + std::to_string(c.X2) + "," + std::to_string(c.Y2) + " " +
           c.Text + "\n";
  return all;
}

}  // namespace vardell::testing
