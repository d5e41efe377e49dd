#include "cli/options.h"

#include <charconv>

#include "analysis/methods.h"
#include "diagram/drawingscale.h"
#include "diagram/scalefield.h"

namespace vardell {
namespace {

// The list position of the method with the command-line name; the names are the methods
// table's.
template <class Method, std::size_t N>
std::optional<int> PositionNamed(const Method (&methods)[N], const std::string& name) {
  for (std::size_t i = 0; i < N; ++i)
    if (name == methods[i].CliName) return static_cast<int>(i);
  return std::nullopt;
}

// An option's line of help naming its methods, "a (default), b, c", continued on lines of
// their own at the width of a terminal. The first name is the list's first entry, which a run
// takes when the option is not given.
template <class Method, std::size_t N>
std::string MethodOptionHelp(const std::string& option, const Method (&methods)[N]) {
  constexpr std::size_t Width = 80;
  std::string text = option;
  std::size_t lineLength = option.size();
  for (std::size_t i = 0; i < N; ++i) {
    const std::string item =
        std::string(methods[i].CliName) + (i == 0 ? " (default)" : "") + (i + 1 < N ? "," : "");
    const bool wraps = i > 0 && lineLength + 1 + item.size() > Width;
    if (wraps)
      text.append(1, '\n').append(option.size(), ' ');  // not "\n" + ...: -Wrestrict at -O3
    else if (i > 0)
      text += ' ';
    lineLength = (wraps ? option.size() : lineLength + (i > 0)) + item.size();
    text += item;
  }
  return text + "\n";
}

std::optional<int> ParseCount(const std::string& text, int minimum) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || ptr != end || text.empty() || value < minimum) return std::nullopt;
  return value;
}

UsageError Usage(const std::string& problem) { return UsageError{problem}; }

// A number as the results window's scale and tick fields take it: their syntax, above 0.
std::optional<double> ParsePositiveNumber(const std::string& text) {
  const std::optional<double> value = ParseScaleField(text);
  return value && *value > 0 ? value : std::nullopt;
}

bool DrawingRequested(const CliOptions& options) {
  return options.TickUnits || options.TickAuto || options.VscaleMm || options.HscaleMm ||
         !options.FontFamily.empty() || options.FontPoints;
}

// Sets one of the drawing options from its value; the problem, or nothing.
std::optional<std::string> TakeDrawingOption(const std::string& option, const std::string& value,
                                             CliOptions& options) {
  if (option == "--tick") {
    options.TickAuto = value == "auto";
    if (options.TickAuto) return std::nullopt;
    options.TickUnits = ParsePositiveNumber(value);
    if (!options.TickUnits)
      return "--tick needs a number of distance units greater than 0, or auto";
  } else if (option == "--vertical-scale" || option == "--horizontal-scale") {
    std::optional<double>& scale =
        option == "--vertical-scale" ? options.VscaleMm : options.HscaleMm;
    scale = ParsePositiveNumber(value);
    if (!scale) return option + " needs a number of millimetres greater than 0";
  } else if (option == "--font") {
    if (value.empty()) return "--font needs a font family";
    options.FontFamily = value;
  } else {
    options.FontPoints = ParseCount(value, SmallestFontPoints);
    static_assert(SmallestFontPoints == 6 && LargestFontPoints == 24, "the text names them");
    if (!options.FontPoints || *options.FontPoints > LargestFontPoints)
      return "--font-size needs a whole number of points from 6 to 24";
  }
  return std::nullopt;
}

bool IsDrawingOption(const std::string& option) {
  return option == "--tick" || option == "--vertical-scale" || option == "--horizontal-scale" ||
         option == "--font" || option == "--font-size";
}

bool CutRequested(const CliOptions& options) { return options.Zones || options.ZonesAuto; }

// What the zonation options ask of each other and of the run; the problem, or nothing.
std::optional<std::string> ZoneOptionProblem(const CliOptions& options) {
  // The broken stick reads levels that are the running total of dispersion.
  const bool dispersion = options.StrategyEntry >= 0 &&
                          options.StrategyEntry < static_cast<int>(std::size(Strategies)) &&
                          Strategies[options.StrategyEntry].Level == FusionLevelRule::Dispersion;
  const bool brokenStickRun = options.Constrained && dispersion;
  if (options.ZonesAuto && !brokenStickRun)
    return "--zones auto needs a constrained minimum-variance run (--constrained, "
           "--strategy minimum-variance)";
  if (!options.BrokenStickPath.empty() && !brokenStickRun)
    return "--broken-stick needs a constrained minimum-variance run (--constrained, "
           "--strategy minimum-variance)";
  if (!options.ZoneTablePath.empty() && !options.Constrained)
    return "--zone-table needs a constrained run (--constrained)";
  if (!options.ZoneTablePath.empty() && !CutRequested(options)) return "--zone-table needs --zones";
  if (!options.MembershipsPath.empty() && !CutRequested(options))
    return "--memberships needs --zones";
  int toStandardOutput = 0;
  for (const std::string* path : {&options.FusionsPath, &options.ZoneTablePath,
                                  &options.MembershipsPath, &options.BrokenStickPath})
    toStandardOutput += *path == "-";
  if (toStandardOutput > 1)
    return "only one of --fusions, --zone-table, --memberships and --broken-stick can write "
           "to standard output";
  return std::nullopt;
}

}  // namespace

const char* UsageLine() {
  return "usage: vardell-cli FILE [--strategy NAME] [--coefficient NAME] [--constrained] "
         "[--depth-column N] [--id-column N] [--data-columns LIST] [--fusions PATH|-] "
         "[--zones K|auto] [--zone-table PATH|-] [--memberships PATH|-] "
         "[--broken-stick PATH|-] [--export PATH] [--tick UNITS|auto] [--vertical-scale MM] "
         "[--horizontal-scale MM] [--font FAMILY] [--font-size PT]";
}

std::string HelpText() {
  return std::string(UsageLine()) +
         "\n\n"
         "Loads FILE as the \"Data File\" command does (row-column .DAT files, dBase, Paradox\n"
         "and text tables), runs one cluster analysis and writes its results.\n\n" +
         MethodOptionHelp("  --strategy NAME      ", Strategies) +
         MethodOptionHelp("  --coefficient NAME   ", Coefficients) +
         "  --constrained        stratigraphically constrained clustering\n"
         "  --depth-column N     depth / order column, grid column from 1 (default 1)\n"
         "  --id-column N        column of the object identifiers (default 0: none)\n"
         "  --data-columns LIST  data columns such as 2-5,8 (default: all columns but the\n"
         "                       identifier column); the depth column of a constrained run\n"
         "                       is passed over\n"
         "  --fusions PATH       fusion table as CSV (- for standard output):\n"
         "                       step,child1,child2,level,size,first_object\n"
         "                       Objects are 0-based data rows of the file.\n"
         "  --zones K|auto       cut the tree into K groups (zones in a constrained run) by\n"
         "                       undoing its last K-1 fusions; auto takes the broken-stick\n"
         "                       suggestion of a constrained minimum-variance run\n"
         "  --zone-table PATH    the zones of a constrained run's cut as CSV:\n"
         "                       zone,samples,first_object,last_object,top_depth,\n"
         "                       bottom_depth,boundary_below\n"
         "  --memberships PATH   every object's group of the cut as CSV, in file order:\n"
         "                       object,label,depth,group\n"
         "  --broken-stick PATH  observed and expected reductions of dispersion of a\n"
         "                       constrained minimum-variance run as CSV:\n"
         "                       groups,reduction,expected\n"
         "  --export PATH        tree diagram: .emf, .svg, .png (screen picture) or .pdf\n"
         "                       (printed page); with --zones the cut is drawn\n"
         "  --tick UNITS|auto    distance units from one tick to the next (default 10); auto\n"
         "                       takes 1, 2 or 5 x 10^k for 4 to 10 ticks over the axis\n"
         "  --vertical-scale MM  millimetres per depth unit (default: fitted to the picture)\n"
         "  --horizontal-scale MM\n"
         "                       millimetres per distance unit (default: fitted); a scale\n"
         "                       not given stays fitted; the .emf is always fitted\n"
         "  --font FAMILY        font of the .svg and .png picture (default: the desktop's\n"
         "                       sans-serif, 11 pixels high); no symbol or math fonts\n"
         "  --font-size PT       its size, 6 to 24 points\n"
         "  --help               this text\n"
         "  --version            the program's version\n\n"
         "Exit status: 0 success, 1 the file cannot be loaded, the run refuses the data or\n"
         "an output cannot be written, 2 usage error.\n";
}

std::optional<std::vector<int>> ParseColumnList(const std::string& list) {
  std::vector<int> columns;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    std::string item =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::size_t dash = item.find('-');
    auto first = ParseCount(item.substr(0, dash), 1);
    auto last = dash == std::string::npos ? first : ParseCount(item.substr(dash + 1), 1);
    if (!first || !last || *last < *first || *last - *first > 100000) return std::nullopt;
    // Far more columns than any file has: refused before the list grows without bound.
    if (columns.size() + (*last - *first) > 100000) return std::nullopt;
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
    } else if (argument == "--version") {
      options.Version = true;
    } else if (argument == "--constrained") {
      if (hasInlineValue) return Usage("--constrained takes no value");
      options.Constrained = true;
    } else if (argument == "--strategy" || argument == "--coefficient" ||
               argument == "--depth-column" || argument == "--id-column" ||
               argument == "--data-columns" || argument == "--fusions" || argument == "--export" ||
               argument == "--zones" || argument == "--zone-table" || argument == "--memberships" ||
               argument == "--broken-stick") {
      auto v = takeValue();
      if (!v) return Usage(argument + " needs a value");
      if (argument == "--strategy") {
        auto position = PositionNamed(Strategies, *v);
        if (!position) return Usage("unknown strategy \"" + *v + "\"");
        options.StrategyEntry = *position;
      } else if (argument == "--coefficient") {
        auto position = PositionNamed(Coefficients, *v);
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
      } else if (v->empty() && argument != "--zones") {  // every other option here is a path
        return Usage("The " + argument + " option needs a path.");
      } else if (argument == "--fusions") {
        options.FusionsPath = *v;
      } else if (argument == "--zones") {
        options.ZonesAuto = *v == "auto";
        options.Zones = options.ZonesAuto ? std::nullopt : ParseCount(*v, 1);
        if (!options.ZonesAuto && !options.Zones)
          return Usage("--zones needs a number of zones from 1, or auto");
      } else if (argument == "--zone-table") {
        options.ZoneTablePath = *v;
      } else if (argument == "--memberships") {
        options.MembershipsPath = *v;
      } else if (argument == "--broken-stick") {
        options.BrokenStickPath = *v;
      } else {
        options.ExportPath = *v;
      }
    } else if (IsDrawingOption(argument)) {
      auto v = takeValue();
      if (!v) return Usage(argument + " needs a value");
      if (auto problem = TakeDrawingOption(argument, *v, options)) return Usage(*problem);
    } else if (argument.size() > 1 && argument[0] == '-') {
      return Usage("unknown option " + argument);
    } else {
      files.push_back(argument);
    }
  }
  if (options.Help || options.Version) return options;
  if (files.size() != 1)
    return Usage(files.empty() ? "no data file given" : "more than one data file given");
  options.File = files.front();
  if (auto problem = ZoneOptionProblem(options)) return Usage(*problem);
  if (DrawingRequested(options) && options.ExportPath.empty())
    return Usage(
        "--tick, --vertical-scale, --horizontal-scale, --font and --font-size need --export");
  return options;
}

}  // namespace vardell
