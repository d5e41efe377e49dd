// vardell-cli: loads a data file, runs one cluster analysis and writes the fusion table or
// the tree diagram, without windows.

#include <QGuiApplication>
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>

#include "analysis/fileloading.h"
#include "analysis/parameterchoices.h"
#include "cli/fusiontable.h"
#include "cli/options.h"
#include "diagram/drawing.h"
#include "diagram/layout.h"
#include "diagram/surfaces/exports.h"
#include "diagram/surfaces/temporaryfile.h"
#include "engine/analysisrun.h"
#include "engine/zonation.h"
#include "engine/zonetables.h"
#include "version.h"

namespace vardell {
namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

int UsageFailure(const std::string& problem) {
  std::cerr << "vardell-cli: " << problem << "\n" << UsageLine() << "\n";
  return ExitUsage;
}

int Failure(const std::string& text) {
  std::cerr << text << "\n";
  return ExitFailure;
}

// Selects the options' columns in the lists a load filled; a problem is a usage error.
std::optional<std::string> ChooseColumns(const CliOptions& options, ColumnLists& lists) {
  const int columns = lists.DataCol.Count();
  const auto outOfRange = [&](const char* what, int column) {
    return std::string(what) + " " + std::to_string(column) + " is out of range (the file has " +
           std::to_string(columns) + " columns)";
  };
  if (options.DepthColumn > columns && columns > 0)
    return outOfRange("depth column", options.DepthColumn);
  if (options.IdColumn > columns) return outOfRange("identifier column", options.IdColumn);
  if (columns > 0) lists.Depth.SelectOnly(options.DepthColumn - 1);
  lists.Id.SelectOnly(options.IdColumn);
  for (int e = 0; e < columns; ++e) lists.DataCol.SetSelected(e, !options.DataColumns);
  if (options.DataColumns) {
    for (int column : *options.DataColumns) {
      if (column > columns) return outOfRange("data column", column);
      if (column == options.IdColumn)
        return "the identifier column " + std::to_string(column) + " cannot also be a data column";
      lists.DataCol.SetSelected(column - 1, true);
    }
  } else if (options.IdColumn >= 1) {
    // As in the window: the identifier column is never at the same time a data column.
    lists.DataCol.SetSelected(options.IdColumn - 1, false);
  }
  return std::nullopt;
}

// One table to standard output ("-") or, written completely beside it and renamed, to a file.
int WriteTable(const std::string& path, const char* what,
               const std::function<void(std::ostream&)>& write) {
  std::ostringstream text;
  write(text);
  if (path == "-") {
    std::cout << text.str();
    std::cout.flush();
    return std::cout ? EXIT_SUCCESS
                     : Failure(std::string("Cannot write the ") + what + " to standard output.");
  }
  try {
    WriteFileAtomically(path, text.str());
  } catch (const std::runtime_error&) {
    return Failure(std::string("Cannot write the ") + what + " to " + path + ".");
  }
  return EXIT_SUCCESS;
}

// The number of groups --zones asks for: a count, or the broken-stick suggestion.
int RequestedGroups(const CliOptions& options, const Analysis& analysis) {
  if (options.Zones) return *options.Zones;
  return BrokenStickTable(analysis.TreeRoot.get(), analysis.Matrix.ObjectCount).Suggestion;
}

// The tables the options ask for, in the order of the options' help.
int WriteTables(const CliOptions& options, const Analysis& analysis,
                const std::optional<TreeCut>& cut) {
  struct Table {
    const std::string& Path;
    const char* What;
    std::function<void(std::ostream&)> Write;
  } const tables[] = {
      {options.FusionsPath, "fusion table",
       [&](std::ostream& out) { WriteFusionTable(analysis, out); }},
      {options.ZoneTablePath, "zone table",
       [&](std::ostream& out) { WriteZoneTable(analysis, *cut, out); }},
      {options.MembershipsPath, "memberships",
       [&](std::ostream& out) { WriteMemberships(analysis, *cut, out); }},
      {options.BrokenStickPath, "broken-stick table",
       [&](std::ostream& out) {
         WriteBrokenStick(BrokenStickTable(analysis.TreeRoot.get(), analysis.Matrix.ObjectCount),
                          out);
       }},
  };
  for (const Table& table : tables) {
    if (table.Path.empty()) continue;
    if (int status = WriteTable(table.Path, table.What, table.Write)) return status;
  }
  return EXIT_SUCCESS;
}

// The offscreen application the drawings need, started only for --export.
std::unique_ptr<QGuiApplication> StartDrawing(int& argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's notes about the desktop session are noise on a terminal; errors still come through.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << "\n";
  });
  auto application = std::make_unique<QGuiApplication>(argc, argv);
  std::setlocale(LC_NUMERIC, "C");  // Qt took the desktop's; drawings write full stops
  return application;
}

// The screen picture's font: the window's default, or the family and size the options name.
// Only the families the window's font dialog offers are taken.
std::optional<QFont> ChosenFont(const CliOptions& options) {
  QFont font = DefaultDiagramFont();
  if (!options.FontFamily.empty()) {
    const QString family = QString::fromStdString(options.FontFamily);
    const QStringList families = WesternFontFamilies();
    const auto found = std::find_if(families.begin(), families.end(), [&](const QString& f) {
      return f.compare(family, Qt::CaseInsensitive) == 0;
    });
    if (found == families.end()) return std::nullopt;
    font.setFamily(*found);
  }
  if (options.FontPoints) font.setPointSize(*options.FontPoints);
  return font;
}

// The tick and scales the options give, as the window's fields would set them.
void ApplyDrawingOptions(const CliOptions& options, const Analysis& analysis, DrawingScale& scale) {
  if (options.TickUnits) scale.TickUnits = *options.TickUnits;
  if (options.TickAuto) scale.TickUnits = AutomaticTickUnits(DiagramDistanceExtent(analysis));
  scale.ScaleFixed = options.VscaleMm || options.HscaleMm;
  scale.VscaleFitted = !options.VscaleMm;
  scale.HscaleFitted = !options.HscaleMm;
  if (options.VscaleMm) scale.VscaleMm = *options.VscaleMm;
  if (options.HscaleMm) scale.HscaleMm = *options.HscaleMm;
}

int Run(const CliOptions& options, int argc, char** argv) {
  std::unique_ptr<QGuiApplication> application;
  std::optional<QFont> font;
  if (!options.ExportPath.empty()) {
    application = StartDrawing(argc, argv);
    font = ChosenFont(options);
    if (!font)
      return UsageFailure("--font: no font family \"" + options.FontFamily +
                          "\" that writes Western text is installed");
  }

  DataGrid grid;
  ColumnLists lists;
  ResetColumnLists(lists);
  // As the open dialog does, the loader gets a full path.
  std::error_code unresolved;
  std::filesystem::path file = std::filesystem::absolute(options.File, unresolved);
  if (unresolved) file = options.File;
  if (auto message = LoadDataFile(file.string(), grid, lists)) return Failure(message->Text);
  if (auto problem = ChooseColumns(options, lists)) return UsageFailure(*problem);

  // Set directly, not through the window's rules: every combination the engine accepts runs,
  // also those the window never offers (constrained nearest neighbour, for one).
  ParameterChoices source(grid, lists);
  source.Algo.SelectOnly(options.StrategyEntry);
  source.Dist.SelectOnly(options.CoefficientEntry);
  source.Constrained = options.Constrained;
  AnalysisStore store;
  if (auto message = RunAnalysis(source, store)) return Failure(message->Text);

  const Analysis& analysis = store.Current();
  std::optional<TreeCut> cut;  // also drawn in the export
  if (options.Zones || options.ZonesAuto) {
    const int groups = RequestedGroups(options, analysis), n = analysis.Matrix.ObjectCount;
    if (groups > n)
      return UsageFailure("--zones " + std::to_string(groups) + " is out of range (the run has " +
                          std::to_string(n) + " objects)");
    cut = CutTree(analysis.TreeRoot.get(), n, groups, analysis.Settings.Constrained);
  }
  if (int status = WriteTables(options, analysis, cut)) return status;
  if (application) {
    TreeDiagram diagram;
    if (cut) diagram.CutGroups = static_cast<int>(cut->Groups.size());
    ApplyDrawingOptions(options, store.Current(), diagram.Scale);
    ExportDiagramFile(diagram, store.Current(), options.ExportPath, *font);
  }
  return EXIT_SUCCESS;
}

}  // namespace
}  // namespace vardell

int main(int argc, char** argv) {
  using namespace vardell;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  auto parsed = ParseCommandLine(arguments);
  if (auto* usage = std::get_if<UsageError>(&parsed)) return UsageFailure(usage->Text);
  const CliOptions& options = std::get<CliOptions>(parsed);
  if (options.Help) {
    std::cout << HelpText();
    return EXIT_SUCCESS;
  }
  if (options.Version) {
    std::cout << "vardell-cli " VARDELL_VERSION "\n";
    return EXIT_SUCCESS;
  }
  try {
    return Run(options, argc, argv);
  } catch (const std::exception& error) {
    return Failure(WithFullStop(error.what()));
  }
}
