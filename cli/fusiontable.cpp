#include "cli/fusiontable.h"

#include <cstdio>
#include <vector>

namespace vardell {
namespace {

void CollectFusions(const ClusterNode* node, std::vector<const ClusterNode*>& byStep) {
  if (!node || node->IsLeaf()) return;
  if (node->Step >= 1 && node->Step < static_cast<int>(byStep.size())) byStep[node->Step] = node;
  CollectFusions(node->Child1.get(), byStep);
  CollectFusions(node->Child2.get(), byStep);
}

}  // namespace

void WriteFusionTable(const Analysis& analysis, std::ostream& out) {
  const DataMatrix& matrix = analysis.Matrix;
  const int n = matrix.ObjectCount;
  const auto objectId = [&](int object) { return matrix.GridRow[object] - 1; };
  const auto nodeId = [&](const ClusterNode& node) {
    return node.IsLeaf() ? objectId(node.FirstObject) : n + node.Step - 1;
  };
  std::vector<const ClusterNode*> byStep(n > 0 ? n : 1, nullptr);
  CollectFusions(analysis.TreeRoot.get(), byStep);
  out << "step,child1,child2,level,size,first_object\n";
  for (int step = 1; step < n; ++step) {
    const ClusterNode* node = byStep[step];
    if (!node) continue;
    char level[64];
    std::snprintf(level, sizeof level, "%.17g", static_cast<double>(node->Level.ToExtended()));
    out << step << ',' << nodeId(*node->Child1) << ',' << nodeId(*node->Child2) << ',' << level
        << ',' << node->Size << ',' << objectId(node->FirstObject) << '\n';
  }
}

}  // namespace vardell
