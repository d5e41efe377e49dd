#include "engine/analysisrun.h"

#include "analysis/extraction.h"
#include "engine/agglomeration.h"
#include "engine/coefficients.h"

namespace vardell {

std::optional<UserMessage> RunAnalysis(const ParameterSource& source, AnalysisStore& store) {
  Analysis& run = store.Scratch();
  FreeTree(run.TreeRoot);
  if (auto message = ExtractDataMatrix(source, run)) return message;
  if (run.Settings.Constrained) SortByDepth(run.Matrix);
  ComputeDissimilarities(run.Settings, run.Matrix, run.Dissimilarity);
  Agglomerate(run.Settings, run.Matrix, run.Dissimilarity, run.TreeRoot);
  store.Commit();
  return std::nullopt;
}

}  // namespace vardell
