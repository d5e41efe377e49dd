#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "../support_commalocale.h"
#include "analysis/numbertext.h"

namespace vardell {
namespace {

// The same texts in the C locale and under a desktop that writes decimals with a comma.
void ExpectPlainTexts() {
  const struct {
    double Value;
    int Width, Decimals;
    const char* Text;
  } fixed[] = {{8.65912, 8, 4, "  8.6591"},
               {-0.5, 8, 4, " -0.5000"},
               {123456.5, 8, 4, "123456.5000"},
               {10, 10, 4, "   10.0000"},
               {1e20, 1, 1, "100000000000000000000.0"}};
  for (const auto& c : fixed) EXPECT_EQ(FixedText(c.Value, c.Width, c.Decimals), c.Text);
  EXPECT_EQ(GeneralText(0.1, 17), "0.10000000000000001");
  EXPECT_EQ(GeneralText(2.5e-7, 17), "2.4999999999999999e-07");
  EXPECT_EQ(GeneralText(12, 17), "12");
  EXPECT_EQ(GeneralText(1.0L / 3, 10), "0.3333333333");

  const double no = NAN;
  const struct {
    const char* Text;
    double Value;
  } numbers[] = {{"12.5", 12.5}, {"+3e2", 300}, {"-.5", -0.5}, {"5.", 5},   {"12,5", no},
                 {"", no},       {"+", no},     {"+-1", no},   {"inf", no}, {"nan", no},
                 {"1e999", no},  {" 1", no},    {"1 ", no}};
  for (const auto& c : numbers) {
    const std::optional<double> read = ReadPlainNumber(c.Text);
    EXPECT_EQ(read.has_value(), !std::isnan(c.Value)) << c.Text;
    if (read) {
      EXPECT_EQ(*read, c.Value) << c.Text;
    }
  }
}

TEST(NumberText, PlainFormWithAFullStop) { ExpectPlainTexts(); }

TEST(NumberText, PlainFormUnderACommaLocale) {
  testing::ScopedCommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << comma.Reason();
  ExpectPlainTexts();
}

}  // namespace
}  // namespace vardell
