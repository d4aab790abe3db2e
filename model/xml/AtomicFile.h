#pragma once
// A file written as a whole or not at all: the bytes go to a temporary file in the target's
// folder, which replaces the target only when everything was written. Until then, and after
// any failure, the old file stays as it was.
#include <string>
#include <string_view>

namespace orvanel {

class TAtomicFile {
 public:
  // Creates the temporary file; throws EFileError naming `path` when that is impossible
  // (missing or read-only folder, a parent that is no folder).
  explicit TAtomicFile(std::string path);
  ~TAtomicFile();  // without Commit the temporary file is removed
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Throws EFileError; the temporary file is removed then.
  void Write(std::string_view data);
  // Flushes the data to the disk and renames the temporary file over the target; throws
  // EFileError, and the temporary file is removed then.
  void Commit();
  // Removes the temporary file; the target is left untouched.
  void Discard() noexcept;

  const std::string& Path() const { return path_; }

 private:
  // Removes the temporary file and throws EFileError naming the target.
  [[noreturn]] void Fail(int error);

  std::string path_;        // as the caller named it, for messages
  std::string targetPath_;  // the file that is replaced (a link's target)
  std::string tempPath_;
  int fd_ = -1;
};

// The message of a file that could not be written: names the file and the reason.
std::string FileWriteErrorMessage(const std::string& path, int error);

}  // namespace orvanel
