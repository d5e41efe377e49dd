#pragma once
#include <string>

namespace vardell {

// A message the user can act on: the lower layers return it, the windows show it in a box
// with this caption and text, one OK button and no icon.
struct UserMessage {
  std::string Caption;
  std::string Text;
  bool operator==(const UserMessage&) const = default;
};

inline const char* const DataParsingError = "DATA PARSING ERROR";
inline const char* const IoError = "I/O ERROR";

// The text of an unexpected error as the user reads it: a full stop is added when the last
// character's code is above that of the full stop (letters, digits, most punctuation; any
// character beyond ASCII).
inline std::string WithFullStop(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

}  // namespace vardell
