// Fuzzes a whole run: extraction, depth sort, coefficients and agglomeration over an
// arbitrary small grid with arbitrary choices. A run either stops with a message or an
// overflow, leaving the current analysis as it was, or makes a tree of 2n - 1 nodes that
// holds every object once, fuses in steps 1 .. n - 1, and is read back by the fusion table.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "analysis/methods.h"
#include "analysis/parameterchoices.h"
#include "cli/fusiontable.h"
#include "engine/analysisrun.h"
#include "fuzz_support.h"

namespace {

using namespace vardell;

// Cell texts of numbers in the forms files hold, with a few that are no number at all.
const char* const Cells[] = {"0",    "1",     "-1",  "2.5",     "1e30",   "1E-30",    "3.4E38",
                             "1e39", "-7.25", "",    "abc",     "0.0001", "12345678", "1.5e-39",
                             " 4 ",  "+8",    "1,5", "9999999", ".5",     "5."};

void CheckTree(const ClusterNode* node, std::vector<int>& objects, std::vector<int>& steps) {
  if (node->IsLeaf()) {
    objects.at(node->FirstObject)++;
    return;
  }
  if (!node->Child1 || !node->Child2) std::abort();
  if (node->Size != node->Child1->Size + node->Child2->Size) std::abort();
  steps.at(node->Step)++;
  CheckTree(node->Child1.get(), objects, steps);
  CheckTree(node->Child2.get(), objects, steps);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto store = std::make_unique<AnalysisStore>();
  fuzzing::Bytes in(data, size);
  const int rows = in.Below(14);
  const int columns = 1 + in.Below(6);
  DataGrid grid;
  grid.SetRowCount(rows + 1);
  grid.SetColCount(columns + 1);
  ColumnLists lists;
  lists.Id.Add("NONE");
  for (int j = 1; j <= columns; ++j) {
    const std::string name = "C" + std::to_string(j);
    grid.SetCell(j, 0, name);
    lists.Depth.Add(name);
    lists.Id.Add(name);
    lists.DataCol.Add(name);
    lists.DataCol.SetSelected(j - 1, in.Flag());
  }
  lists.Depth.SelectOnly(in.Below(columns));
  lists.Id.SelectOnly(in.Below(columns + 1));
  for (int r = 1; r <= rows; ++r)
    for (int j = 1; j <= columns; ++j) {
      const uint8_t pick = in.Byte();
      grid.SetCell(j, r, pick < 240 ? Cells[pick % std::size(Cells)] : in.Text(8));
    }

  ParameterChoices source(grid, lists);
  source.Algo.SelectOnly(in.Below(StrategyCount));
  source.Dist.SelectOnly(in.Below(CoefficientCount));
  source.Constrained = in.Flag();
  const ClusterNode* before = store->Current().TreeRoot.get();
  try {
    if (RunAnalysis(source, *store)) {
      if (store->Current().TreeRoot.get() != before) std::abort();
      return 0;
    }
  } catch (const FloatingPointOverflow&) {
    if (store->Current().TreeRoot.get() != before) std::abort();
    return 0;
  } catch (const InvalidFloatingPointOperation&) {
    // A centroid level of a combined value that rounded below 0, say: the run stops with
    // the error and keeps the analysis before it, as an overflow does.
    if (store->Current().TreeRoot.get() != before) std::abort();
    return 0;
  }
  const Analysis& analysis = store->Current();
  const int n = analysis.Matrix.ObjectCount;
  if (n < 1 || n > rows || !analysis.TreeRoot) std::abort();
  if (CountNodes(analysis.TreeRoot.get()) != 2 * n - 1) std::abort();
  std::vector<int> objects(n + 1), steps(n);
  CheckTree(analysis.TreeRoot.get(), objects, steps);
  for (int k = 1; k <= n; ++k)
    if (objects[k] != 1) std::abort();
  for (int s = 1; s < n; ++s)
    if (steps[s] != 1) std::abort();
  std::ostringstream table;
  WriteFusionTable(analysis, table);
  return 0;
}
