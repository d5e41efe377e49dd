#include "analysis/analysisdata.h"

#include <utility>

#include "analysis/workingstate.h"

namespace vardell {

void FreeTree(std::unique_ptr<ClusterNode>& node) {
  if (!node) return;
  FreeTree(node->Child2);
  FreeTree(node->Child1);
  node.reset();
}

int CountNodes(const ClusterNode* node) {
  if (!node) return 0;
  return 1 + CountNodes(node->Child1.get()) + CountNodes(node->Child2.get());
}

AnalysisStore::AnalysisStore()
    : current_(std::make_unique<Analysis>()),
      scratch_(std::make_unique<Analysis>()),
      work_(std::make_unique<WorkingState>()) {}

AnalysisStore::~AnalysisStore() = default;

void AnalysisStore::Commit() {
  std::swap(current_, scratch_);
  FreeTree(scratch_->TreeRoot);
}

}  // namespace vardell
