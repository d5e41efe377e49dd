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

// Rounds a non-negative running sum to the storage real's precision exactly as a store does
// (nearest, ties away from zero, below 2^-128 to 0), but without the overflow check and in
// extended arithmetic only: a store goes through memory and would dominate the coefficients.
// The sums only grow, so their callers check for overflow once, at the end.
inline long double RoundRunningSum(long double x) {
  // Veltkamp's splitting: hi is x rounded to nearest on 64 - 24 = 40 bits, fits41 tells
  // whether x has at most 41 significant bits, that is whether a rounding could be a tie.
  const long double p = x * 16777217.0L;  // 2^24 + 1
  const long double hi = p - (p - x);
  const long double p41 = x * 8388609.0L;  // 2^23 + 1
  const bool fits41 = p41 - (p41 - x) == x;
  // A tie rounded down takes the upper neighbour instead. One select rather than two
  // branches: sums of absolute differences often land on ties.
  const bool tieBelow = fits41 & (hi < x);
  const long double up = hi + 2 * (x - hi);
  const long double rounded = tieBelow ? up : hi;
  return rounded < 0x1p-128L ? 0.0L : rounded;
}

// Fills D[a][b], 1 <= a < b <= n, from the data matrix, preparing the values in work's
// tables first.
void ComputeDissimilarities(const AnalysisSettings& settings, const DataMatrix& matrix,
                            DissimilarityMatrix& dissimilarity, WorkingState& work);

}  // namespace vardell
