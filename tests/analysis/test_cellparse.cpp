#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../support_commalocale.h"
#include "analysis/cellparse.h"
#include "analysis/tableencoding.h"
#include "tests/x87.h"

namespace vardell {
namespace {

TEST(ParseCellValue, Numbers) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {"-3.25", -3.25},
      {"+7", 7},
      {"   12.5", 12.5},
      {".", 0},
      {"-.5", -0.5},
      {"5.", 5},
      {"1E3", 1000},
      {"2.5e-1", 0.25},
      {"1e+2", 100},
      {"E5", 0},
      {"-E2", 0},
      {"007", 7},
      // one stray character is read as the decimal point
      {"2,5", 2.5},
      {"2x5", 2.5},
      {"12a", 12},
      {"7 ", 7},
      {"a", 0},
      {"-,5", -0.5},
      {"1,5E2", 150},
      {"--1", -0.1},
      {" 7 7", 7.7},
      // the stray character is one character, however many bytes its UTF-8 takes
      {"5\u00B0", 5},
      {"12\u00B5", 12},
      {"7\u00A0", 7},
      {"2\u00B75", 2.5},
      {"3\u20AC5", 3.5},
      {"\u00B0", 0},
      {"1\xB0", 1},  // a lone byte of no sequence
      // the slow path of long and large numbers
      {"1.5E30", 1.5e30},
      {"0.12345678901234567890", 0.12345678901234567890},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CellValue parsed = ParseCellValue(c.text);
    EXPECT_EQ(parsed.ErrorPosition, 0);
    EXPECT_EQ(parsed.Value.ToDouble(), StorageReal(c.value).ToDouble());
  }
}

TEST(ParseCellValue, NonNumericTextsAndTheirErrorPositions) {
  struct Case {
    const char* text;
    int position;  // where the last attempt failed
  } cases[] = {
      {"", 1},  // the text ends where a number is required
      {"   ", 4},   {"-", 2},       {"+", 2},  {"1E", 3},  {"1e-", 4},
      {"E", 2},     {"1,000.5", 6},  // thousands comma and decimal point: two stray characters
      {"7  ", 3},                    // 7 followed by two spaces
      {"1.2.3", 4}, {"1e5x", 4},    {"ab", 2}, {"1Ex", 3}, {"5\u00B0\u00B0", 3},  // two stray
                                                                                  // characters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseCellValue(c.text).ErrorPosition, c.position);
  }
}

// What the loader makes of a Windows-1252 file: one character of two UTF-8 bytes.
TEST(ParseCellValue, StrayCharactersOfWindows1252Files) {
  for (const auto& [bytes, value] : {std::pair{"5\xB0", 5.0},
                                     {"12\xB5", 12.0},
                                     {"7\xA0", 7.0},
                                     {"2\xB7"
                                      "5",
                                      2.5}}) {
    const CellValue parsed = ParseCellValue(Windows1252ToUtf8(bytes));
    EXPECT_EQ(parsed.ErrorPosition, 0) << bytes;
    EXPECT_EQ(parsed.Value.ToDouble(), StorageReal(value).ToDouble()) << bytes;
  }
}

// A desktop that writes decimals with a comma changes nothing, on the quick path or the full.
TEST(ParseCellValue, SameUnderACommaLocale) {
  const char* const texts[] = {"2.5",
                               "2,5",
                               "-7.25e-3",
                               "1.5E30",
                               "0.12345678901234567890",
                               "123456789012345678901234567.5",
                               "1e-4000",
                               "1.7E38",
                               "x"};
  std::vector<CellValue> plain;
  for (const char* text : texts) plain.push_back(ParseCellValue(text));
  testing::ScopedCommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << comma.Reason();
  for (std::size_t t = 0; t < plain.size(); ++t) {
    const CellValue parsed = ParseCellValue(texts[t]);
    EXPECT_EQ(parsed.ErrorPosition, plain[t].ErrorPosition) << texts[t];
    EXPECT_EQ(parsed.Value.Bytes(), plain[t].Value.Bytes()) << texts[t];
  }
}

TEST(ParseCellValue, ValuesAreStoredAtStoragePrecision) {
  EXPECT_EQ(ParseCellValue("0.1").Value.Bytes(), StorageReal(0.1).Bytes());
  EXPECT_EQ(ParseCellValue("1.7E38").Value.ToDouble(), StorageReal(1.7e38).ToDouble());
  EXPECT_EQ(ParseCellValue("1E-40").Value.ToDouble(), 0);  // below the smallest magnitude
  EXPECT_THROW(ParseCellValue("1E39"), FloatingPointOverflow);
  EXPECT_THROW(ParseCellValue("-2e99999"), FloatingPointOverflow);
}

}  // namespace
}  // namespace vardell

namespace vardell {
namespace {

#if VARDELL_HAS_X87
// Short and long numbers must give what the C library's full decimal conversion into the x87
// format gives.
TEST(ParseCellValue, AgreesWithTheX87Conversion) {
  std::mt19937_64 random(42);
  const char* const shapes[] = {"%.*f", "%.*e", "%.*g"};
  for (int t = 0; t < 100000; ++t) {
    char text[64];
    const double magnitude = std::ldexp(static_cast<double>(random() % 1000000) / 7.0,
                                        static_cast<int>(random() % 80) - 40);
    std::snprintf(text, sizeof text, shapes[t % 3], static_cast<int>(random() % 22), magnitude);
    CellValue parsed = ParseCellValue(text);
    ASSERT_EQ(parsed.ErrorPosition, 0) << text;
    ASSERT_EQ(parsed.Value.Bytes(),
              StorageReal(testing::FromX87(std::strtold(text, nullptr))).Bytes())
        << text;
  }
}
#endif

}  // namespace
}  // namespace vardell

namespace vardell {
namespace {

// The parse's outcome for a text: its bytes and error position, or an overflow.
struct Outcome {
  bool Overflow = false;
  CellValue Value;
  bool operator==(const Outcome& o) const {
    return Overflow == o.Overflow && Value.Value.Bytes() == o.Value.Value.Bytes() &&
           Value.ErrorPosition == o.Value.ErrorPosition;
  }
};

template <class Parse>
Outcome OutcomeOf(Parse parse, const std::string& text) {
  Outcome outcome;
  try {
    outcome.Value = parse(text);
  } catch (const FloatingPointOverflow&) {
    outcome.Overflow = true;
  }
  return outcome;
}

// Whether the quick path takes the text; an overflow it throws counts as taken.
bool TakenQuickly(const std::string& text) {
  StorageReal stored;
  try {
    return QuickCellValue(text, stored);
  } catch (const FloatingPointOverflow&) {
    return true;
  }
}

void ExpectSameAsTheFullParse(const std::string& text) {
  const Outcome quick = OutcomeOf([](const std::string& t) { return ParseCellValue(t); }, text);
  const Outcome full =
      OutcomeOf([](const std::string& t) { return ParseCellValueExactly(t); }, text);
  ASSERT_EQ(quick.Overflow, full.Overflow) << text;
  ASSERT_TRUE(quick == full) << text;
}

// digits written with a point before position point (none if point < 0) and an exponent.
std::string DecimalText(const std::string& digits, int point, int exponent) {
  std::string text = digits;
  if (point >= 0) {
    text.insert(static_cast<std::size_t>(point), ".");
    exponent += static_cast<int>(digits.size()) - point;
  }
  return exponent == 0 && point >= 0 ? text : text + "e" + std::to_string(exponent);
}

TEST(ParseCellValue, QuickPathGivesTheFullParsesBytes) {
  std::mt19937_64 random(20261208);
  const char* const prefixes[] = {"", "", "-", "+", " ", "  -"};
  for (int t = 0; t < 400000; ++t) {
    std::string digits;
    const int count = 1 + static_cast<int>(random() % 19);
    const int zeros = random() % 5 == 0 ? static_cast<int>(random() % 4) : 0;
    digits.append(static_cast<std::size_t>(zeros), '0');
    for (int d = 0; d < count; ++d) digits += static_cast<char>('0' + random() % 10);
    const int size = static_cast<int>(digits.size());
    std::string text = prefixes[random() % std::size(prefixes)];
    switch (random() % 4) {
      case 0:  // a point anywhere, no exponent
        text += digits;
        text.insert(text.size() - static_cast<std::size_t>(random() % (size + 1)), ".");
        break;
      case 1:  // an integer
        text += digits;
        break;
      default: {  // a point anywhere or none, and an exponent, some beyond the quick path's
        text += digits;
        if (random() % 2)
          text.insert(text.size() - static_cast<std::size_t>(random() % (size + 1)), ".");
        text += random() % 2 ? "e" : "E";
        const int exponent = static_cast<int>(random() % 61) - 30;
        if (exponent >= 0 && random() % 2) text += '+';
        text += std::to_string(exponent);
      }
    }
    ExpectSameAsTheFullParse(text);
  }
}

// The midpoints between neighbouring 40-bit values are where the two roundings can go either
// way: on them exactly (where 19 digits hold them), the quick path must leave the text to the
// full parse; beside them, both must agree to the bit.
TEST(ParseCellValue, QuickPathAtTheStorageMidpoints) {
  std::mt19937_64 random(1208);
  int exactMidpoints = 0;
  for (int t = 0; t < 50000; ++t) {
    // A midpoint's significand is 41 bits with the last one set.
    const std::uint64_t odd = (std::uint64_t{1} << 40) | (random() & 0xffffffffffu) | 1;
    // From 2^-73 (10^-22) to the storage real's top, and often in the range where 19 digits
    // write the midpoint exactly: odd * 2^-k = odd * 5^k / 10^k for k <= 9, odd * 2^e.
    const int exponent =
        t % 2 ? static_cast<int>(random() % 160) - 113 : static_cast<int>(random() % 32) - 9;
    const double midpoint = std::ldexp(static_cast<double>(odd), exponent);
    std::uint64_t exact = odd;
    int scale = 0;
    bool fits = true;
    for (int k = exponent; k < 0 && fits; ++k, --scale)
      fits = exact <= 10000000000000000000u / 5, exact *= 5;
    for (int k = 0; k < exponent && fits; ++k) fits = exact < 10000000000000000000u / 2, exact *= 2;
    if (fits) {
      ++exactMidpoints;
      const std::string digits = std::to_string(exact);
      const std::string text =
          DecimalText(digits, static_cast<int>(random() % (digits.size() + 1)), scale);
      EXPECT_FALSE(TakenQuickly(text)) << text;
      ExpectSameAsTheFullParse(text);
    }
    // The nearest decimals of 19 (and of 17) digits, and their neighbours.
    for (int precision : {18, 16}) {
      char text[48];
      std::snprintf(text, sizeof text, "%.*e", precision, midpoint);
      std::string digits = std::string(1, text[0]) + std::string(text + 2, text + 2 + precision);
      const int decimalExponent = std::atoi(text + 3 + precision + 1) - precision;
      const std::uint64_t nearest = std::stoull(digits);
      for (int delta = -2; delta <= 2; ++delta) {
        const std::string neighbour = std::to_string(nearest + static_cast<std::uint64_t>(delta));
        ExpectSameAsTheFullParse(DecimalText(
            neighbour, static_cast<int>(random() % (neighbour.size() + 1)), decimalExponent));
      }
    }
  }
  EXPECT_GT(exactMidpoints, 10000);
}

TEST(ParseCellValue, QuickPathAtTheEndsOfItsRange) {
  struct Case {
    const char* text;
    bool quick;  // taken by the quick path (an overflow counts)
  } cases[] = {
      {"9999999999999999999", true},  // 19 digits above 2^63
      {"1844674407370955161", true},
      {"18446744073709551615", false},  // 20 digits
      {"0.12345678901234567890", false},
      {"000000000000000000001234567890123456789", true},  // leading zeros do not count
      {"0.0000000000000000000001", true},                 // 10^-22
      {"0.00000000000000000000001", false},               // 10^-23
      {"1e-22", true},
      {"1e-23", false},
      {"9999999999999999999e-22", true},
      {"1e22", true},
      {"1e23", false},
      {"1.7E38", false},                  // 10^37: beyond the quick path
      {"1.701411834604692317e38", true},  // the largest value, 2^127 - 2^87, rounded
      {"1.701411834604692318e38", true},  // 2^127 - 2^86, where storing overflows, is beside
      {"1.70141183460469231e38", true},
      {"1.7014118346046924e38", true},
      {"9999999999999999999e22", true},  // overflows
      {"1e0001", true},
      {"1e00001", false},  // exponents of five digits and more take the full parse
      {"0e99999", false},
      {"0", true},
      {"-0.000", true},
      {".", false},
      {"E5", false},
      {"5.", true},
      {".5", true},
      {"2,5", false},
      {"1.2.3", false},
      {"1e", false},
      {"1e+", false},
      {"1099511627777", false},  // 2^40 + 1: a midpoint
      {"1099511627776", true},
      {"2147483648.001953125", false},  // 2^31 + 2^-9: a midpoint
      {"2147483648.001953124", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TakenQuickly(c.text), c.quick);
    ExpectSameAsTheFullParse(c.text);
  }
}

}  // namespace
}  // namespace vardell

namespace vardell {
namespace {

std::vector<detail::QuickReader> ShortReaders() {
  std::vector<detail::QuickReader> readers;
  for (auto reader :
       {detail::QuickReader::Short, detail::QuickReader::ShortShuffled, detail::QuickReader::Wide})
    if (detail::Available(reader)) readers.push_back(reader);
  return readers;
}

// Where a short reader takes a text, the plain reader takes it too and reads the same number.
void ExpectShortReadersAgree(const std::string& text, bool taken) {
  detail::PlainNumber plain;
  const bool plainTaken = detail::ReadQuickly(detail::QuickReader::Plain, text, plain);
  for (detail::QuickReader reader : ShortReaders()) {
    detail::PlainNumber number;
    const bool readerTaken = detail::ReadQuickly(reader, text, number);
    ASSERT_EQ(readerTaken, taken) << text << " reader " << static_cast<int>(reader);
    if (readerTaken) {
      ASSERT_TRUE(plainTaken) << text;
      ASSERT_TRUE(number == plain) << text << " reader " << static_cast<int>(reader);
    }
  }
}

TEST(ParseCellValue, ShortReadersTakeTheCommonShortNumbers) {
  struct Case {
    std::string text;
    bool taken;
  } cases[] = {
      {"12.34567891", true},
      {"-5.123456789", true},
      {"0.1234567891", true},
      {"+0.5", true},
      {"0", true},
      {"-0", true},
      {"42", true},
      {".5", true},
      {"5.", true},
      {"-.5", true},
      {"   3.25", true},
      {"0.00000000000001", true},    // 16 characters with a point
      {"123456789012345", true},     // 15 without
      {"-12345678901234", true},     // 15 with the sign
      {"1234567890123456", false},   // 16 without a point
      {"0.000000000000001", false},  // 17 characters
      {"1e5", false},
      {"", false},
      {" ", false},
      {".", false},
      {"-", false},
      {"+.", false},
      {"1.2.3", false},
      {"2,5", false},
      {"--1", false},
      {"1-", false},
      {"7 ", false},
      {std::string("1\0", 2), false},
      {"5\u00B0", false},
      {std::string(64, ' ') + "1", false},  // beyond 64 characters: the full parse
      {std::string(63, ' ') + "1", true},
  };
  for (const Case& c : cases) ExpectShortReadersAgree(c.text, c.taken);
}

TEST(ParseCellValue, ShortReadersAgreeWithThePlainReader) {
  std::mt19937_64 random(81226);
  const char alphabet[] = "0123456789000.-+ eE,x";
  for (int t = 0; t < 300000; ++t) {
    std::string text;
    if (t % 2) {  // anything of the alphabet
      const int length = static_cast<int>(random() % 20);
      for (int i = 0; i < length; ++i) text += alphabet[random() % (sizeof alphabet - 1)];
    } else {  // spaces, a sign, digits and perhaps a point, as data files hold numbers
      text.append(random() % 4 == 0 ? random() % 3 : 0, ' ');
      const int sign = static_cast<int>(random() % 4);
      if (sign == 1) text += '-';
      if (sign == 2) text += '+';
      const int digits = 1 + static_cast<int>(random() % 16);
      for (int i = 0; i < digits; ++i) text += static_cast<char>('0' + random() % 10);
      if (random() % 4 != 0)
        text.insert(text.size() - static_cast<std::size_t>(random() % (digits + 1)), ".");
    }
    if (t % 2 == 0) {  // taken where at most 16 characters follow the spaces, 15 without a point
      const std::size_t length = text.size() - text.find_first_not_of(' ');
      const bool pointed = text.find('.') != std::string::npos;
      ExpectShortReadersAgree(text, length <= (pointed ? 16u : 15u));
      continue;
    }
    // Texts of the alphabet: the readers need only agree where they take one.
    detail::PlainNumber plain, number;
    const bool plainTaken = detail::ReadQuickly(detail::QuickReader::Plain, text, plain);
    std::vector<bool> takenBy;
    for (detail::QuickReader reader : ShortReaders()) {
      takenBy.push_back(detail::ReadQuickly(reader, text, number));
      if (takenBy.back()) {
        ASSERT_TRUE(plainTaken && number == plain) << text;
      }
    }
    ASSERT_TRUE(std::count(takenBy.begin(), takenBy.end(), takenBy[0]) ==
                static_cast<std::ptrdiff_t>(takenBy.size()))
        << text;
  }
}

// Rows of cells give the same bytes with every reader, and stop at the same cell.
TEST(ParseCellValue, QuickRowsAreAlikeWithEveryReader) {
  std::mt19937_64 random(120826);
  std::vector<std::string> texts;
  for (int t = 0; t < 20000; ++t) {
    char text[40];
    const double value = std::ldexp(static_cast<double>(random() % 100000000), -20) - 40;
    std::snprintf(text, sizeof text, t % 3 ? "%.*g" : "%.*f",
                  t % 3 ? 10 : static_cast<int>(random() % 12), value);
    texts.emplace_back(text);
  }
  texts[15000] = "x";  // the row stops here
  std::vector<std::string_view> views(texts.begin(), texts.end());
  std::vector<double> plain(views.size()), other(views.size());
  const int count = static_cast<int>(views.size());
  const int plainTaken =
      detail::QuickRoundedRowWith(detail::QuickReader::Plain, views.data(), count, plain.data());
  ASSERT_EQ(plainTaken, 15000);
  for (detail::QuickReader reader : ShortReaders()) {
    other.assign(views.size(), -1);
    EXPECT_EQ(detail::QuickRoundedRowWith(reader, views.data(), count, other.data()), plainTaken);
    for (int k = 0; k < plainTaken; ++k)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(other[k]), std::bit_cast<std::uint64_t>(plain[k]))
          << texts[k];
  }
}

// A row's outcome: how many texts the quick path took and their bytes, or -1 where it threw.
std::pair<int, std::vector<std::uint64_t>> RowOutcome(detail::QuickReader reader,
                                                      const std::vector<std::string>& texts) {
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  std::vector<double> rounded(texts.size());
  int taken = -1;
  try {
    taken = detail::QuickRoundedRowWith(reader, views.data(), static_cast<int>(views.size()),
                                        rounded.data());
  } catch (const FloatingPointOverflow&) {
  }
  std::vector<std::uint64_t> bytes;
  for (int k = 0; k < taken; ++k) bytes.push_back(std::bit_cast<std::uint64_t>(rounded[k]));
  return {taken, bytes};
}

// The readers that take several texts at once leave some of them to the others (spaces, long
// texts, values near a rounding midpoint, overflows): rows of every length around their
// group sizes stop where the plain reader stops, throw where it throws and give its bytes.
TEST(ParseCellValue, QuickRowsStopAndThrowAlikeAroundEveryGroupSize) {
  const std::string overflow = "9999999999999999999e22", midpoint = "1.00000000000091";
  struct Case {
    const char* name;
    std::vector<std::string> texts;
  } cases[] = {
      {"spaces and long texts",
       {"1.5", " 2", "-3.25", "12345678901234567", "  -0.5", "7", "+8.", ".9", "0", "-0"}},
      {"stops in a group", {"1", "2", "3", "x", "5", "6", "7", "8", "9"}},
      {"stops at a group's end", {"1", "2", "3", "4", "5", "6", "7", "", "9"}},
      {"overflow after a stop", {"1", "2", "x", overflow, "5"}},
      {"overflow before a stop", {"1", overflow, "x", "4"}},
      {"midpoint among short texts", {"0.5", midpoint, "1.25", "2e1", "3.", "4", "5", "6", "7"}},
  };
  for (const Case& c : cases) {
    for (int length = 1; length <= 20; ++length) {
      std::vector<std::string> texts;
      for (int k = 0; k < length; ++k) texts.push_back(c.texts[k % c.texts.size()]);
      const auto plain = RowOutcome(detail::QuickReader::Plain, texts);
      for (detail::QuickReader reader : ShortReaders()) {
        EXPECT_EQ(RowOutcome(reader, texts), plain)
            << c.name << ", " << length << " texts, reader " << static_cast<int>(reader);
      }
    }
  }
}

}  // namespace
}  // namespace vardell
