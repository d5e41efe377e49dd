#pragma once
// A file written beside its target and renamed onto it only when complete, so that a failed
// write never leaves a partial file under the user's name.

#include <cstdio>
#include <stdexcept>
#include <string>

namespace vardell {

// "The file PATH could not be written"
std::runtime_error WriteError(const std::string& path);

// Writes bytes to a temporary file beside path and renames it onto path; throws
// WriteError(path) when any step fails, leaving an earlier file under path untouched.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

class TemporaryFile {
 public:
  // Creates a new file beside path; throws WriteError(path) when it cannot.
  explicit TemporaryFile(const std::string& path);
  ~TemporaryFile();  // removes the file unless committed
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  std::FILE* File() { return file_; }
  const std::string& Name() const { return name_; }

  // Closes the file for writers that open it by name themselves.
  void CloseForOthers();

  // Closes the file and renames it onto path; throws WriteError(path) when any write failed.
  void Commit();

 private:
  std::string path_, name_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

}  // namespace vardell
