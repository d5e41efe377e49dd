#pragma once
// The benchmark data: the largest run the program accepts, 200 objects by 150 variables, as
// grid cell texts. Shared by the benchmarks and the fusion-table tool that compares builds.

#include <cstdint>
#include <cstdio>
#include <string>

#include "analysis/capacities.h"
#include "analysis/choicelist.h"
#include "analysis/datagrid.h"

namespace vardell {

constexpr int BenchObjects = MaxObjects;
constexpr int BenchVariables = MaxVariables;

// Grid column 1 holds the depth, columns 2..151 the variables; the numbers come from a fixed
// generator and are written with 10 significant digits, as a data file would hold them.
struct BenchData {
  DataGrid Grid;
  ColumnLists Lists;

  BenchData() {
    const int columns = BenchVariables + 1;
    Grid.SetColCount(columns + 1);
    Grid.SetRowCount(BenchObjects + 1);
    Lists.Id.Add("NONE");
    for (int c = 1; c <= columns; ++c) {
      const std::string name = c == 1 ? "DEPTH" : "V" + std::to_string(c - 1);
      Grid.SetCell(c, 0, name);
      Lists.Depth.Add(name);
      Lists.Id.Add(name);
      Lists.DataCol.Add(name);
    }
    Lists.Depth.SelectOnly(0);
    Lists.Id.SelectOnly(0);
    std::uint64_t state = 20240611;
    char text[32];
    for (int row = 1; row <= BenchObjects; ++row) {
      Grid.SetCell(0, row, std::to_string(row));
      // Shuffled depths, so that the constrained runs sort.
      std::snprintf(text, sizeof text, "%d", (row * 73) % BenchObjects);
      Grid.SetCell(1, row, text);
      for (int c = 2; c <= columns; ++c) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double value = static_cast<double>(state >> 11) * 0x1.0p-53 * 100.0 - 20.0;
        std::snprintf(text, sizeof text, "%.10g", value);
        Grid.SetCell(c, row, text);
      }
    }
  }
};

}  // namespace vardell
