#include <gtest/gtest.h>

#include "analysis/usermessage.h"

namespace vardell {
namespace {

// The general handler adds a full stop when the last character's code is above "." (a slash
// is, a hyphen is not; so is every byte of a character beyond ASCII).
TEST(WithFullStop, AddedAfterACharacterAboveTheFullStop) {
  const char* const cases[][2] = {{"Floating point overflow", "Floating point overflow."},
                                  {"Disk full.", "Disk full."},
                                  {"Error 5", "Error 5."},
                                  {"a/", "a/."},
                                  {"a-", "a-"},
                                  {"No!", "No!"},
                                  {"", ""},
                                  {"failed (code 2)", "failed (code 2)"},
                                  {"Fehler \u00fc", "Fehler \u00fc."}};
  for (const auto& c : cases) EXPECT_EQ(WithFullStop(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace vardell
