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

namespace orvanel {

namespace {

// A symbolic link is replaced by writing to the file it points to, so that the link stays.
std::string ResolveLinks(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(path, error)) return path;
  auto target = std::filesystem::canonical(path, error);
  return error ? path : target.string();
}

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// "<folder>/.<name>.<random>.tmp": hidden, in the target's folder so that the rename stays
// on one file system.
std::string TempName(const std::string& path, std::mt19937_64& random) {
  auto slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string suffix;
  uint64_t bits = random();
  for (int i = 0; i < 12; ++i, bits >>= 4) suffix += kDigits[bits & 15];
  return folder + "." + name + "." + suffix + ".tmp";
}

}  // namespace

std::string FileWriteErrorMessage(const std::string& path, int error) {
  return "Cannot write the file \"" + path + "\": " + std::generic_category().message(error);
}

TAtomicFile::TAtomicFile(std::string path) : path_(std::move(path)) {
  if (path_.empty()) throw EFileError("Cannot write a file without a name");
  std::string target = ResolveLinks(path_);
  std::mt19937_64 random(std::random_device{}());
  int error = 0;
  for (int attempt = 0; attempt < 20 && fd_ < 0; ++attempt) {
    tempPath_ = TempName(target, random);
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

void TAtomicFile::Write(std::string_view data) {
  if (fd_ < 0) throw EFileError(FileWriteErrorMessage(path_, EBADF));
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
  if (::fsync(fd_) != 0 && errno != EINVAL) Fail(errno);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail(errno);
  if (::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) Fail(errno);
  tempPath_.clear();
  // The new name itself reaches the disk with the folder; a failure here loses nothing
  // that is not already written.
  int folder = ::open(FolderOf(targetPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    (void)::fsync(folder);
    ::close(folder);
  }
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
