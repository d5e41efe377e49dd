#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
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
      {"   ", 4},     {"-", 2},    {"+", 2},  {"1E", 3},  {"1e-", 4},           {"E", 2},
      {"1,000.5", 6},  // thousands comma and decimal point: two stray characters
      {"7  ", 3},      // 7 followed by two spaces
      {"1.2.3", 4},   {"1e5x", 4}, {"ab", 2}, {"1Ex", 3}, {"5\u00B0\u00B0", 3},  // two stray
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
