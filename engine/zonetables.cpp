#include "engine/zonetables.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "analysis/numbertext.h"

namespace vardell {
namespace {

int FileRow(const DataMatrix& matrix, int object) { return matrix.GridRow[object] - 1; }

}  // namespace

std::string TableNumber(double value) { return GeneralText(value, 10); }

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void WriteZoneTable(const Analysis& analysis, const TreeCut& cut, std::ostream& out) {
  const DataMatrix& matrix = analysis.Matrix;
  out << "zone,samples,first_object,last_object,top_depth,bottom_depth,boundary_below\n";
  const std::vector<Zone> zones = ZonesOf(cut, matrix);
  for (std::size_t z = 0; z < zones.size(); ++z) {
    const Zone& zone = zones[z];
    out << z + 1 << ',' << zone.Samples << ',' << FileRow(matrix, zone.FirstObject) << ','
        << FileRow(matrix, zone.LastObject) << ',' << TableNumber(zone.TopDepth) << ','
        << TableNumber(zone.BottomDepth) << ','
        << (zone.BoundaryBelow ? TableNumber(*zone.BoundaryBelow) : std::string()) << '\n';
  }
}

void WriteMemberships(const Analysis& analysis, const TreeCut& cut, std::ostream& out) {
  const DataMatrix& matrix = analysis.Matrix;
  const int n = matrix.ObjectCount;
  const std::vector<int> groupOf = GroupOfObjects(cut, n);
  std::vector<int> byRow(n);
  std::iota(byRow.begin(), byRow.end(), 1);
  std::stable_sort(byRow.begin(), byRow.end(),
                   [&](int a, int b) { return matrix.GridRow[a] < matrix.GridRow[b]; });
  out << "object,label,depth,group\n";
  for (int object : byRow) {
    out << FileRow(matrix, object) << ',' << CsvField(matrix.Labels[object]) << ','
        << (analysis.Settings.Constrained ? TableNumber(matrix.Depth[object].ToDouble())
                                          : std::string())
        << ',' << groupOf[object] << '\n';
  }
}

void WriteBrokenStick(const BrokenStick& stick, std::ostream& out) {
  out << "groups,reduction,expected\n";
  for (const BrokenStickRow& row : stick.Rows)
    out << row.Groups << ',' << TableNumber(row.Reduction) << ',' << TableNumber(row.Expected)
        << '\n';
}

}  // namespace vardell
