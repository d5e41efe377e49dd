#pragma once
#include "analysis/analysisdata.h"
#include "analysis/workingstate.h"

namespace vardell {

// Euclidean and chord coefficients come squared for the strategies that recur on squared
// values (centroid sorting) and in constrained runs.
bool SquaredForm(StrategyCode strategy, bool constrained);

StorageReal EuclideanCoefficient(const StorageReal* a, const StorageReal* b, int p,
                                 StrategyCode strategy, bool constrained);
StorageReal ChordCoefficient(const StorageReal* a, const StorageReal* b, int p,
                             StrategyCode strategy, bool constrained,
                             const StorageReal* chordOffset);
StorageReal ManhattanCoefficient(const StorageReal* a, const StorageReal* b, int p);

// Fills D[a][b], 1 <= a < b <= n, from the data matrix, preparing the values in work's
// tables first.
void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity, WorkingState& work);

namespace detail {
// The lanes a vector of the coefficient step's kernel: the most the processor runs, unless
// UseCoefficientLanes chose fewer (2, 4 or 8; false where the processor cannot run them, so
// that tests can compare every kernel the machine has).
int CoefficientLanes();
bool UseCoefficientLanes(int lanes);
}  // namespace detail

}  // namespace vardell
