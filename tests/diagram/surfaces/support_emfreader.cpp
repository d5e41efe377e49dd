#include "support_emfreader.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vardell::testing {

namespace {

constexpr std::uint32_t EmrHeader = 1, EmrEof = 14, EmrMoveTo = 27, EmrLineTo = 54,
                        EmrCreateFont = 82, EmrTextA = 83;

std::int32_t I32(const std::string& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("record beyond the end of the file");
  std::int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

EmfPicture ReadEmf(const std::string& b) {
  EmfPicture p;
  if (I32(b, 0) != static_cast<std::int32_t>(EmrHeader) || b.compare(40, 4, " EMF") != 0)
    throw std::runtime_error("not an enhanced metafile");
  for (int i = 0; i < 4; ++i) p.Frame[i] = I32(b, 24 + 4 * i);
  p.DeclaredBytes = I32(b, 48);
  p.DeclaredRecords = I32(b, 52);
  p.Device[0] = I32(b, 72);
  p.Device[1] = I32(b, 76);
  p.Millimetres[0] = I32(b, 80);
  p.Millimetres[1] = I32(b, 84);
  int x = 0, y = 0;
  for (std::size_t at = 0; at < b.size();) {
    std::uint32_t type = I32(b, at);
    std::uint32_t size = I32(b, at + 4);
    if (size < 8 || size % 4 != 0 || at + size > b.size()) throw std::runtime_error("bad record size");
    ++p.Records;
    p.EndsWithEof = type == EmrEof && at + size == b.size();
    if (type == EmrMoveTo) {
      x = I32(b, at + 8);
      y = I32(b, at + 12);
      p.Calls.push_back({RecordedCall::Kind::Move, x, y, 0, 0, {}});
    } else if (type == EmrLineTo) {
      int toX = I32(b, at + 8), toY = I32(b, at + 12);
      p.Calls.push_back({RecordedCall::Kind::Line, x, y, toX, toY, {}});
      x = toX;
      y = toY;
    } else if (type == EmrTextA) {
      int chars = I32(b, at + 44), offset = I32(b, at + 48);
      if (chars < 0 || offset + chars > static_cast<std::int64_t>(size)) throw std::runtime_error("bad text");
      p.Calls.push_back({RecordedCall::Kind::Text, I32(b, at + 36), I32(b, at + 40), 0, 0,
                         b.substr(at + offset, chars)});
    } else if (type == EmrCreateFont) {
      p.FontHeight = I32(b, at + 12);
      for (std::size_t k = 0; k < 32; ++k) {
        char16_t c = static_cast<unsigned char>(b[at + 40 + 2 * k]) |
                     static_cast<unsigned char>(b[at + 41 + 2 * k]) << 8;
        if (c == 0) break;
        p.FontFace += static_cast<char>(c);
      }
    }
    at += size;
  }
  return p;
}

}  // namespace vardell::testing
