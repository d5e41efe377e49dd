// Fuzzes layout and drawing: an arbitrary small tree (any fusion order, any levels and
// depths), arbitrary labels, scales, tick size and pan offsets the results window can be
// given, drawn for the screen, the printer or the metafile on the recording surface. The
// sanitizers catch what goes wrong, such as a coordinate beyond an int.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/methods.h"
#include "analysis/tableencoding.h"
#include "diagram/recordingsurface.h"
#include "diagram/treediagram.h"
#include "fuzz_support.h"

namespace {

using namespace vardell;

StorageReal AnyStorageReal(fuzzing::Bytes& in) {
  std::array<std::uint8_t, 6> bytes{};
  for (auto& b : bytes) b = in.Byte();
  return StorageReal::FromBytes(bytes);
}

int CharacterCount(const std::string& utf8) {
  return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A finite value as a field or the pan buttons could leave it; positive where asked.
double FieldValue(fuzzing::Bytes& in, bool positive) {
  const double value = in.Double();
  if (!std::isfinite(value)) return positive ? 1 : 0;
  return positive ? (value > 0 ? value : (value < 0 ? -value : 1)) : value;
}

std::unique_ptr<ClusterNode> AnyTree(fuzzing::Bytes& in, int objects) {
  std::vector<std::unique_ptr<ClusterNode>> clusters;
  for (int k = 1; k <= objects; ++k) {
    auto leaf = std::make_unique<ClusterNode>();
    leaf->FirstObject = k;
    clusters.push_back(std::move(leaf));
  }
  for (int step = 1; clusters.size() > 1; ++step) {
    const int a = in.Below(static_cast<int>(clusters.size()));
    auto first = std::move(clusters[a]);
    clusters.erase(clusters.begin() + a);
    const int b = in.Below(static_cast<int>(clusters.size()));
    auto second = std::move(clusters[b]);
    clusters.erase(clusters.begin() + b);
    auto node = std::make_unique<ClusterNode>();
    node->Size = first->Size + second->Size;
    node->FirstObject = std::min(first->FirstObject, second->FirstObject);
    node->Level = AnyStorageReal(in);
    node->Step = step;
    node->Child1 = std::move(first);
    node->Child2 = std::move(second);
    clusters.push_back(std::move(node));
  }
  return std::move(clusters.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto analysis = std::make_unique<Analysis>();
  fuzzing::Bytes in(data, size);
  const int objects = 1 + in.Below(24);
  AnalysisSettings& settings = analysis->Settings;
  settings.Strategy = Strategies[in.Below(StrategyCount)].Code;
  settings.Coefficient = Coefficients[in.Below(CoefficientCount)].Code;
  settings.Constrained = in.Flag();
  DataMatrix& matrix = analysis->Matrix;
  matrix.ObjectCount = objects;
  matrix.MaxLabelLength = 0;
  for (int k = 1; k <= objects; ++k) {
    matrix.Labels[k] = DecodeText(in.Text(12));
    matrix.MaxLabelLength = std::max(matrix.MaxLabelLength, CharacterCount(matrix.Labels[k]));
    matrix.Depth[k] = AnyStorageReal(in);
  }
  analysis->TreeRoot = AnyTree(in, objects);

  TreeDiagram diagram;
  DrawingScale& scale = diagram.Scale;
  scale.ScaleFixed = in.Flag();
  scale.VscaleMm = FieldValue(in, scale.ScaleFixed);
  scale.HscaleMm = FieldValue(in, scale.ScaleFixed);
  if (!scale.ScaleFixed) scale.VscaleMm = scale.HscaleMm = 0;
  scale.TickUnits = FieldValue(in, true);
  scale.PanX = FieldValue(in, false);
  scale.PanY = FieldValue(in, false);

  RecordingSurface screen(665, 689, 96, 7, 13);
  RecordingSurface page(2480, 3508, 300, 25, 42);
  RecordingSurface metafile(1000, 1000, 96, 9, 19);
  switch (in.Below(3)) {
    case 0: diagram.RedrawScreen(*analysis, screen); break;
    case 1: diagram.RedrawDiagram(*analysis, OutputTarget::Printer, page); break;
    default: diagram.RedrawDiagram(*analysis, OutputTarget::Metafile, metafile); break;
  }
  FreeTree(analysis->TreeRoot);
  return 0;
}
