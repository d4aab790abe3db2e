#include "LogLines.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Errors.h"
#include "Utf8.h"

namespace orvanel {

// The look-up cache holds views into the text, so a move starts it afresh.
TLogLines::TLogLines(TLogLines&& other) noexcept
    : text_(std::move(other.text_)),
      starts_(std::move(other.starts_)),
      lengths_(std::move(other.lengths_)) {
  other.Clear();
}

TLogLines& TLogLines::operator=(TLogLines&& other) noexcept {
  if (this != &other) {
    firstIndex_.clear();
    text_ = std::move(other.text_);
    starts_ = std::move(other.starts_);
    lengths_ = std::move(other.lengths_);
    other.Clear();
  }
  return *this;
}

TLogLines TLogLines::FromBytes(std::string bytes) {
  TLogLines lines;
  lines.text_ = IsValidUtf8(bytes) ? std::move(bytes) : Latin1ToUtf8(bytes);
  const std::string& t = lines.text_;
  size_t start = 0;
  size_t i = 0;
  const size_t n = t.size();
  while (i < n) {
    char c = t[i];
    if (c != '\n' && c != '\r') {
      ++i;
      continue;
    }
    lines.starts_.push_back(start);
    lines.lengths_.push_back(static_cast<uint32_t>(i - start));
    ++i;
    if (c == '\r' && i < n && t[i] == '\n') ++i;  // CR LF is one line end
    start = i;
  }
  if (start < t.size()) {  // a last line without a line end
    lines.starts_.push_back(start);
    lines.lengths_.push_back(static_cast<uint32_t>(t.size() - start));
  }
  return lines;
}

TLogLines TLogLines::FromFile(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) throw EFileError("Cannot open file \"" + path + "\": " + std::strerror(errno));
  std::string bytes;
  if (std::fseek(f.get(), 0, SEEK_END) == 0) {
    long size = std::ftell(f.get());
    if (size > 0) bytes.reserve(static_cast<size_t>(size));
    std::rewind(f.get());
  }
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) bytes.append(buffer, n);
  if (std::ferror(f.get())) throw EFileError("Cannot read file \"" + path + "\"");
  return FromBytes(std::move(bytes));
}

std::optional<size_t> TLogLines::FirstIndexOf(std::string_view text) const {
  if (firstIndex_.empty() && !starts_.empty()) {
    firstIndex_.reserve(starts_.size());
    for (size_t k = 0; k < starts_.size(); ++k) firstIndex_.emplace((*this)[k], k);
  }
  auto it = firstIndex_.find(text);
  if (it == firstIndex_.end()) return std::nullopt;
  return it->second;
}

void TLogLines::Clear() {
  text_.clear();
  starts_.clear();
  lengths_.clear();
  firstIndex_.clear();
}

}  // namespace orvanel
