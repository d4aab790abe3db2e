#include "trace/LogLines.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/Errors.h"
#include "base/Utf8.h"

namespace orvanel {

// The look-up cache holds views into the text, so a move starts it afresh.
TLogLines::TLogLines(TLogLines&& other) noexcept
    : text_(std::move(other.text_)),
      starts_(std::move(other.starts_)),
      lengths_(std::move(other.lengths_)),
      markers_(std::move(other.markers_)) {
  other.Clear();
}

TLogLines& TLogLines::operator=(TLogLines&& other) noexcept {
  if (this != &other) {
    firstIndex_.clear();
    text_ = std::move(other.text_);
    starts_ = std::move(other.starts_);
    lengths_ = std::move(other.lengths_);
    markers_ = std::move(other.markers_);
    other.Clear();
  }
  return *this;
}

TLogLines TLogLines::FromBytes(std::string bytes) {
  TLogLines lines;
  lines.text_ = IsValidUtf8(bytes) ? std::move(bytes) : Latin1ToUtf8(bytes);
  const std::string& t = lines.text_;
  const char* const base = t.data();
  const size_t n = t.size();
  lines.starts_.reserve(n / 64);
  lines.lengths_.reserve(n / 64);
  auto findLf = [&](size_t from) {
    const void* lf = std::memchr(base + from, '\n', n - from);
    return lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : n;
  };
  size_t start = 0;
  size_t nextLf = findLf(0);  // the first LF at or after `start`, or n
  while (start < n) {
    // The line ends at the first CR or LF: the LF is found first, then a CR before it.
    if (nextLf < start) nextLf = findLf(start);
    size_t end = nextLf;
    if (const void* cr = std::memchr(base + start, '\r', end - start))
      end = static_cast<size_t>(static_cast<const char*>(cr) - base);
    if (end == n) break;  // a last line without a line end
    lines.starts_.push_back(start);
    lines.lengths_.push_back(static_cast<uint32_t>(end - start));
    start = end + 1;
    if (t[end] == '\r' && start < n && t[start] == '\n') ++start;  // CR LF is one line end
  }
  if (start < n) {
    lines.starts_.push_back(start);
    lines.lengths_.push_back(static_cast<uint32_t>(n - start));
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
  markers_.clear();
  firstIndex_.clear();
}

void TLogLines::RemoveLines(const std::vector<bool>& leftOut) {
  firstIndex_.clear();
  // The kept lines move to the front of the text, so the lines left out cost only their
  // reading, not the memory of the rest of the session.
  size_t kept = 0, end = 0;
  for (size_t k = 0; k < starts_.size(); ++k) {
    if (k < leftOut.size() && leftOut[k]) continue;
    if (starts_[k] != end) std::memmove(text_.data() + end, text_.data() + starts_[k], lengths_[k]);
    starts_[kept] = end;
    lengths_[kept] = lengths_[k];
    end += lengths_[k];
    ++kept;
  }
  starts_.resize(kept);
  lengths_.resize(kept);
  text_.resize(end);
  text_.shrink_to_fit();
  starts_.shrink_to_fit();
  lengths_.shrink_to_fit();
}

}  // namespace orvanel
