#include <gtest/gtest.h>

#include <string>

#include "analysis/tableencoding.h"

namespace vardell {
namespace {

TEST(TableEncoding, Utf8WhereValidElseWindows1252) {
  const struct {
    const char* Name;
    std::string Bytes;
    bool Utf8;
    std::string Text;  // what DecodeText gives
  } cases[] = {
      {"Ascii", "abc 1.5", true, "abc 1.5"},
      {"TwoBytes", "\xC3\xA9", true, "\xC3\xA9"},
      {"FourBytes", "\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80"},
      {"LoneLatin1", "\xE9", false, "\xC3\xA9"},
      {"EuroAndQuotes", "\x80\x93\x94", false, "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D"},
      {"UndefinedByteKept", "\x81", false, "\xC2\x81"},
      {"Overlong", "\xC0\xAF", false, "\xC3\x80\xC2\xAF"},
      {"Surrogate", "\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
      {"BeyondUnicode", "\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
      {"CutSequence", "a\xC3", false, "a\xC3\x83"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.Bytes), c.Utf8) << c.Name;
    EXPECT_EQ(DecodeText(c.Bytes), c.Text) << c.Name;
  }
}

// An unknown name, and bytes that are not valid in the named page, fall back to the rule above.
TEST(TableEncoding, NamedCodePages) {
  const char* const cases[][3] = {
      {"1252", "\xE9", "\xC3\xA9"},         {"CP850", "\x82", "\xC3\xA9"},       {"437", "\x81", "\xC3\xBC"},
      {"UTF-8", "\xC3\xA9", "\xC3\xA9"},    {"ISO-8859-1", "\xE9", "\xC3\xA9"},  {"1251", "\xC0", "\xD0\x90"},
      {"no such page", "\xE9", "\xC3\xA9"}, {"UTF-8", "\xE9", "\xC3\xA9"},
  };
  for (const auto& [codePage, bytes, text] : cases) EXPECT_EQ(DecodeCodePage(bytes, codePage), text) << codePage;
}

TEST(TableEncoding, CharacterPrefixCountsSequences) {
  const std::string text = "a\xC3\xA9" "b\xE2\x82\xAC";
  EXPECT_EQ(CharacterPrefixBytes(text, 2, true), 3u);
  EXPECT_EQ(CharacterPrefixBytes(text, 4, true), 7u);
  EXPECT_EQ(CharacterPrefixBytes(text, 99, true), 7u);
  EXPECT_EQ(CharacterPrefixBytes(text, 2, false), 2u);
}

}  // namespace
}  // namespace vardell
