#include "xml/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/Errors.h"
#include "xml/SaveCommit.h"

namespace orvanel {

namespace {

constexpr size_t kSuffixLength = 12;

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RandomSuffix(std::mt19937_64& random) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string suffix;
  uint64_t bits = random();
  for (size_t i = 0; i < kSuffixLength; ++i, bits >>= 4) suffix += kDigits[bits & 15];
  return suffix;
}

// What stands at a path, in words, for a file that is not regular.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

[[noreturn]] void Refuse(const std::string& path, const std::string& what) {
  throw EFileError("Cannot write the file \"" + path + "\": it is " + what +
                   "; only a regular file is replaced");
}

}  // namespace

std::string FileWriteErrorMessage(const std::string& path, int error) {
  return "Cannot write the file \"" + path + "\": " + std::generic_category().message(error);
}

std::string WriteTarget(const std::string& path) {
  struct stat info {};
  // Nothing there (or a folder on the way that cannot be read): the temporary file's
  // creation reports what is wrong.
  if (::lstat(path.c_str(), &info) != 0) return path;
  if (S_ISREG(info.st_mode)) return path;
  if (!S_ISLNK(info.st_mode)) Refuse(path, KindOf(info.st_mode));
  if (::stat(path.c_str(), &info) != 0) Refuse(path, "a symbolic link to nothing");
  if (!S_ISREG(info.st_mode))
    Refuse(path, std::string("a symbolic link to ") + KindOf(info.st_mode));
  std::error_code error;
  auto target = std::filesystem::canonical(path, error);
  if (error) throw EFileError(FileWriteErrorMessage(path, error.value()));
  return target.string();
}

void CheckReplaceable(const std::string& target, const std::string& shownPath) {
  struct stat info {};
  if (::lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    Refuse(shownPath, KindOf(info.st_mode));
}

std::string TempPathFor(const std::string& target, const std::string& suffix) {
  auto slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return folder + "." + name + "." + suffix + ".tmp";
}

bool IsTempNameOf(const std::string& fileName, const std::string& targetName) {
  const std::string tail = ".tmp";
  if (targetName.empty() ||
      fileName.size() != 1 + targetName.size() + 1 + kSuffixLength + tail.size())
    return false;
  if (fileName[0] != '.' || fileName.compare(1, targetName.size(), targetName) != 0 ||
      fileName[1 + targetName.size()] != '.' || !fileName.ends_with(tail))
    return false;
  for (size_t i = 2 + targetName.size(); i < fileName.size() - tail.size(); ++i) {
    char c = fileName[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

void SyncFolderOf(const std::string& path) noexcept {
  int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    (void)::fsync(folder);
    ::close(folder);
  }
}

TAtomicFile::TAtomicFile(std::string path, TSaveCommit* commit)
    : path_(std::move(path)), commit_(commit) {
  if (path_.empty()) throw EFileError("Cannot write a file without a name");
  std::string target = WriteTarget(path_);
  std::mt19937_64 random(std::random_device{}());
  int error = 0;
  for (int attempt = 0; attempt < 20 && fd_ < 0; ++attempt) {
    tempPath_ = TempPathFor(target, RandomSuffix(random));
    fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    error = errno;
    if (fd_ < 0 && error != EEXIST) break;
  }
  if (fd_ < 0) {
    tempPath_.clear();
    throw EFileError(FileWriteErrorMessage(path_, error));
  }
  // A file that is replaced keeps its permissions.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    (void)::fchmod(fd_, old.st_mode & 07777);
  }
  targetPath_ = std::move(target);
}

TAtomicFile::~TAtomicFile() {
  Discard();
}

int TAtomicFile::FaultAt(TWriteStep step) const {
  TWriteFaults* faults = commit_ ? commit_->Faults() : nullptr;
  return faults ? faults->At(step, targetPath_) : 0;
}

void TAtomicFile::Write(std::string_view data) {
  if (fd_ < 0) throw EFileError(FileWriteErrorMessage(path_, EBADF));
  if (int fault = FaultAt(TWriteStep::Write)) Fail(fault);
  while (!data.empty()) {
    ssize_t written = ::write(fd_, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    data.remove_prefix(static_cast<size_t>(written));
  }
}

void TAtomicFile::Commit() {
  if (fd_ < 0) throw EFileError(FileWriteErrorMessage(path_, EBADF));
  if (int fault = FaultAt(TWriteStep::Sync)) Fail(fault);
  if (::fsync(fd_) != 0 && errno != EINVAL) Fail(errno);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail(errno);
  if (commit_) {
    commit_->Stage(targetPath_, tempPath_, path_);
    tempPath_.clear();  // the save owns it now
    return;
  }
  try {
    CheckReplaceable(targetPath_, path_);
  } catch (const EFileError&) {
    Discard();
    throw;
  }
  if (::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) Fail(errno);
  tempPath_.clear();
  // The new name itself reaches the disk with the folder; a failure here loses nothing
  // that is not already written.
  SyncFolderOf(targetPath_);
}

void TAtomicFile::Discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

void TAtomicFile::Fail(int error) {
  Discard();
  throw EFileError(FileWriteErrorMessage(path_, error));
}

}  // namespace orvanel
