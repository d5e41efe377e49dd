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
  // The coefficients' values, converted once per run. Stored values have 40 significant
  // bits, so doubles hold them exactly; the chord coefficient's offset square roots are
  // 64-bit values, held exactly as value + root low part. Objects come in blocks of
  // BlockLanes, object o in block (o - 1) / BlockLanes at lane (o - 1) % BlockLanes, and a
  // block holds its objects' values variable by variable, so that the sums of one object
  // against a block read consecutive memory. Lanes past the last object hold 0.
  static constexpr int BlockLanes = 16;
  static constexpr int MaxBlocks = (MaxObjects + BlockLanes - 1) / BlockLanes;
  using Block = double[MaxVariables][BlockLanes];
  alignas(64) Block ValueBlocks[MaxBlocks];
  alignas(64) Block RootLowBlocks[MaxBlocks];
  // The agglomeration's copy of the dissimilarities as doubles (exact, ordered as the stored
  // values), in the upper triangle, so that the pair search and the updates read plain numbers.
  double Dissimilarities[MaxObjects + 1][MaxObjects + 1];
};

}  // namespace vardell
