#pragma once
// What the DOM loader and the stream reader share: opening files for reading, and the
// collection of libxml2's errors for one document with the refusal of document type
// declarations (they are the only way to declare entities, internal or external).
#include <string>
#include <string_view>
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
  // Stops at a fault found outside the parser (it is not fed further).
  void RefuseAtLine(int line, std::string reason);
  // Throws EXmlError naming the file and line with the library's message.
  [[noreturn]] void Throw() const;

 private:
  std::string file_;
  std::string message_;
  int line_ = 0;
  bool fatal_ = false;
  bool refused_ = false;
};

// Watches the bytes of a document before the parser sees them and stops at a start tag with
// more attributes than any element of Orvanel's files has (they have a few dozen at most):
// libxml2 compares every attribute of a tag with every other before it hands the tag on, so
// a tag with hundreds of thousands of them would take minutes. Comments, CDATA sections,
// processing instructions and quoted values are passed over; at a document type declaration
// the watch ends, as the parser refuses the document there.
class TAttributeGuard {
 public:
  static constexpr int kMaxAttributes = 64;
  static constexpr const char* kTooMany =
      "An element has more attributes than any element of these files (64)";
  // Starts afresh at the start of a node (or in text) on the given line.
  void Restart(int line);
  // Scans the next bytes of the document; false when a start tag has too many attributes,
  // and then Line() is where it stands.
  bool Scan(std::string_view bytes);
  int Line() const { return line_; }

 private:
  enum class TState { Text, Open, Bang, Comment, Cdata, Instruction, Tag, Quoted, EndTag, Off };
  TState state_ = TState::Text;
  std::string bang_;  // the characters after "<!" until they tell what follows
  int attributes_ = 0;
  int run_ = 0;  // '-' or ']' seen in a row before a '>', '?' just before a '>'
  char quote_ = 0;
  int line_ = 1;
};

}  // namespace orvanel::xmlparse
