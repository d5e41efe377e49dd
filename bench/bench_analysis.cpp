// The largest run the program accepts, 200 objects by 150 variables, from the grid's cell texts
// to the finished tree, for every strategy and coefficient, with and without the constraint.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "analysis/analysisdata.h"
#include "analysis/choicelist.h"
#include "analysis/datagrid.h"
#include "analysis/extraction.h"
#include "analysis/parameterchoices.h"
#include "analysis/workingstate.h"
#include "bench/benchdata.h"
#include "engine/agglomeration.h"
#include "engine/analysisrun.h"
#include "engine/coefficients.h"

namespace vardell {
namespace {

const BenchData& Data() {
  static const BenchData data;
  return data;
}

void WholeAnalysis(benchmark::State& state) {
  const auto strategy = static_cast<StrategyCode>(state.range(0));
  const auto coefficient = static_cast<CoefficientCode>(state.range(1));
  const bool constrained = state.range(2) != 0;

  ColumnLists lists = Data().Lists;
  lists.DataCol.SelectAll();
  // Unconstrained runs leave the depth column out; constrained runs pass over it themselves.
  if (!constrained) lists.DataCol.SetSelected(0, false);
  ParameterChoices source(Data().Grid, lists);
  source.Algo.SelectOnly(PositionOf(strategy));
  source.Dist.SelectOnly(PositionOf(coefficient));
  source.Constrained = constrained;
  AnalysisStore store;

  for (auto _ : state) {
    if (auto message = RunAnalysis(source, store)) {
      state.SkipWithError(message->Text.c_str());
      return;
    }
    benchmark::DoNotOptimize(store.Current().TreeRoot.get());
  }
  const Analysis& run = store.Current();
  if (run.Matrix.ObjectCount != BenchObjects || run.Matrix.VariableCount != BenchVariables ||
      CountNodes(run.TreeRoot.get()) != 2 * BenchObjects - 1)
    state.SkipWithError("the run did not cluster the whole matrix");
}

void AllCombinations(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"strategy", "coefficient", "constrained"});
  for (const StrategyMethod& s : Strategies)
    for (const CoefficientMethod& c : Coefficients)
      for (int constrained = 0; constrained <= 1; ++constrained)
        bench->Args({static_cast<int>(s.Code), static_cast<int>(c.Code), constrained});
}

BENCHMARK(WholeAnalysis)->Apply(AllCombinations)->Unit(benchmark::kMillisecond);

// The part of a run before the engine: the cell texts read and parsed into the data matrix,
// and for a constrained run the depth sort.
void Extraction(benchmark::State& state) {
  const bool constrained = state.range(0) != 0;
  ColumnLists lists = Data().Lists;
  lists.DataCol.SelectAll();
  if (!constrained) lists.DataCol.SetSelected(0, false);
  ParameterChoices source(Data().Grid, lists);
  source.Constrained = constrained;
  AnalysisStore store;
  for (auto _ : state) {
    if (auto message = ExtractDataMatrix(source, store.Scratch())) {
      state.SkipWithError(message->Text.c_str());
      return;
    }
    if (constrained) SortByDepth(store.Scratch().Matrix, store.Work());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(Extraction)->ArgName("constrained")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The two engine stages on their own, on the matrix a whole run extracted.
AnalysisStore& ExtractedRun(CoefficientCode coefficient, bool constrained) {
  static AnalysisStore store;
  ColumnLists lists = Data().Lists;
  lists.DataCol.SelectAll();
  if (!constrained) lists.DataCol.SetSelected(0, false);
  ParameterChoices source(Data().Grid, lists);
  source.Dist.SelectOnly(PositionOf(coefficient));
  source.Constrained = constrained;
  if (RunAnalysis(source, store)) throw std::runtime_error("extraction failed");
  return store;
}

void Coefficients(benchmark::State& state) {
  AnalysisStore& store = ExtractedRun(static_cast<CoefficientCode>(state.range(0)), false);
  Analysis& run = store.Current();
  run.Settings.Strategy = StrategyCode::NearestNeighbour;
  for (auto _ : state) {
    ComputeDissimilarities(run.Settings, run.Matrix, run.Dissimilarity, store.Work());
    benchmark::ClobberMemory();
  }
}

void Agglomeration(benchmark::State& state) {
  const bool constrained = state.range(1) != 0;
  AnalysisStore& store = ExtractedRun(static_cast<CoefficientCode>(state.range(2)), constrained);
  Analysis& run = store.Current();
  run.Settings.Strategy = static_cast<StrategyCode>(state.range(0));
  ComputeDissimilarities(run.Settings, run.Matrix, run.Dissimilarity, store.Work());
  auto computed = std::make_unique<DissimilarityMatrix>(run.Dissimilarity);
  for (auto _ : state) {
    state.PauseTiming();
    run.Dissimilarity = *computed;
    state.ResumeTiming();
    Agglomerate(run.Settings, run.Matrix, run.Dissimilarity, run.TreeRoot, store.Work());
  }
}

void EveryCoefficient(benchmark::internal::Benchmark* bench) {
  bench->ArgName("coefficient");
  for (const CoefficientMethod& c : vardell::Coefficients) bench->Arg(static_cast<int>(c.Code));
}

void EveryStrategy(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"strategy", "constrained", "coefficient"});
  for (const StrategyMethod& s : Strategies)
    for (int constrained = 0; constrained <= 1; ++constrained)
      for (const CoefficientMethod& c : vardell::Coefficients)
        bench->Args({static_cast<int>(s.Code), constrained, static_cast<int>(c.Code)});
}

BENCHMARK(Coefficients)->Apply(EveryCoefficient)->Unit(benchmark::kMillisecond);
BENCHMARK(Agglomeration)->Apply(EveryStrategy)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vardell

BENCHMARK_MAIN();
