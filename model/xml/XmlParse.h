#pragma once
// What the DOM loader and the stream reader share: opening files for reading, and the
// collection of libxml2's errors for one document with the refusal of document type
// declarations (they are the only way to declare entities, internal or external).
#include <string>
#include <utility>

struct _xmlError;
struct _xmlParserCtxt;

namespace orvanel::xmlparse {

constexpr const char* kDoctypeRefused = "Document type declarations (DOCTYPE) are not allowed";

class TParseErrors {
 public:
  explicit TParseErrors(std::string fileName) : file_(std::move(fileName)) {}

  // Keeps the first fatal error (or the first error when there is no fatal one yet).
  void Record(const _xmlError& error);
  // Stops the parser and keeps the reason as the document's error.
  void Refuse(_xmlParserCtxt* context, std::string reason);
  bool Refused() const { return refused_; }
  bool HasMessage() const { return !message_.empty(); }
  // Puts a clearer message in place of the library's (at the parser's line when the
  // library gave none).
  void Rephrase(const _xmlParserCtxt* context, std::string message);
  // Throws EXmlError naming the file and line with the library's message.
  [[noreturn]] void Throw() const;

 private:
  std::string file_;
  std::string message_;
  int line_ = 0;
  bool fatal_ = false;
  bool refused_ = false;
};

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

// Opens a file for reading; throws EFileError naming it when it is missing, unreadable or
// a folder.
TFileHandle OpenForReading(const std::string& path);
std::string ReadWholeFile(const std::string& path);
std::string FileReadErrorMessage(const std::string& path, int error);

}  // namespace orvanel::xmlparse
