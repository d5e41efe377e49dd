// Writes the pictures of two runs in every export format for a person to look at, when
// VARDELL_DIAGRAM_PICTURES names a directory; skipped otherwise.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "diagram/surfaces/exports.h"
#include "engine/agglomeration.h"
#include "engine/coefficients.h"

namespace vardell {
namespace {

// n objects of four smoothly varying variables with a little deterministic noise, amplitude
// times as large as the unit.
std::unique_ptr<Analysis> SyntheticRun(int n, bool constrained, std::uint8_t strategy,
                                       double amplitude) {
  auto analysis = std::make_unique<Analysis>();
  AnalysisSettings& s = analysis->Settings;
  s.Strategy = strategy;
  s.Coefficient = Euclidean;
  s.Constrained = constrained;
  DataMatrix& m = analysis->Matrix;
  m.ObjectCount = n;
  m.VariableCount = 4;
  unsigned noise = 12345;
  for (int i = 1; i <= n; ++i) {
    double depth = 100 + 0.25 * i;
    for (int k = 1; k <= 4; ++k) {
      noise = noise * 1103515245u + 12345u;
      double jitter = ((noise >> 16) % 1000) / 1000.0;
      m.Values[i][k] = amplitude * (10 + 5 * std::sin(depth / (3.0 + k)) + jitter);
    }
    m.Depth[i] = depth;
    char label[32];
    std::snprintf(label, sizeof label, "%.2f", depth);
    m.Labels[i] = label;
    m.MaxLabelLength = std::max<int>(m.MaxLabelLength, static_cast<int>(m.Labels[i].size()));
  }
  ComputeDissimilarities(s, m, analysis->Dissimilarity);
  Agglomerate(s, m, analysis->Dissimilarity, analysis->TreeRoot);
  return analysis;
}

TEST(Pictures, WriteForLooking) {
  const char* dir = std::getenv("VARDELL_DIAGRAM_PICTURES");
  if (!dir) GTEST_SKIP() << "set VARDELL_DIAGRAM_PICTURES to a directory to write the pictures";
  std::filesystem::create_directories(dir);
  struct Run {
    const char* Name;
    int Objects;
    bool Constrained;
    std::uint8_t Strategy;
    double Amplitude;
  } runs[] = {{"constrained200", 200, true, MinimumVariance, 0.1},
              {"ordinary12", 12, false, UnweightedPairgroup, 10}};
  for (const Run& run : runs) {
    auto analysis = SyntheticRun(run.Objects, run.Constrained, run.Strategy, run.Amplitude);
    for (const char* ext : {".emf", ".svg", ".png", ".pdf"})
      ExportDiagramFile(*analysis, std::string(dir) + "/" + run.Name + ext);
  }
}

}  // namespace
}  // namespace vardell
