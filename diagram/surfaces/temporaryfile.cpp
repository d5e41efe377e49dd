#include "diagram/surfaces/temporaryfile.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vardell {

std::runtime_error WriteError(const std::string& path) {
  return std::runtime_error("The file " + path + " could not be written");
}

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
  TemporaryFile temporary(path);
  if (std::fwrite(bytes.data(), 1, bytes.size(), temporary.File()) != bytes.size())
    throw WriteError(path);
  temporary.Commit();
}

TemporaryFile::TemporaryFile(const std::string& path) : path_(path), name_(path + ".XXXXXX") {
  int fd = mkstemp(name_.data());
  if (fd < 0) throw WriteError(path_);
  // mkstemp creates the file for its owner only; give it the mode a new file gets.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    std::remove(name_.c_str());
    throw WriteError(path_);
  }
}

TemporaryFile::~TemporaryFile() {
  if (file_) std::fclose(file_);
  if (!committed_) std::remove(name_.c_str());
}

void TemporaryFile::CloseForOthers() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void TemporaryFile::Commit() {
  bool written = true;
  if (file_) {
    written = std::fflush(file_) == 0 && !std::ferror(file_);
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
  }
  if (!written || std::rename(name_.c_str(), path_.c_str()) != 0) throw WriteError(path_);
  committed_ = true;
}

}  // namespace vardell
