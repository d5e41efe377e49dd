#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "analysis/cellparse.h"

namespace vardell {
namespace {

TEST(ParseCellValue, Numbers) {
  struct Case {
    const char* text;
    long double value;
  } cases[] = {
      {"0", 0},          {"42", 42},        {"-3.25", -3.25},  {"+7", 7},
      {"   12.5", 12.5}, {".", 0},          {"-.5", -0.5},     {"5.", 5},
      {"1E3", 1000},     {"2.5e-1", 0.25},  {"1e+2", 100},     {"E5", 0},
      {"-E2", 0},        {"007", 7},
      // one stray character is read as the decimal point
      {"2,5", 2.5},      {"2x5", 2.5},      {"12a", 12},       {"7 ", 7},
      {"a", 0},          {"-,5", -0.5},     {"1,5E2", 150},    {"--1", -0.1L},
      {" 7 7", 7.7L},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CellValue parsed = ParseCellValue(c.text);
    EXPECT_EQ(parsed.ErrorPosition, 0);
    EXPECT_EQ(parsed.Value.ToExtended(), StorageReal(c.value).ToExtended());
  }
}

TEST(ParseCellValue, NonNumericTextsAndTheirErrorPositions) {
  struct Case {
    const char* text;
    int position;  // where the last attempt failed
  } cases[] = {
      {"", 1},           // the text ends where a number is required
      {"   ", 4},
      {"-", 2},
      {"+", 2},
      {"1E", 3},
      {"1e-", 4},
      {"E", 2},
      {"1,000.5", 6},    // thousands comma and decimal point: two stray characters
      {"7  ", 3},        // 7 followed by two spaces
      {"1.2.3", 4},
      {"1e5x", 4},
      {"ab", 2},
      {"1Ex", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseCellValue(c.text).ErrorPosition, c.position);
  }
}

TEST(ParseCellValue, ValuesAreStoredAtStoragePrecision) {
  EXPECT_EQ(ParseCellValue("0.1").Value.Bytes(), StorageReal(0.1L).Bytes());
  EXPECT_EQ(ParseCellValue("1.7E38").Value.ToExtended(), StorageReal(1.7e38L).ToExtended());
  EXPECT_EQ(ParseCellValue("1E-40").Value.ToExtended(), 0);  // below the smallest magnitude
  EXPECT_THROW(ParseCellValue("1E39"), FloatingPointOverflow);
  EXPECT_THROW(ParseCellValue("-2e99999"), FloatingPointOverflow);
}

}  // namespace
}  // namespace vardell

namespace vardell {
namespace {

// The quick conversion of short numbers must give what a full decimal conversion gives.
TEST(ParseCellValue, AgreesWithAFullConversion) {
  std::mt19937_64 random(42);
  const char* const shapes[] = {"%.*f", "%.*e", "%.*g"};
  for (int t = 0; t < 100000; ++t) {
    char text[64];
    const double magnitude = std::ldexp(static_cast<double>(random() % 1000000) / 7.0,
                                        static_cast<int>(random() % 80) - 40);
    std::snprintf(text, sizeof text, shapes[t % 3], static_cast<int>(random() % 22), magnitude);
    CellValue parsed = ParseCellValue(text);
    ASSERT_EQ(parsed.ErrorPosition, 0) << text;
    ASSERT_EQ(parsed.Value.Bytes(), StorageReal(std::strtold(text, nullptr)).Bytes()) << text;
  }
}

}  // namespace
}  // namespace vardell
