#include "diagram/surfaces/temporaryfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace vardell {
namespace {

constexpr int MaxLinksFollowed = 40;  // the system's own limit for a chain of links

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The permissions the new file gets: the target's when it exists, else a new file's.
mode_t ModeFor(const std::string& target) {
  struct stat status {};
  if (stat(target.c_str(), &status) == 0) return status.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::runtime_error WriteError(const std::string& path) {
  return std::runtime_error("The file " + path + " could not be written");
}

std::string WriteTarget(const std::string& path) {
  std::string target = path;
  for (int links = 0; links < MaxLinksFollowed; ++links) {
    struct stat status {};
    if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return target;
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink(target.c_str(), buffer.data(), PATH_MAX);
    if (length <= 0) return target;
    const std::string link(buffer.data(), static_cast<std::size_t>(length));
    target = link.front() == '/' ? link : Folder(target) + link;
  }
  return target;  // a loop: the rename below fails and reports it
}

TemporaryFile::TemporaryFile(const std::string& path)
    : path_(path), target_(WriteTarget(path)), name_(target_ + ".XXXXXX") {
  if (path.empty()) throw WriteError(path_);
  const mode_t mode = ModeFor(target_);
  int fd = mkstemp(name_.data());
  if (fd < 0) throw WriteError(path_);
  // mkstemp creates the file for its owner only.
  fchmod(fd, mode);
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
    written = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
  } else {
    // Written by others under its name: what they wrote still has to reach the disk.
    const int fd = open(name_.c_str(), O_RDONLY | O_CLOEXEC);
    written = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) written = close(fd) == 0 && written;
  }
  if (!written || std::rename(name_.c_str(), target_.c_str()) != 0) throw WriteError(path_);
  committed_ = true;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  TemporaryFile file(path);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.File()) != bytes.size())
    throw WriteError(path);
  file.Commit();
}

}  // namespace vardell
