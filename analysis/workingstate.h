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
  // The coefficients' values, converted once per run and laid out by variable: column v
  // holds variable v + 1 of every object (object o at [v][o]), so that the sums of one object
  // against a block of others read consecutive values. Stored values have 40 significant
  // bits, so doubles hold them exactly (in ValueColumns); the chord coefficient's offset
  // square roots are 64-bit values, held exactly as ValueColumns + RootLowColumns. Past the
  // last object of a run the columns hold 0, far enough for a block of BlockLanes objects
  // that starts at the last one.
  static constexpr int BlockLanes = 16;
  static constexpr int ColumnLength = (MaxObjects + BlockLanes + 7) / 8 * 8;
  alignas(64) double ValueColumns[MaxVariables][ColumnLength];
  alignas(64) double RootLowColumns[MaxVariables][ColumnLength];
  // The agglomeration's copy of the dissimilarities as doubles (exact, ordered as the stored
  // values), both triangles, so that the pair search and the updates read plain numbers.
  double Dissimilarities[MaxObjects + 1][MaxObjects + 1];
};

}  // namespace vardell
