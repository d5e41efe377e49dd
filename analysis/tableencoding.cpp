#include "analysis/tableencoding.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace vardell {
namespace {

// Code points of bytes 0x80..0x9F in Windows-1252; the undefined ones keep their number.
constexpr char16_t HighControls1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Length of the valid UTF-8 sequence starting at bytes[at], or 0 when it is not one.
std::size_t SequenceLength(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(bytes[at + k]);
    if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return 0;
  }
  return length;
}

std::string Normalized(const std::string& name) {
  std::string out;
  for (char c : name)
    if (std::isalnum(static_cast<unsigned char>(c)))
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The iconv name of a code page as tables spell it ("1252", "CP437", "LDID/87", "UTF-8").
std::string IconvName(const std::string& codePage) {
  std::string n = Normalized(codePage);
  if (n.rfind("CP", 0) == 0) n = n.substr(2);
  if (n.rfind("ANSI", 0) == 0) n = n.substr(4);
  if (n == "UTF8" || n == "65001") return "UTF-8";
  if (n == "88591" || n == "ISO88591" || n == "LATIN1" || n == "28591") return "ISO-8859-1";
  if (n.rfind("ISO8859", 0) == 0) return "ISO-8859-" + n.substr(7);
  if (!n.empty() && std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return "CP" + n;
  return codePage;
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// Converts with iconv; false when the code page is unknown or a byte cannot be mapped.
bool ConvertWithIconv(std::string_view bytes, const std::string& from, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::unique_ptr<void, IconvCloser> guard(cd);
  std::string input(bytes);
  out.assign(input.size() * 4 + 4, '\0');
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) return false;
  out.resize(out.size() - outLeft);
  return true;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80)
      out += c;
    else if (b < 0xA0)
      AppendUtf8(out, HighControls1252[b - 0x80]);
    else
      AppendUtf8(out, b);
  }
  return out;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t length = SequenceLength(utf8, at);
    if (length == 0) {
      out += '?';
      ++at;
      continue;
    }
    char32_t code = length == 1 ? static_cast<unsigned char>(utf8[at])
                                : static_cast<unsigned char>(utf8[at]) & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[at + k]) & 0x3F);
    at += length;
    char byte = '?';
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) byte = static_cast<char>(code);
    for (int i = 0; i < 32 && code >= 0x80 && byte == '?'; ++i)
      if (HighControls1252[i] == code) byte = static_cast<char>(0x80 + i);
    out += byte;
  }
  return out;
}

std::string DecodeText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Windows1252ToUtf8(bytes);
}

std::string DecodeCodePage(std::string_view bytes, const std::string& codePage) {
  const std::string name = IconvName(codePage);
  if (name == "UTF-8") return DecodeText(bytes);
  if (name == "CP1252") return Windows1252ToUtf8(bytes);
  bool ascii = std::all_of(bytes.begin(), bytes.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return std::string(bytes);
  std::string out;
  if (ConvertWithIconv(bytes, name, out)) return out;
  return DecodeText(bytes);
}

std::optional<std::string> Utf16WithMarkToUtf8(std::string_view bytes) {
  const bool little = bytes.starts_with("\xFF\xFE"), big = bytes.starts_with("\xFE\xFF");
  if (!little && !big) return std::nullopt;
  constexpr char32_t Replacement = 0xFFFD;
  const auto unit = [&](std::size_t at) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return little ? first | second << 8 : first << 8 | second;
  };
  std::string out;
  out.reserve(bytes.size());
  std::size_t at = 2;
  for (; at + 1 < bytes.size(); at += 2) {
    const char32_t code = unit(at);
    const bool high = code >= 0xD800 && code <= 0xDBFF, low = code >= 0xDC00 && code <= 0xDFFF;
    if (high && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00));
      at += 2;
    } else {
      AppendUtf8(out, high || low ? Replacement : code);
    }
  }
  if (at < bytes.size()) AppendUtf8(out, Replacement);
  return out;
}

std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at) {
  return at < bytes.size() ? SequenceLength(bytes, at) : 0;
}

}  // namespace vardell
