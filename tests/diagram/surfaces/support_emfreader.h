#pragma once
// Reads an enhanced metafile back: its frame and reference device, its font, and the moves,
// lines and texts it draws in the form the recording surface records them.

#include <string>
#include <vector>

#include "diagram/recordingsurface.h"

namespace vardell::testing {

struct EmfPicture {
  int Frame[4] = {};        // left, top, right, bottom in 0.01 mm
  int Device[2] = {};       // reference device in pixels
  int Millimetres[2] = {};  // and in millimetres
  bool Complete = false;    // the declared size is the file's and the last record ends it
  int FontHeight = 0;
  std::string FontFace;
  std::vector<RecordedCall> Calls;
};

std::string ReadFileBytes(const std::string& path);
EmfPicture ReadEmf(const std::string& bytes);  // throws std::runtime_error when malformed

}  // namespace vardell::testing
