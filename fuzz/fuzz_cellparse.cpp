// Fuzzes the parsing of cell texts into numbers, and checks that the quick path for plain
// decimal numbers gives exactly what the full parse gives.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/cellparse.h"

namespace {

// The parse's outcome, or nothing for an overflow.
template <class Parse>
std::optional<vardell::CellValue> OutcomeOf(Parse parse, const std::string& text) {
  try {
    return parse(text);
  } catch (const vardell::FloatingPointOverflow&) {
    return std::nullopt;
  }
}

// How many of the texts the reader's row takes, their bytes in rounded; -1 where it throws.
int RowTaken(vardell::detail::QuickReader reader, const std::vector<std::string_view>& texts,
             std::vector<double>& rounded) {
  rounded.assign(texts.size(), 0);
  try {
    return vardell::detail::QuickRoundedRowWith(reader, texts.data(),
                                                static_cast<int>(texts.size()), rounded.data());
  } catch (const vardell::FloatingPointOverflow&) {
    return -1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto value =
      OutcomeOf([](const std::string& t) { return vardell::ParseCellValue(t); }, text);
  const auto exact =
      OutcomeOf([](const std::string& t) { return vardell::ParseCellValueExactly(t); }, text);
  if (value.has_value() != exact.has_value()) std::abort();
  if (!value) return 0;
  if (value->ErrorPosition != exact->ErrorPosition || value->Value.Bytes() != exact->Value.Bytes())
    std::abort();
  // A fault lies inside the text or just after its end.
  if (value->ErrorPosition < 0 || static_cast<size_t>(value->ErrorPosition) > size + 1)
    std::abort();
  // Every reader of the quick path reads what the plain one reads, wherever it takes a text,
  // and rounds it alike.
  vardell::detail::PlainNumber plain, number;
  const bool plainTaken =
      vardell::detail::ReadQuickly(vardell::detail::QuickReader::Plain, text, plain);
  for (auto reader :
       {vardell::detail::QuickReader::Short, vardell::detail::QuickReader::ShortShuffled,
        vardell::detail::QuickReader::Wide}) {
    if (vardell::detail::ReadQuickly(reader, text, number) && !(plainTaken && number == plain))
      std::abort();
    const std::string_view view = text;
    double rounded = 0, plainRounded = 0;
    if (vardell::detail::QuickRoundedRowWith(reader, &view, 1, &rounded) == 1 &&
        (vardell::detail::QuickRoundedRowWith(vardell::detail::QuickReader::Plain, &view, 1,
                                              &plainRounded) != 1 ||
         std::bit_cast<std::uint64_t>(rounded) != std::bit_cast<std::uint64_t>(plainRounded)))
      std::abort();
  }
  // The input's lines as a row of cells: every reader stops, throws and rounds as the plain
  // one does, also those that take several cells at once.
  std::vector<std::string_view> row;
  for (std::string_view rest = text; row.size() < 40;) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    row.push_back(rest.substr(0, end));
    if (end == rest.size()) break;
    rest.remove_prefix(end + 1);
  }
  std::vector<double> plainRow, readerRow;
  const int plainCount = RowTaken(vardell::detail::QuickReader::Plain, row, plainRow);
  for (auto reader :
       {vardell::detail::QuickReader::Short, vardell::detail::QuickReader::ShortShuffled,
        vardell::detail::QuickReader::Wide}) {
    if (!vardell::detail::Available(reader)) continue;
    if (RowTaken(reader, row, readerRow) != plainCount) std::abort();
    for (int k = 0; k < plainCount; ++k)
      if (std::bit_cast<std::uint64_t>(readerRow[k]) != std::bit_cast<std::uint64_t>(plainRow[k]))
        std::abort();
  }
  // A stored number is never a NaN or an infinity.
  const double stored = value->Value.ToDouble();
  if (stored != stored || stored - stored != 0) std::abort();
  return 0;
}
