// Fuzzes the command line of vardell-cli: arguments are the input split at zero bytes. An
// accepted command line names one data file and only entries and columns that exist.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/methods.h"
#include "cli/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vardell;
  std::vector<std::string> arguments(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      arguments.emplace_back();
    else
      arguments.back() += static_cast<char>(data[i]);
  }
  const auto parsed = ParseCommandLine(arguments);
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    if (usage->Text.empty()) std::abort();
    return 0;
  }
  const CliOptions& options = std::get<CliOptions>(parsed);
  if (options.Help || options.Version) return 0;  // neither needs a data file
  if (options.StrategyEntry < 0 || options.StrategyEntry >= StrategyCount) std::abort();
  if (options.CoefficientEntry < 0 || options.CoefficientEntry >= CoefficientCount) std::abort();
  if (options.DepthColumn < 1 || options.IdColumn < 0) std::abort();
  if (options.DataColumns)
    for (int column : *options.DataColumns)
      if (column < 1) std::abort();
  bool named = false;
  for (const std::string& argument : arguments) named = named || argument == options.File;
  if (!named) std::abort();
  return 0;
}
