// vardell-fusiontables: every strategy, coefficient and constraint on data files (and on the
// benchmark data), printing each run's fusion table and a digest of every stored number the
// run kept. Needs no windows; builds for other processors compare their output with it.
//
//   vardell-fusiontables [PATH[@DEPTHCOLUMN[@IDCOLUMN]] | bench] ...
//
// Columns count from 1 (the depth column defaults to 1, the identifier column to none);
// every other column is a variable, the depth column too in constrained runs.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>

#include "analysis/fileloading.h"
#include "analysis/methods.h"
#include "analysis/parameterchoices.h"
#include "bench/benchdata.h"
#include "cli/fusiontable.h"
#include "engine/analysisrun.h"

namespace vardell {
namespace {

// FNV-1a over the bytes of stored values.
struct Digest {
  std::uint64_t Value = 14695981039346656037ULL;
  void Add(const StorageReal& r) {
    for (std::uint8_t byte : r.Bytes()) Value = (Value ^ byte) * 1099511628211ULL;
  }
};

void AddTree(const ClusterNode* node, Digest& digest) {
  if (!node) return;
  digest.Add(node->Level);
  digest.Add(node->Position);
  AddTree(node->Child1.get(), digest);
  AddTree(node->Child2.get(), digest);
}

void RunAll(const std::string& name, const DataGrid& grid, const ColumnLists& loaded,
            int depthColumn, int idColumn) {
  // By code: strategies 0..5, coefficients 0..2.
  for (int strategy = 0; strategy < static_cast<int>(std::size(Strategies)); ++strategy) {
    for (int coefficient = 0; coefficient < static_cast<int>(std::size(Coefficients));
         ++coefficient) {
      for (int constrained = 0; constrained <= 1; ++constrained) {
        ColumnLists lists = loaded;
        lists.Depth.SelectOnly(depthColumn - 1);
        lists.Id.SelectOnly(idColumn);
        lists.DataCol.SelectAll();
        if (idColumn >= 1) lists.DataCol.SetSelected(idColumn - 1, false);
        if (!constrained) lists.DataCol.SetSelected(depthColumn - 1, false);
        ParameterChoices source(grid, lists);
        source.Algo.SelectOnly(PositionOf(static_cast<StrategyCode>(strategy)));
        source.Dist.SelectOnly(PositionOf(static_cast<CoefficientCode>(coefficient)));
        source.Constrained = constrained != 0;
        std::cout << "# " << name << " strategy " << strategy << " coefficient " << coefficient
                  << " constrained " << constrained << "\n";
        AnalysisStore store;
        try {
          if (auto message = RunAnalysis(source, store)) {
            std::cout << "message " << message->Text << "\n";
            continue;
          }
        } catch (const std::exception& e) {
          std::cout << "error " << e.what() << "\n";
          continue;
        }
        const Analysis& run = store.Current();
        WriteFusionTable(run, std::cout);
        Digest digest;
        for (int a = 1; a < run.Matrix.ObjectCount; ++a)
          for (int b = a + 1; b <= run.Matrix.ObjectCount; ++b)
            digest.Add(run.Dissimilarity.D[a][b]);
        AddTree(run.TreeRoot.get(), digest);
        char hex[32];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest.Value));
        std::cout << "stored " << hex << "\n";
      }
    }
  }
}

int Main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "bench") {
      const BenchData data;
      RunAll("bench", data.Grid, data.Lists, 1, 0);
      continue;
    }
    std::string path = argument;
    int depthColumn = 1, idColumn = 0;
    const std::size_t at = path.find('@');
    if (at != std::string::npos) {
      const std::string columns = path.substr(at + 1);
      path.resize(at);
      depthColumn = std::stoi(columns);
      const std::size_t second = columns.find('@');
      if (second != std::string::npos) idColumn = std::stoi(columns.substr(second + 1));
    }
    DataGrid grid;
    ColumnLists lists;
    ResetColumnLists(lists);
    if (const auto message = LoadDataFile(path, grid, lists)) {
      std::cerr << path << ": " << message->Text << "\n";
      return 1;
    }
    const std::size_t slash = path.find_last_of('/');
    RunAll(slash == std::string::npos ? path : path.substr(slash + 1), grid, lists, depthColumn,
           idColumn);
  }
  return 0;
}

}  // namespace
}  // namespace vardell

int main(int argc, char** argv) { return vardell::Main(argc, argv); }
