#pragma once
// Opening the files Orvanel reads. Only a regular file (or a link to one) is read: a folder,
// a FIFO, a device or a socket is refused with a message saying what it is, before anything
// waits on it or reads from it. Files of a kind that never grows large are read up to a size
// no real file of that kind reaches, so an endless or enormous input stops with a message.
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

namespace orvanel {

// Project, map, label, code cache and register description files.
inline constexpr uint64_t kProjectFileSizeLimit = uint64_t{1} << 30;
inline constexpr uint64_t kSymbolFileSizeLimit = uint64_t{256} << 20;
// Logs and trace data files stream and may be as large as a trace is.
inline constexpr uint64_t kNoSizeLimit = std::numeric_limits<uint64_t>::max();

// An open file descriptor, closed with its owner.
class TFileHandle {
 public:
  TFileHandle() = default;
  explicit TFileHandle(int fd) : fd_(fd) {}
  ~TFileHandle();
  TFileHandle(TFileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  TFileHandle& operator=(TFileHandle&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// What stands at a path that is no regular file ("a folder", "a FIFO", "a character
// device", ...), or empty for a regular file, a link to one, or nothing at all.
std::string NonRegularKind(const std::string& path);

// A file opened for reading, with the limit its reads are held to.
class TInputFile {
 public:
  // Throws EFileError naming the file when it is missing, unreadable, no regular file or
  // already larger than `sizeLimit`.
  TInputFile(const std::string& path, uint64_t sizeLimit);
  // Reads up to `size` bytes; 0 at the end of the file. Throws EFileError on a read error or
  // once more than the limit was read (a file that grows while it is read).
  size_t Read(char* buffer, size_t size);
  // The size the file had when it was opened.
  uint64_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  TFileHandle file_;
  uint64_t limit_;
  uint64_t size_ = 0;
  uint64_t read_ = 0;
};

// The whole file, held to the limit.
std::string ReadInputFile(const std::string& path, uint64_t sizeLimit);

// "Cannot read the file "x": reason".
std::string FileReadErrorMessage(const std::string& path, int error);

}  // namespace orvanel
