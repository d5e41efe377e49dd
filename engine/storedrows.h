#pragma once
// Runs of stored values converted to doubles and back, several at a time. Every stored value
// is exactly a double, so the two conversions undo each other.

#include "analysis/storagereal.h"

namespace vardell {

// to[0 .. count) = from[0 .. count) as doubles (exact).
void UnpackStored(const StorageReal* from, double* to, int count);

// to[0 .. count) = from[0 .. count) packed into the format; every value must already be
// rounded to it and within its range (what StorageReal::FromRounded accepts).
void PackStored(const double* from, StorageReal* to, int count);

}  // namespace vardell
