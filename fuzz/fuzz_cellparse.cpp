// Fuzzes the parsing of cell texts into numbers, and checks that the quick path for plain
// decimal numbers gives exactly what the full parse gives.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

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
       {vardell::detail::QuickReader::Short, vardell::detail::QuickReader::ShortShuffled}) {
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
  // A stored number is never a NaN or an infinity.
  const double stored = value->Value.ToDouble();
  if (stored != stored || stored - stored != 0) std::abort();
  return 0;
}
