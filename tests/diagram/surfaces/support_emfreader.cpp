#include "support_emfreader.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vardell::testing {

namespace {
enum : int { Header = 1, Eof = 14, MoveTo = 27, LineTo = 54, CreateFont = 82, TextA = 83 };

int I32(const std::string& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("record beyond the end of the file");
  int v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
}  // namespace

std::string ReadFileBytes(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

EmfPicture ReadEmf(const std::string& b) {
  EmfPicture p;
  if (I32(b, 0) != Header || b.compare(40, 4, " EMF") != 0) throw std::runtime_error("not an EMF");
  for (int i = 0; i < 4; ++i) p.Frame[i] = I32(b, 24 + 4 * i);
  for (int i = 0; i < 2; ++i) p.Device[i] = I32(b, 72 + 4 * i), p.Millimetres[i] = I32(b, 80 + 4 * i);
  int x = 0, y = 0, type = 0;
  std::size_t at = 0;
  for (int size = 0; at < b.size(); at += size) {
    type = I32(b, at);
    size = I32(b, at + 4);
    if (size < 8 || size % 4 != 0 || at + size > b.size()) throw std::runtime_error("bad record");
    using K = RecordedCall::Kind;
    if (type == MoveTo) {
      x = I32(b, at + 8), y = I32(b, at + 12);
      p.Calls.push_back({K::Move, x, y, 0, 0, {}});
    } else if (type == LineTo) {
      p.Calls.push_back({K::Line, x, y, I32(b, at + 8), I32(b, at + 12), {}});
      x = I32(b, at + 8), y = I32(b, at + 12);
    } else if (type == TextA) {  // EMRTEXT: reference point, character count, string offset
      p.Calls.push_back({K::Text, I32(b, at + 36), I32(b, at + 40), 0, 0,
                         b.substr(at + I32(b, at + 48), I32(b, at + 44))});
    } else if (type == CreateFont) {  // LOGFONTW after the handle; face name of 32 UTF-16 units
      p.FontHeight = I32(b, at + 12);
      for (std::size_t k = at + 40; k < at + 104 && b[k] != 0; k += 2) p.FontFace += b[k];
    }
  }
  p.Complete = type == Eof && at == b.size() && static_cast<std::size_t>(I32(b, 48)) == b.size();
  return p;
}

}  // namespace vardell::testing
