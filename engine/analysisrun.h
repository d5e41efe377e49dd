#pragma once
#include <optional>

#include "analysis/analysisdata.h"
#include "analysis/parametersource.h"
#include "analysis/usermessage.h"

namespace vardell {

// The analysis steps of a run: extract the settings and the data matrix, sort by depth in a
// constrained run, compute the coefficients and agglomerate. Works on the store's scratch
// copy and makes it current only when every step has finished, so a message or an exception
// (FloatingPointOverflow) leaves the current analysis whole. Returns the message that
// stopped the run, or nothing when the new tree is current.
std::optional<UserMessage> RunAnalysis(const ParameterSource& source, AnalysisStore& store);

}  // namespace vardell
