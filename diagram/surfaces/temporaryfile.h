#pragma once
// A file written beside its target and renamed onto it only when complete, so that a failed
// write never leaves a partial file under the user's name.
//
// Every file the program writes goes through here, with one rule for symbolic links: the
// link stays and its target is replaced, keeping the target's permissions, as editors do.

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vardell {

// "The file PATH could not be written"
std::runtime_error WriteError(const std::string& path);

// The file a write to path replaces: path itself, or the end of its chain of symbolic links
// (which need not exist yet).
std::string WriteTarget(const std::string& path);

class TemporaryFile {
 public:
  // Creates a new file beside the write target of path; throws WriteError(path) when it
  // cannot (also for an empty path).
  explicit TemporaryFile(const std::string& path);
  ~TemporaryFile();  // removes the file unless committed
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  std::FILE* File() { return file_; }
  const std::string& Name() const { return name_; }

  // Closes the file for writers that open it by name themselves; they must check what they
  // wrote before Commit.
  void CloseForOthers();

  // Closes the file, has it reach the disk and renames it onto the target; throws
  // WriteError(path) when any write, the flush or the close failed.
  void Commit();

 private:
  std::string path_, target_, name_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

// Writes bytes to path through a TemporaryFile; throws WriteError(path) on any failure.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace vardell
