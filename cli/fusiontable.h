#pragma once
#include <ostream>

#include "analysis/analysisdata.h"

namespace vardell {

// The fusion table as CSV, one row per fusion in fusion order:
// step,child1,child2,level,size,first_object. Objects are their 0-based data rows in the file
// (whatever the depth sort did), the cluster made at step s is n + s - 1 (the convention of
// scipy's linkage matrices); level is the stored fusion level printed so that it reads back to
// the same binary value.
void WriteFusionTable(const Analysis& analysis, std::ostream& out);

}  // namespace vardell
