#pragma once
// The clustering strategies and dissimilarity coefficients: one table per kind, in the order
// of the parameter window's lists. Everything that names a method or decides by it reads
// this table: the lists and their rules, the extraction's position-to-code mapping, the
// command-line names, the diagram's header and the engine's level and squared-form rules.
// The engine's update rules live beside the engine, in a table checked against this one.

#include <cstdint>
#include <iterator>

namespace vardell {

// The codes of the analysis settings; a new method takes the next free number.
enum class StrategyCode : std::uint8_t {
  NearestNeighbour = 0,
  FurthestNeighbour = 1,
  WeightedPairgroup = 2,
  UnweightedPairgroup = 3,
  CentroidSorting = 4,
  MinimumVariance = 5,
};

enum class CoefficientCode : std::uint8_t {
  Manhattan = 0,
  Chord = 1,
  Euclidean = 2,
};

// What the level of a fusion is, from the dissimilarity d of the pair fused.
enum class FusionLevelRule : std::uint8_t {
  Dissimilarity,  // d itself
  SquareRoot,     // the root of d: the strategy recurs on squared values
  Dispersion,     // d / 2, the increase in dispersion; in a constrained run their running total
};

struct StrategyMethod {
  StrategyCode Code;
  const char* ListText;               // entry of the strategy list
  const char* CliName;                // value of vardell-cli's --strategy
  const char* HeaderName;             // the diagram header's name of an ordinary run
  const char* ConstrainedHeaderName;  // ... and of a constrained run
  bool KeptWhenConstrained;           // stays in the strategy list while the run is constrained
  bool BarsManhattan;                 // "Manhattan metric" leaves the coefficient list when chosen
  bool SquaredCoefficients;           // takes the Euclidean and chord coefficients squared
  FusionLevelRule Level;
};

struct CoefficientMethod {
  CoefficientCode Code;
  const char* ListText;    // entry of the coefficient list
  const char* CliName;     // value of vardell-cli's --coefficient
  const char* HeaderName;  // the diagram header's name
};

// In list order; the first entry of each list is the default choice.
inline constexpr StrategyMethod Strategies[] = {
    {.Code = StrategyCode::MinimumVariance,
     .ListText = "Minimum variance strategy",
     .CliName = "minimum-variance",
     .HeaderName = "MINIMUM VARIANCE DISPERSION INCREASE",
     .ConstrainedHeaderName = "MINIMUM VARIANCE TOTAL DISPERSION",
     .KeptWhenConstrained = true,
     .BarsManhattan = true,
     .SquaredCoefficients = false,
     .Level = FusionLevelRule::Dispersion},
    {.Code = StrategyCode::FurthestNeighbour,
     .ListText = "Furthest neighbour",
     .CliName = "furthest-neighbour",
     .HeaderName = "FURTHEST NEIGHBOUR",
     .ConstrainedHeaderName = "FURTHEST NEIGHBOUR",
     .KeptWhenConstrained = true,
     .BarsManhattan = false,
     .SquaredCoefficients = false,
     .Level = FusionLevelRule::Dissimilarity},
    {.Code = StrategyCode::NearestNeighbour,
     .ListText = "Nearest neighbour",
     .CliName = "nearest-neighbour",
     .HeaderName = "NEAREST NEIGHBOUR",
     .ConstrainedHeaderName = "NEAREST NEIGHBOUR",
     .KeptWhenConstrained = false,
     .BarsManhattan = false,
     .SquaredCoefficients = false,
     .Level = FusionLevelRule::Dissimilarity},
    {.Code = StrategyCode::CentroidSorting,
     .ListText = "Centroid sorting",
     .CliName = "centroid-sorting",
     .HeaderName = "CENTROID SORTING",
     .ConstrainedHeaderName = "CENTROID SORTING",
     .KeptWhenConstrained = false,
     .BarsManhattan = true,
     .SquaredCoefficients = true,
     .Level = FusionLevelRule::SquareRoot},
    {.Code = StrategyCode::WeightedPairgroup,
     .ListText = "Weighted pairgroup",
     .CliName = "weighted-pairgroup",
     .HeaderName = "WEIGHTED PAIRGROUP",
     .ConstrainedHeaderName = "WEIGHTED PAIRGROUP",
     .KeptWhenConstrained = false,
     .BarsManhattan = false,
     .SquaredCoefficients = false,
     .Level = FusionLevelRule::Dissimilarity},
    {.Code = StrategyCode::UnweightedPairgroup,
     .ListText = "Unweighted pairgroup",
     .CliName = "unweighted-pairgroup",
     .HeaderName = "UNWEIGHTED PAIRGROUP",
     .ConstrainedHeaderName = "UNWEIGHTED PAIRGROUP",
     .KeptWhenConstrained = false,
     .BarsManhattan = false,
     .SquaredCoefficients = false,
     .Level = FusionLevelRule::Dissimilarity},
};

inline constexpr CoefficientMethod Coefficients[] = {
    {.Code = CoefficientCode::Euclidean,
     .ListText = "Euclidian distance",
     .CliName = "euclidean",
     .HeaderName = "EUCLIDIAN DISTANCE"},
    {.Code = CoefficientCode::Chord,
     .ListText = "Chord distance",
     .CliName = "chord",
     .HeaderName = "CHORD DISTANCE"},
    {.Code = CoefficientCode::Manhattan,
     .ListText = "Manhattan metric",
     .CliName = "manhattan",
     .HeaderName = "MANHATTAN METRIC"},
};

inline constexpr int StrategyCount = static_cast<int>(std::size(Strategies));
inline constexpr int CoefficientCount = static_cast<int>(std::size(Coefficients));

// The rows of codes; nullptr for a code outside the table.
constexpr const StrategyMethod* FindStrategy(StrategyCode code) {
  for (const StrategyMethod& method : Strategies)
    if (method.Code == code) return &method;
  return nullptr;
}
constexpr const CoefficientMethod* FindCoefficient(CoefficientCode code) {
  for (const CoefficientMethod& method : Coefficients)
    if (method.Code == code) return &method;
  return nullptr;
}

// List positions; -1 for a code outside the table.
// (By index: GCC's sanitizers make comparing a pointer with null no constant expression.)
constexpr int PositionOf(StrategyCode code) {
  for (int s = 0; s < StrategyCount; ++s)
    if (Strategies[s].Code == code) return s;
  return -1;
}
constexpr int PositionOf(CoefficientCode code) {
  for (int c = 0; c < CoefficientCount; ++c)
    if (Coefficients[c].Code == code) return c;
  return -1;
}

// How many strategies the list keeps while the run is constrained: they come first, since
// the list loses entries only from its end.
constexpr int CountKeptWhenConstrained() {
  int kept = 0;
  while (kept < StrategyCount && Strategies[kept].KeptWhenConstrained) ++kept;
  return kept;
}
inline constexpr int ConstrainedStrategyCount = CountKeptWhenConstrained();

// "Manhattan metric" stands last in its list, for the same reason.
inline constexpr int ManhattanPosition = PositionOf(CoefficientCode::Manhattan);

namespace methods_detail {
constexpr bool CodesUnique() {
  for (int a = 0; a < StrategyCount; ++a)
    for (int b = a + 1; b < StrategyCount; ++b)
      if (Strategies[a].Code == Strategies[b].Code) return false;
  for (int a = 0; a < CoefficientCount; ++a)
    for (int b = a + 1; b < CoefficientCount; ++b)
      if (Coefficients[a].Code == Coefficients[b].Code) return false;
  return true;
}
constexpr bool KeptStrategiesComeFirst() {
  for (int s = ConstrainedStrategyCount; s < StrategyCount; ++s)
    if (Strategies[s].KeptWhenConstrained) return false;
  return ConstrainedStrategyCount >= 1;
}
}  // namespace methods_detail

static_assert(methods_detail::CodesUnique(), "every method needs a code of its own");
static_assert(methods_detail::KeptStrategiesComeFirst(),
              "the strategies of a constrained run must lead the list");
static_assert(ManhattanPosition == CoefficientCount - 1,
              "the Manhattan metric must stand last in the coefficient list");

}  // namespace vardell
