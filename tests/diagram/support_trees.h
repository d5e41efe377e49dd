#pragma once
// Trees and analyses built by hand for the diagram tests.

#include <memory>
#include <string>
#include <vector>

#include "analysis/analysisdata.h"

namespace vardell::testing {

std::unique_ptr<ClusterNode> Leaf(int object, double position = 0);
std::unique_ptr<ClusterNode> Fuse(double level, std::unique_ptr<ClusterNode> child1,
                                  std::unique_ptr<ClusterNode> child2);

// A tree of n objects in which object k (from 2) joins the cluster of 1..k-1 at level
// (k - 1) * topLevel / (n - 1), the new object as Child1.
std::unique_ptr<ClusterNode> Chain(int n, double topLevel);

// An analysis of objectCount objects labelled by labels (object k gets labels[k-1]; missing
// ones get "O<k>"), with MaxLabelLength as given (the longest label's length when -1).
std::unique_ptr<Analysis> MakeAnalysis(std::unique_ptr<ClusterNode> root, int objectCount,
                                       int maxLabelLength = -1,
                                       std::vector<std::string> labels = {});

}  // namespace vardell::testing
