#include "engine/analysisrun.h"

#include "analysis/extraction.h"
#include "engine/agglomeration.h"
#include "engine/coefficients.h"

namespace vardell {

std::optional<UserMessage> RunAnalysis(const ParameterSource& source, AnalysisStore& store) {
  Analysis& run = store.Scratch();
  WorkingState& work = store.Work();
  FreeTree(run.TreeRoot);
  if (auto message = ExtractDataMatrix(source, run)) return message;
  if (run.Settings.Constrained) SortByDepth(run.Matrix, work);
  ComputeDissimilarities(run.Settings, run.Matrix, run.Dissimilarity, work);
  Agglomerate(run.Settings, run.Matrix, run.Dissimilarity, run.TreeRoot, work);
  store.Commit();
  return std::nullopt;
}

}  // namespace vardell
