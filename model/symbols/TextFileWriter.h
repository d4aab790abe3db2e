#pragma once
// A text file written in large blocks to a temporary file that replaces the target only
// once everything was written: memory stays flat however long the text is.
#include <string>
#include <string_view>

#include "xml/AtomicFile.h"

namespace orvanel {

class TTextFileWriter {
 public:
  // Throws EFileError when the temporary file cannot be made.
  explicit TTextFileWriter(std::string path) : file_(std::move(path)) {
    buffer_.reserve(kBlock + 1024);
  }
  TTextFileWriter& operator<<(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kBlock) Flush();
    return *this;
  }
  TTextFileWriter& operator<<(char c) {
    buffer_ += c;
    return *this;
  }
  // Writes what is left and renames the file over the target; throws EFileError.
  void Commit() {
    Flush();
    file_.Commit();
  }

 private:
  static constexpr size_t kBlock = 256 * 1024;
  void Flush() {
    file_.Write(buffer_);
    buffer_.clear();
  }
  TAtomicFile file_;
  std::string buffer_;
};

}  // namespace orvanel
