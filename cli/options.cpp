#include "cli/options.h"

#include <charconv>

namespace vardell {
namespace {

// Names in the order of the parameter window's lists.
const char* const StrategyNames[] = {"minimum-variance",   "furthest-neighbour",
                                     "nearest-neighbour",  "centroid-sorting",
                                     "weighted-pairgroup", "unweighted-pairgroup"};
const char* const CoefficientNames[] = {"euclidean", "chord", "manhattan"};

template <std::size_t N>
std::optional<int> PositionOf(const char* const (&names)[N], const std::string& name) {
  for (std::size_t i = 0; i < N; ++i)
    if (name == names[i]) return static_cast<int>(i);
  return std::nullopt;
}

std::optional<int> ParseCount(const std::string& text, int minimum) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || ptr != end || text.empty() || value < minimum) return std::nullopt;
  return value;
}

UsageError Usage(const std::string& problem) { return UsageError{problem}; }

}  // namespace

const char* UsageLine() {
  return "usage: vardell-cli FILE [--strategy NAME] [--coefficient NAME] [--constrained] "
         "[--depth-column N] [--id-column N] [--data-columns LIST] [--fusions PATH|-] "
         "[--export PATH]";
}

std::string HelpText() {
  return std::string(UsageLine()) +
         "\n\n"
         "Loads FILE as the \"Data File\" command does (row-column .DAT files, dBase, Paradox\n"
         "and text tables), runs one cluster analysis and writes its results.\n\n"
         "  --strategy NAME      minimum-variance (default), furthest-neighbour,\n"
         "                       nearest-neighbour, centroid-sorting, weighted-pairgroup,\n"
         "                       unweighted-pairgroup\n"
         "  --coefficient NAME   euclidean (default), chord, manhattan\n"
         "  --constrained        stratigraphically constrained clustering\n"
         "  --depth-column N     depth / order column, grid column from 1 (default 1)\n"
         "  --id-column N        column of the object identifiers (default 0: none)\n"
         "  --data-columns LIST  data columns such as 2-5,8 (default: all columns but the\n"
         "                       identifier column); the depth column of a constrained run\n"
         "                       is passed over\n"
         "  --fusions PATH       fusion table as CSV (- for standard output):\n"
         "                       step,child1,child2,level,size,first_object\n"
         "  --export PATH        tree diagram: .emf, .svg, .png (screen picture) or .pdf\n"
         "                       (printed page)\n"
         "  --help               this text\n\n"
         "Exit status: 0 success, 1 the file cannot be loaded or the run refuses the data,\n"
         "2 usage error.\n";
}

std::optional<std::vector<int>> ParseColumnList(const std::string& list) {
  std::vector<int> columns;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::size_t dash = item.find('-');
    auto first = ParseCount(item.substr(0, dash), 1);
    auto last = dash == std::string::npos ? first : ParseCount(item.substr(dash + 1), 1);
    if (!first || !last || *last < *first || *last - *first > 100000) return std::nullopt;
    for (int c = *first; c <= *last; ++c) columns.push_back(c);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return columns;
}

std::variant<CliOptions, UsageError> ParseCommandLine(const std::vector<std::string>& arguments) {
  CliOptions options;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    std::string value;
    bool hasInlineValue = false;
    if (argument.rfind("--", 0) == 0 && argument.find('=') != std::string::npos) {
      value = argument.substr(argument.find('=') + 1);
      argument = argument.substr(0, argument.find('='));
      hasInlineValue = true;
    }
    const auto takeValue = [&]() -> std::optional<std::string> {
      if (hasInlineValue) return value;
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (argument == "--help" || argument == "-h") {
      options.Help = true;
    } else if (argument == "--constrained") {
      if (hasInlineValue) return Usage("--constrained takes no value");
      options.Constrained = true;
    } else if (argument == "--strategy" || argument == "--coefficient" ||
               argument == "--depth-column" || argument == "--id-column" ||
               argument == "--data-columns" || argument == "--fusions" || argument == "--export") {
      auto v = takeValue();
      if (!v) return Usage(argument + " needs a value");
      if (argument == "--strategy") {
        auto position = PositionOf(StrategyNames, *v);
        if (!position) return Usage("unknown strategy \"" + *v + "\"");
        options.StrategyEntry = *position;
      } else if (argument == "--coefficient") {
        auto position = PositionOf(CoefficientNames, *v);
        if (!position) return Usage("unknown coefficient \"" + *v + "\"");
        options.CoefficientEntry = *position;
      } else if (argument == "--depth-column") {
        auto n = ParseCount(*v, 1);
        if (!n) return Usage("--depth-column needs a column number from 1");
        options.DepthColumn = *n;
      } else if (argument == "--id-column") {
        auto n = ParseCount(*v, 0);
        if (!n) return Usage("--id-column needs a column number (0 for none)");
        options.IdColumn = *n;
      } else if (argument == "--data-columns") {
        options.DataColumns = ParseColumnList(*v);
        if (!options.DataColumns) return Usage("--data-columns needs a list such as 2-5,8");
      } else if (argument == "--fusions") {
        options.FusionsPath = *v;
      } else {
        options.ExportPath = *v;
      }
    } else if (argument.size() > 1 && argument[0] == '-') {
      return Usage("unknown option " + argument);
    } else {
      files.push_back(argument);
    }
  }
  if (options.Help) return options;
  if (files.size() != 1) return Usage(files.empty() ? "no data file given" : "more than one data file given");
  options.File = files.front();
  return options;
}

}  // namespace vardell
