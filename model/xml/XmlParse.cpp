#include "xml/XmlParse.h"

#include <libxml/parser.h>

#include <algorithm>
#include <array>
#include <cstring>

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

void TParseErrors::RefuseAtLine(int line, std::string reason) {
  if (refused_) return;
  refused_ = true;
  message_ = std::move(reason);
  line_ = line;
}

void TParseErrors::Throw() const {
  std::string text = "XML error in \"" + file_ + "\"";
  if (line_ > 0) text += ", line " + std::to_string(line_);
  text += ": " + (message_.empty() ? std::string("the document is not well-formed") : message_);
  throw EXmlError(text);
}

namespace {

// The bytes the scan of a tag stops at; the others are passed over in a tight loop.
constexpr std::array<bool, 256> kTagStops = [] {
  std::array<bool, 256> stops{};
  for (unsigned char c : {'"', '\'', '>', '\n'}) stops[c] = true;
  return stops;
}();

}  // namespace

// Every attribute the parser reads has a quoted value, so a tag's quoted values are counted:
// this needs no look at the names or the values. This runs over
// every byte of a trace data file, so the common path (text, tag, value) is kept short.
void TAttributeGuard::Restart(int line) {
  state_ = TState::Text;
  attributes_ = 0;
  run_ = 0;
  line_ = line;
}

bool TAttributeGuard::Scan(std::string_view bytes) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  auto skipTo = [&](char wanted) {  // true when found; the lines passed over are counted
    int lines = 0;
    while (p < end && *p != wanted) lines += *p++ == '\n';
    line_ += lines;
    if (p == end) return false;
    ++p;
    return true;
  };
  while (p < end) {
    switch (state_) {
      case TState::Off:
        return true;
      case TState::Text:
        if (skipTo('<')) state_ = TState::Open;
        continue;
      case TState::Quoted:
        if (skipTo(quote_)) state_ = TState::Tag;
        continue;
      case TState::EndTag:
        if (skipTo('>')) state_ = TState::Text;
        continue;
      case TState::Tag: {
        while (p < end && !kTagStops[static_cast<unsigned char>(*p)]) ++p;
        if (p == end) continue;
        const char c = *p++;
        if (c == '\n') {
          ++line_;
        } else if (c == '>') {
          state_ = TState::Text;
        } else {
          if (++attributes_ > kMaxAttributes) return false;
          quote_ = c;
          state_ = TState::Quoted;
        }
        continue;
      }
      default:
        break;
    }
    // The rarer states go byte by byte.
    const char c = *p++;
    if (c == '\n') ++line_;
    switch (state_) {
      case TState::Open:
        attributes_ = 0;
        run_ = 0;
        bang_.clear();
        state_ = c == '!'   ? TState::Bang
                 : c == '?' ? TState::Instruction
                 : c == '/' ? TState::EndTag
                            : TState::Tag;
        break;
      case TState::Bang: {
        bang_ += c;
        constexpr std::string_view kComment = "--", kCdata = "[CDATA[";
        if (bang_ == kComment)
          state_ = TState::Comment;
        else if (bang_ == kCdata)
          state_ = TState::Cdata;
        else if (kComment.substr(0, bang_.size()) != bang_ &&
                 kCdata.substr(0, bang_.size()) != bang_)
          state_ = TState::Off;  // a document type declaration, or no XML at all
        break;
      }
      case TState::Comment:
      case TState::Cdata: {
        const char closing = state_ == TState::Comment ? '-' : ']';
        if (c == '>' && run_ >= 2) state_ = TState::Text;
        run_ = c == closing ? run_ + 1 : 0;
        break;
      }
      case TState::Instruction:
        if (c == '>' && run_ > 0) state_ = TState::Text;
        run_ = c == '?' ? 1 : 0;
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace orvanel::xmlparse
