#pragma once
// The command line of vardell-cli.

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vardell {

struct CliOptions {
  std::string File;
  int StrategyEntry = 0;     // position in the strategy list (0 = minimum variance)
  int CoefficientEntry = 0;  // position in the coefficient list (0 = Euclidean)
  bool Constrained = false;
  int DepthColumn = 1;                          // grid column from 1
  int IdColumn = 0;                             // grid column from 1; 0 = none
  std::optional<std::vector<int>> DataColumns;  // grid columns from 1; none given = all
  std::string FusionsPath;                      // "-" = standard output
  std::string ExportPath;
  std::optional<int> Zones;  // --zones K; checked against the run's objects after it
  bool ZonesAuto = false;    // --zones auto: the broken-stick suggestion
  std::string ZoneTablePath;
  std::string MembershipsPath;
  std::string BrokenStickPath;
  // The results window's drawing controls, for --export: the tick field (or automatic), the
  // scale fields (a scale not given stays fitted) and the font of the screen picture.
  std::optional<double> TickUnits;
  bool TickAuto = false;
  std::optional<double> VscaleMm;
  std::optional<double> HscaleMm;
  std::string FontFamily;
  std::optional<int> FontPoints;
  bool Help = false;
  bool Version = false;
};

struct UsageError {
  std::string Text;
};

// The options the zonation needs from the run: --zones auto and --broken-stick a constrained
// minimum-variance run, --zone-table a constrained run, both tables of a cut --zones.
std::variant<CliOptions, UsageError> ParseCommandLine(const std::vector<std::string>& arguments);

// "2-5,8" -> 2, 3, 4, 5, 8; nothing on a syntax error or a number below 1.
std::optional<std::vector<int>> ParseColumnList(const std::string& list);

const char* UsageLine();
std::string HelpText();

}  // namespace vardell
