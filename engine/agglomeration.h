#pragma once
#include <memory>

#include "analysis/analysisdata.h"
#include "analysis/workingstate.h"
#include "engine/exactsteps.h"

namespace vardell {

struct LanceWilliams {
  StorageReal AlphaI, AlphaJ, Beta, Gamma;
};

struct ClosestPair {
  int A = 1;  // position (from 1) in the active list of the cluster that stays
  int B = 2;  // position (from 1) in the active list of the cluster fused away
  int I = 0;
  int J = 0;
  StorageReal Dij;
};

// activeList[1..m]; constrained runs look only at neighbours in the list.
ClosestPair FindClosestPair(int m, const int* activeList, const DissimilarityMatrix& d,
                            bool constrained);
LanceWilliams SetUnweightedCoefficients(std::int32_t ni, std::int32_t nj);
LanceWilliams SetCentroidCoefficients(std::int32_t ni, std::int32_t nj);
LanceWilliams SetMinimumVarianceCoefficients(std::int32_t ni, std::int32_t nj, std::int32_t nk);
// SetMinimumVarianceCoefficients as doubles, quicker.
CombineTerms MinimumVarianceTerms(std::int32_t ni, std::int32_t nj, std::int32_t nk);
StorageReal CombineDissimilarity(StorageReal alphaI, StorageReal alphaJ, StorageReal dki,
                                 StorageReal dkj, StorageReal beta, StorageReal dij,
                                 StorageReal gamma);

// Performs the n - 1 fusions on d (which it overwrites) and hands the new tree to treeRoot,
// releasing any tree it held; work holds the order keys meanwhile. With n = 0 nothing happens.
// On an exception (FloatingPointOverflow part-way) treeRoot is left as it was and every node
// made so far is released.
void Agglomerate(const AnalysisSettings& settings, const DataMatrix& matrix, DissimilarityMatrix& d,
                 std::unique_ptr<ClusterNode>& treeRoot, WorkingState& work);

}  // namespace vardell
