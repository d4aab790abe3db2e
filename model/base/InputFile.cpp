#include "base/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/Errors.h"

namespace orvanel {

namespace {

const char* KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return nullptr;
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "no regular file";
}

std::string SizeText(uint64_t bytes) {
  if (bytes >= (uint64_t{1} << 30) && bytes % (uint64_t{1} << 30) == 0)
    return std::to_string(bytes >> 30) + " GB";
  return std::to_string(bytes >> 20) + " MB";
}

[[noreturn]] void ThrowTooLarge(const std::string& path, uint64_t limit) {
  throw EFileError("Cannot read the file \"" + path + "\": it is larger than " + SizeText(limit) +
                   ", more than any file of its kind holds");
}

}  // namespace

TFileHandle::~TFileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

std::string FileReadErrorMessage(const std::string& path, int error) {
  return "Cannot read the file \"" + path + "\": " + std::generic_category().message(error);
}

std::string NonRegularKind(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  const char* kind = KindOfMode(info.st_mode);
  return kind ? kind : "";
}

TInputFile::TInputFile(const std::string& path, uint64_t sizeLimit)
    : path_(path), limit_(sizeLimit) {
  // Non-blocking, so that opening a FIFO without a writer returns at once and is refused
  // below instead of waiting; no controlling terminal is taken from a device.
  file_ = TFileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (file_.Fd() < 0) throw EFileError(FileReadErrorMessage(path, errno));
  struct stat info {};
  if (::fstat(file_.Fd(), &info) != 0) throw EFileError(FileReadErrorMessage(path, errno));
  if (const char* kind = KindOfMode(info.st_mode))
    throw EFileError("Cannot read the file \"" + path + "\": it is " + kind + ", not a file");
  size_ = static_cast<uint64_t>(info.st_size);
  if (size_ > limit_) ThrowTooLarge(path, limit_);
  int flags = ::fcntl(file_.Fd(), F_GETFL);
  if (flags >= 0) ::fcntl(file_.Fd(), F_SETFL, flags & ~O_NONBLOCK);
}

size_t TInputFile::Read(char* buffer, size_t size) {
  ssize_t count = 0;
  do {
    count = ::read(file_.Fd(), buffer, size);
  } while (count < 0 && errno == EINTR);
  if (count < 0) throw EFileError(FileReadErrorMessage(path_, errno));
  read_ += static_cast<uint64_t>(count);
  if (read_ > limit_) ThrowTooLarge(path_, limit_);
  return static_cast<size_t>(count);
}

std::string ReadInputFile(const std::string& path, uint64_t sizeLimit) {
  TInputFile file(path, sizeLimit);
  std::string content;
  content.reserve(static_cast<size_t>(file.Size()));
  char buffer[1 << 16];
  while (size_t count = file.Read(buffer, sizeof buffer)) content.append(buffer, count);
  return content;
}

}  // namespace orvanel
