#pragma once
#include <cstdint>
#include <string_view>

#include "analysis/storagereal.h"

namespace vardell {

struct CellValue {
  StorageReal Value;
  std::int32_t ErrorPosition = 0;  // 0 on success, else the position (from 1) of the fault
};

// The parse of ParseCellValue below without its quick path for plain decimal numbers: the
// reference the quick path is checked against (ParseCellValue gives exactly its results and
// throws alike).
CellValue ParseCellValueExactly(std::string_view text);

// The quick path alone: true with the stored value of a plain decimal number (spaces, a sign,
// at most 19 significant digits with an optional point, an exponent of at most 4 digits, a
// value of m * 10^s with |s| <= 22) where a double or double-double approximation decides it;
// false where the text needs the full parse. Throws FloatingPointOverflow as ParseCellValue
// does.
bool QuickCellValue(std::string_view text, StorageReal& stored);

namespace detail {
// The quick path's value as the double the stored value equals (0 for zero), so that the
// caller packs the six bytes once, where it keeps them.
bool QuickRounded(std::string_view text, double& rounded);
// QuickRounded for texts[0], texts[1], ... in turn, up to the first it does not take: returns
// how many it took (count when all), their values in rounded (whose places after them may be
// written too). Throws as QuickRounded does.
int QuickRoundedRow(const std::string_view* texts, int count, double* rounded);

// The readers of the quick path, for tests: the plain one reads every plain decimal number;
// three more read the common short ones faster, one portable, one with the byte shuffles of
// newer x86-64 processors, one with their 512-bit instructions, four texts at a time (where
// Available says the processor has them). QuickRoundedRow uses the fastest there is; each
// must give the plain reader's numbers.
enum class QuickReader { Plain, Short, ShortShuffled, Wide };
bool Available(QuickReader reader);
struct PlainNumber {
  bool Negative = false;
  std::uint64_t Digits = 0;  // below 10^19
  int Scale = 0;             // the number is Digits * 10^Scale
  bool operator==(const PlainNumber&) const = default;
};
// What the reader makes of text; false where it leaves the text to another.
bool ReadQuickly(QuickReader reader, std::string_view text, PlainNumber& number);
// QuickRoundedRow with the given short reader (Plain: none).
int QuickRoundedRowWith(QuickReader reader, const std::string_view* texts, int count,
                        double* rounded);
}  // namespace detail

// Parses a cell text as a number. A fault inside the text gets one second attempt with the
// offending character read as a decimal point, so "2,5" and "2x5" read 2.5. Throws
// FloatingPointOverflow for a number too large for the storage real.
inline CellValue ParseCellValue(std::string_view text) {
  if (double rounded = 0; detail::QuickRounded(text, rounded))
    return CellValue{StorageReal::FromRounded(rounded), 0};
  return ParseCellValueExactly(text);
}

}  // namespace vardell
