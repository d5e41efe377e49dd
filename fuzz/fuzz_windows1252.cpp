// Fuzzes the Windows-1252 encoder and decoder: every byte survives decoding and encoding
// again, decoding gives valid UTF-8, and encoding gives one byte per character at most.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "analysis/tableencoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vardell;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::string decoded = Windows1252ToUtf8(bytes);
  if (!IsValidUtf8(decoded) || Utf8ToWindows1252(decoded) != bytes) std::abort();

  const std::string encoded = Utf8ToWindows1252(bytes);
  if (encoded.size() > bytes.size()) std::abort();
  if (Utf8ToWindows1252(Windows1252ToUtf8(encoded)) != encoded) std::abort();
  // Text the code page holds entirely comes back unchanged.
  if (IsValidUtf8(bytes) && bytes.find('?') == std::string_view::npos &&
      encoded.find('?') == std::string::npos && Windows1252ToUtf8(encoded) != bytes)
    std::abort();
  if (DecodeText(bytes) != (IsValidUtf8(bytes) ? std::string(bytes) : decoded)) std::abort();
  return 0;
}
