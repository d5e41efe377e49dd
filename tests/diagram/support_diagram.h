#pragma once
// Trees, analyses and call listings for the diagram tests.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/analysisdata.h"
#include "diagram/recordingsurface.h"

namespace vardell::testing {

std::unique_ptr<ClusterNode> Leaf(int object, double position = 0);
std::unique_ptr<ClusterNode> Fuse(double level, std::unique_ptr<ClusterNode> child1,
                                  std::unique_ptr<ClusterNode> child2);
// Object k (from 2) joins the cluster of 1..k-1 at level (k - 1) * topLevel / (n - 1), as Child1.
std::unique_ptr<ClusterNode> Chain(int n, double topLevel);

// Object k is labelled labels[k-1], or "O<k>" past the end; MaxLabelLength is the longest
// label's length unless given.
std::unique_ptr<Analysis> MakeAnalysis(std::unique_ptr<ClusterNode> root, int objectCount,
                                       int maxLabelLength = -1,
                                       std::vector<std::string> labels = {});

// The text of the std::runtime_error that action throws; empty when it throws none.
std::string ErrorText(const std::function<void()>& action);

// One line per call, so that a mismatch shows where two drawings part.
std::string Describe(const std::vector<RecordedCall>& calls);

}  // namespace vardell::testing
