#pragma once
#include "analysis/analysisdata.h"

namespace vardell {

// Euclidean and chord coefficients come squared for centroid sorting and in constrained runs.
bool SquaredForm(std::uint8_t strategy, bool constrained);

StorageReal EuclideanCoefficient(const StorageReal* a, const StorageReal* b, int p,
                                 std::uint8_t strategy, bool constrained);
StorageReal ChordCoefficient(const StorageReal* a, const StorageReal* b, int p,
                             std::uint8_t strategy, bool constrained,
                             const StorageReal* chordOffset);
StorageReal ManhattanCoefficient(const StorageReal* a, const StorageReal* b, int p);

// Fills D[a][b], 1 <= a < b <= n, from the data matrix (a, b and chordOffset point at the
// variables 1..p, that is at Values[o] + 1 and ChordOffset + 1).
void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity);

}  // namespace vardell
