#include "analysis/regularfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vardell {
namespace {

// 0 for a regular file, else the errno that refuses it.
int Refusal(const struct stat& status) {
  if (S_ISREG(status.st_mode)) return 0;
  return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
}

}  // namespace

bool IsSpecialFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && Refusal(status) == EINVAL;
}

std::FILE* OpenRegularFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return nullptr;
  if (const int refusal = Refusal(status)) {
    errno = refusal;
    return nullptr;
  }
  // Non-blocking, in case a FIFO took the file's place since the look above.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (fstat(fd, &status) != 0 || Refusal(status) != 0) {
    const int refusal = Refusal(status);
    close(fd);
    errno = refusal != 0 ? refusal : EIO;
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

}  // namespace vardell
