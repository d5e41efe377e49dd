#pragma once
// The scratch tables of one run: allocated once with the analysis store and handed to the
// steps that need them, so that no step keeps tables of its own and any number of runs, each
// with its own store, can go on at once.

#include <cstdint>

#include "analysis/analysisdata.h"
#include "analysis/capacities.h"
#include "analysis/doubledouble.h"

namespace vardell {

struct WorkingState {
  // The depth sort's rows in their new order, before they are copied back.
  DataMatrix SortedRows;
  // The coefficients' values converted once per run instead of once per pair: stored values
  // have 40 significant bits, so doubles hold them exactly; the chord coefficient's offset
  // square roots are 64-bit values, held exactly as double-doubles. Row o, variable v + 1
  // at [o][v].
  double PreparedValues[MaxObjects + 1][MaxVariables];
  DoubleDouble PreparedRoots[MaxObjects + 1][MaxVariables];
  // The agglomeration's order keys of the dissimilarities' upper triangle, kept beside it so
  // that the pair search reads plain integers.
  std::int64_t OrderKeys[MaxObjects + 1][MaxObjects + 1];
};

}  // namespace vardell
