#pragma once
// Reads an enhanced metafile back record by record: its header and the moves, lines and
// texts it draws, in the form the recording surface records them.

#include <cstdint>
#include <string>
#include <vector>

#include "diagram/recordingsurface.h"

namespace vardell::testing {

struct EmfPicture {
  int Frame[4] = {};       // left, top, right, bottom in 0.01 mm
  int Device[2] = {};      // reference device in pixels
  int Millimetres[2] = {};  // reference device in millimetres
  std::uint32_t DeclaredBytes = 0;
  std::uint32_t DeclaredRecords = 0;
  std::uint32_t Records = 0;
  bool EndsWithEof = false;
  int FontHeight = 0;
  std::string FontFace;
  std::vector<RecordedCall> Calls;  // moves, lines (from the current point) and texts
};

std::string ReadFileBytes(const std::string& path);
// Throws std::runtime_error on a malformed record.
EmfPicture ReadEmf(const std::string& bytes);

}  // namespace vardell::testing
