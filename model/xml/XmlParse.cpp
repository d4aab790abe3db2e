#include "xml/XmlParse.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "base/Errors.h"

namespace orvanel::xmlparse {

void TParseErrors::Record(const _xmlError& error) {
  bool fatal = error.level == XML_ERR_FATAL;
  if (error.level < XML_ERR_ERROR || fatal_ || refused_) return;
  if (!message_.empty() && !fatal) return;
  message_ = error.message != nullptr ? error.message : "unknown error";
  while (!message_.empty() && (message_.back() == '\n' || message_.back() == ' ')) {
    message_.pop_back();
  }
  std::replace(message_.begin(), message_.end(), '\n', ' ');  // "...!\nBytes: 0xFF"
  line_ = error.line;
  fatal_ = fatal;
}

void TParseErrors::Refuse(_xmlParserCtxt* context, std::string reason) {
  if (refused_) return;
  refused_ = true;
  message_ = std::move(reason);
  line_ = context->input != nullptr ? context->input->line : 0;
  xmlStopParser(context);
}

void TParseErrors::Rephrase(const _xmlParserCtxt* context, std::string message) {
  message_ = std::move(message);
  if (line_ == 0 && context->input != nullptr) line_ = context->input->line;
}

void TParseErrors::Throw() const {
  std::string text = "XML error in \"" + file_ + "\"";
  if (line_ > 0) text += ", line " + std::to_string(line_);
  text += ": " + (message_.empty() ? std::string("the document is not well-formed") : message_);
  throw EXmlError(text);
}

std::string FileReadErrorMessage(const std::string& path, int error) {
  return "Cannot read the file \"" + path + "\": " + std::generic_category().message(error);
}

TFileHandle::~TFileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

TFileHandle OpenForReading(const std::string& path) {
  TFileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Fd() < 0) throw EFileError(FileReadErrorMessage(path, errno));
  struct stat info {};
  if (::fstat(file.Fd(), &info) != 0) throw EFileError(FileReadErrorMessage(path, errno));
  if (S_ISDIR(info.st_mode)) throw EFileError(FileReadErrorMessage(path, EISDIR));
  return file;
}

std::string ReadWholeFile(const std::string& path) {
  TFileHandle file = OpenForReading(path);
  std::string content;
  char buffer[1 << 16];
  for (;;) {
    ssize_t count = ::read(file.Fd(), buffer, sizeof buffer);
    if (count == 0) return content;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw EFileError(FileReadErrorMessage(path, errno));
    }
    content.append(buffer, static_cast<size_t>(count));
  }
}

}  // namespace orvanel::xmlparse
