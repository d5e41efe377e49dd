#pragma once
// Data files are read only when they are regular files: a FIFO would block the open, and a
// device such as /dev/zero never ends.

#include <cstdio>
#include <string>

namespace vardell {

// True when path names something that is neither a regular file nor a folder (a FIFO, a
// device, a socket). Looks without opening, so it never blocks.
bool IsSpecialFile(const std::string& path);

// Opens path for binary reading when it is a regular file, checked before opening and again
// on the open file, without ever blocking; nullptr with errno set otherwise (EISDIR for a
// folder, EINVAL for a special file).
std::FILE* OpenRegularFile(const std::string& path);

}  // namespace vardell
