#pragma once
// The lines of a trace log, held in one buffer (no allocation per line).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvanel {

// An interrupt the emulator announced on a line of its own, between the interrupted
// instruction and the handler's first one.
enum class TInterruptKind : uint8_t { Nmi, Irq, Brk, Cop };
struct TInterruptMarker {
  size_t nextLine;  // index of the instruction line after the marker (Count() at the log's end)
  TInterruptKind kind;
};

class TLogLines {
 public:
  TLogLines() = default;
  TLogLines(TLogLines&& other) noexcept;
  TLogLines& operator=(TLogLines&& other) noexcept;
  TLogLines(const TLogLines&) = delete;
  TLogLines& operator=(const TLogLines&) = delete;
  // Splits the text at CR LF, CR or LF; a final line end adds no empty line.
  // The bytes are taken as UTF-8 when the whole text is valid UTF-8, else as Latin-1
  // (converted to UTF-8).
  static TLogLines FromBytes(std::string bytes);
  // Reads a file; throws EFileError when it cannot be read.
  static TLogLines FromFile(const std::string& path);

  size_t Count() const { return starts_.size(); }
  bool Empty() const { return starts_.empty(); }
  std::string_view operator[](size_t index) const {
    return std::string_view(text_).substr(starts_[index], lengths_[index]);
  }
  // Zero-based index of the first line equal to the text, if any (for error messages).
  std::optional<size_t> FirstIndexOf(std::string_view text) const;
  void Clear();

  // Drops every line whose flag is set (one flag per line), keeping the others in order.
  void RemoveLines(const std::vector<bool>& leftOut);
  // The interrupt markers of the lines, by the line that follows each; sorted.
  const std::vector<TInterruptMarker>& InterruptMarkers() const { return markers_; }
  void SetInterruptMarkers(std::vector<TInterruptMarker> markers) { markers_ = std::move(markers); }

 private:
  std::string text_;
  std::vector<size_t> starts_;
  std::vector<uint32_t> lengths_;
  std::vector<TInterruptMarker> markers_;
  mutable std::unordered_map<std::string_view, size_t> firstIndex_;  // built on first use
};

}  // namespace orvanel
