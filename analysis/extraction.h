#pragma once
#include <optional>

#include "analysis/analysisdata.h"
#include "analysis/parametersource.h"
#include "analysis/usermessage.h"
#include "analysis/workingstate.h"

namespace vardell {

// Reads the settings and the data matrix from the parameter source into analysis. Returns
// nothing when both are ready, else the message for the user (the run then stops).
std::optional<UserMessage> ExtractDataMatrix(const ParameterSource& source, Analysis& analysis);

// Reorders the objects by ascending depth; objects of equal depth keep their grid order. A
// row moves at most once, one of each cycle of the reordering through work's SortedRows.
void SortByDepth(DataMatrix& matrix, WorkingState& work);

}  // namespace vardell
