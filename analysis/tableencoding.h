#pragma once
// Text encodings of data files and tables. Cells always hold UTF-8; a file's bytes are taken
// as UTF-8 when they are valid UTF-8 and as Windows-1252 otherwise, unless a table names its
// own code page.

#include <optional>
#include <string>
#include <string_view>

namespace vardell {

bool IsValidUtf8(std::string_view bytes);

// Every byte is one Windows-1252 character; the five bytes the code page leaves undefined
// become the C1 control of the same number, so no byte is ever lost.
std::string Windows1252ToUtf8(std::string_view bytes);

// The reverse, for writers that store Windows-1252: a character the code page lacks, or a
// malformed UTF-8 sequence, becomes "?".
std::string Utf8ToWindows1252(std::string_view utf8);

// The bytes as text: unchanged when they are valid UTF-8, else read as Windows-1252.
std::string DecodeText(std::string_view bytes);

// The bytes in the named code page ("1252", "CP850", "UTF-8", "ISO-8859-1", ...) as UTF-8.
// An unknown name, or bytes the code page cannot map, fall back to DecodeText.
std::string DecodeCodePage(std::string_view bytes, const std::string& codePage);

// Text that starts with a UTF-16 byte order mark, little or big endian (spreadsheets' "Unicode
// text"), as UTF-8 without the mark; nothing when the bytes have no such mark. An unpaired
// surrogate or an odd last byte becomes U+FFFD.
std::optional<std::string> Utf16WithMarkToUtf8(std::string_view bytes);

// The length of the valid UTF-8 sequence that starts at bytes[at], or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at);

}  // namespace vardell
