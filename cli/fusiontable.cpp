#include "cli/fusiontable.h"

#include <vector>

#include "analysis/numbertext.h"
#include "engine/zonation.h"

namespace vardell {

void WriteFusionTable(const Analysis& analysis, std::ostream& out) {
  const DataMatrix& matrix = analysis.Matrix;
  const int n = matrix.ObjectCount;
  const auto objectId = [&](int object) { return matrix.GridRow[object] - 1; };
  const auto nodeId = [&](const ClusterNode& node) {
    return node.IsLeaf() ? objectId(node.FirstObject) : n + node.Step - 1;
  };
  const std::vector<const ClusterNode*> byStep = FusionsByStep(analysis.TreeRoot.get(), n);
  out << "step,child1,child2,level,size,first_object\n";
  for (int step = 1; step < n; ++step) {
    const ClusterNode* node = byStep[step];
    if (!node) continue;
    const std::string level = GeneralText(node->Level.ToDouble(), 17);
    out << step << ',' << nodeId(*node->Child1) << ',' << nodeId(*node->Child2) << ',' << level
        << ',' << node->Size << ',' << objectId(node->FirstObject) << '\n';
  }
}

}  // namespace vardell
