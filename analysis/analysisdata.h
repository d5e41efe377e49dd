#pragma once
// The data of one clustering run: settings, data matrix, dissimilarities and fusion tree.
// Tables have fixed capacity and are indexed from 1 as objects and variables are numbered;
// index 0 is unused.

#include <cstdint>
#include <memory>
#include <string>

#include "analysis/capacities.h"
#include "analysis/methods.h"
#include "analysis/storagereal.h"

namespace vardell {

struct AnalysisSettings {
  StrategyCode Strategy = StrategyCode::MinimumVariance;
  CoefficientCode Coefficient = CoefficientCode::Euclidean;
  bool Constrained = false;
  std::int32_t DepthColumn = 1;                     // grid column from 1
  std::int32_t IdColumn = 0;                        // grid column; 0 = none
  std::int32_t DataColumns[MaxVariables + 1] = {};  // [1..VariableCount]
};

struct DataMatrix {
  std::int32_t ObjectCount = 0;                          // n
  std::int32_t VariableCount = 0;                        // p
  StorageReal Values[MaxObjects + 1][MaxVariables + 1];  // Values[i][k]: variable k of object i
  std::string Labels[MaxObjects + 1];
  StorageReal Depth[MaxObjects + 1];
  StorageReal ChordOffset[MaxVariables + 1];  // min(0, smallest value of variable k)
  std::int32_t MaxLabelLength = 0;
  std::int32_t GridRow[MaxObjects + 1] = {};  // the grid row object i came from
};

// Only the upper triangle D[a][b], a < b, is used; At() reads either order.
struct DissimilarityMatrix {
  StorageReal D[MaxObjects + 1][MaxObjects + 1];
  StorageReal& At(int a, int b) { return a < b ? D[a][b] : D[b][a]; }
  const StorageReal& At(int a, int b) const { return a < b ? D[a][b] : D[b][a]; }
};

// Child1 is declared before Child2, so destroying a node releases Child2 first.
struct ClusterNode {
  std::unique_ptr<ClusterNode> Child1;
  std::unique_ptr<ClusterNode> Child2;
  std::int32_t Size = 1;
  std::int32_t FirstObject = 0;
  StorageReal Level;
  StorageReal Position;
  std::int32_t Step = 0;  // fusion number 1..n-1 in the order of the fusions; 0 in a leaf
  bool IsLeaf() const { return !Child1 && !Child2; }
};

// Releases node and everything below it, Child2's subtree before Child1's, children before
// their parent; afterwards node is null.
void FreeTree(std::unique_ptr<ClusterNode>& node);

// Number of nodes in a tree (2n - 1 for n objects).
int CountNodes(const ClusterNode* node);

// Everything one analysis holds.
struct Analysis {
  AnalysisSettings Settings;
  DataMatrix Matrix;
  DissimilarityMatrix Dissimilarity;
  std::unique_ptr<ClusterNode> TreeRoot;
};

struct WorkingState;  // analysis/workingstate.h

// The current analysis, a scratch copy and the working state of a run, all allocated once
// for the store's life. A run fills the scratch copy and Commit() makes it current, so a run
// that fails part-way leaves the current analysis whole. The tree a commit replaces is
// released.
class AnalysisStore {
 public:
  AnalysisStore();
  ~AnalysisStore();
  AnalysisStore(const AnalysisStore&) = delete;
  AnalysisStore& operator=(const AnalysisStore&) = delete;
  Analysis& Current() { return *current_; }
  const Analysis& Current() const { return *current_; }
  Analysis& Scratch() { return *scratch_; }
  WorkingState& Work() { return *work_; }
  void Commit();

 private:
  std::unique_ptr<Analysis> current_;
  std::unique_ptr<Analysis> scratch_;
  std::unique_ptr<WorkingState> work_;
};

}  // namespace vardell
