#pragma once
// A file written as a whole or not at all: the bytes go to a temporary file in the target's
// folder, which replaces the target only when everything was written. Until then, and after
// any failure, the old file stays as it was. Only a regular file is ever replaced: a symbolic
// link to one is written through (the link stays), and any other target is refused before
// anything is written.
#include <string>
#include <string_view>

namespace orvanel {

class TSaveCommit;

// The steps of writing a file at which a failure can be made to happen (by a test).
enum class TWriteStep { Write, Sync, Rename, Remove };

class TWriteFaults {
 public:
  virtual ~TWriteFaults() = default;
  // An errno value for `step` of the file `path` to fail with, or 0 to go on.
  virtual int At(TWriteStep step, const std::string& path) = 0;
};

class TAtomicFile {
 public:
  // Creates the temporary file; throws EFileError naming `path` when that is impossible
  // (missing or read-only folder, a parent that is no folder, a target that is no regular
  // file). With `commit`, Commit leaves the written file to that save, which puts it in
  // place together with the other files of the save.
  explicit TAtomicFile(std::string path, TSaveCommit* commit = nullptr);
  ~TAtomicFile();  // without Commit the temporary file is removed
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Throws EFileError; the temporary file is removed then.
  void Write(std::string_view data);
  // Flushes the data to the disk and renames the temporary file over the target (or hands
  // it to the save it belongs to); throws EFileError, and the temporary file is removed then.
  void Commit();
  // Removes the temporary file; the target is left untouched.
  void Discard() noexcept;

  const std::string& Path() const { return path_; }

 private:
  // Removes the temporary file and throws EFileError naming the target.
  [[noreturn]] void Fail(int error);
  int FaultAt(TWriteStep step) const;

  std::string path_;        // as the caller named it, for messages
  std::string targetPath_;  // the file that is replaced (a link's target)
  std::string tempPath_;
  int fd_ = -1;
  TSaveCommit* commit_ = nullptr;
};

// The message of a file that could not be written: names the file and the reason.
std::string FileWriteErrorMessage(const std::string& path, int error);

// The file a write to `path` replaces or creates: `path` itself, or the regular file a
// symbolic link leads to. Throws EFileError, naming `path` and what stands there, for a
// directory, device, FIFO, socket, or a link to one of them or to nothing.
std::string WriteTarget(const std::string& path);

// Throws EFileError when something other than a regular file now stands at `target`.
void CheckReplaceable(const std::string& target, const std::string& shownPath);

// The name of a temporary file for `target` with the given suffix of 12 hexadecimal
// digits: "<folder>/.<name>.<suffix>.tmp", hidden and in the target's folder so that the
// rename stays on one file system.
std::string TempPathFor(const std::string& target, const std::string& suffix);

// Whether `fileName` (without folder) is a temporary file of a target named `targetName`.
bool IsTempNameOf(const std::string& fileName, const std::string& targetName);

// Flushes the folder holding `path`, so that a rename in it reaches the disk.
void SyncFolderOf(const std::string& path) noexcept;

}  // namespace orvanel
