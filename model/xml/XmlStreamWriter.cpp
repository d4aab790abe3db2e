// The streaming writer of large documents (trace data files). It serialises by itself
// into a buffer that goes to the file in large pieces: libxml2's text writer escapes
// attribute values one character at a time and takes several times as long for a
// trace of a million lines. The escaping follows libxml2's own serialiser.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "base/Errors.h"
#include "xml/AtomicFile.h"
#include "xml/Xml.h"
#include "xml/XmlText.h"

namespace orvanel {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr size_t kFlushSize = size_t{1} << 20;
constexpr size_t kIndentWidth = 2;
constexpr size_t kMaxIndent = static_cast<size_t>(TXmlStreamWriter::kIndentCap);

constexpr std::array<char, 1 + kIndentWidth * kMaxIndent> MakeIndent() {
  std::array<char, 1 + kIndentWidth * kMaxIndent> indent{};
  indent[0] = '\n';
  for (size_t i = 1; i < indent.size(); ++i) indent[i] = ' ';
  return indent;
}
constexpr auto kIndent = MakeIndent();

constexpr uint32_t kNoNode = UINT32_MAX;
constexpr size_t kMaxNameNodes = 4096;

struct TNameNode {
  std::string name;
  uint32_t parent = 0;
  uint32_t firstChild = kNoNode;
  uint32_t nextSibling = kNoNode;
};

// A new line indented for the depth, which stops growing at the cap.
void AppendIndent(std::string& out, size_t depth) {
  out.append(kIndent.data(), 1 + kIndentWidth * std::min(depth, kMaxIndent));
}

}  // namespace

struct TXmlStreamWriter::Impl {
  std::optional<TAtomicFile> file;  // none in memory mode
  std::string out;                  // not yet written (in memory mode the whole document)
  std::string openNames;            // names of the open elements, one after the other
  std::vector<size_t> nameStarts;   // where each open element's name starts in openNames
  // The sequences of attribute names met so far, as a tree: a path from the root is the
  // names of one element in order, each checked once to be valid and not repeated.
  // Elements of one kind write the same names in the same order, so the check of a name
  // mostly costs one comparison.
  std::vector<TNameNode> names = std::vector<TNameNode>(1);
  uint32_t namePath = 0;  // the node of the current element's last attribute
  bool tagOpen = false;   // the current start tag still takes attributes
  bool rootWritten = false;
  bool committed = false;
  std::string failure;  // the message of a failed write; the writer is unusable then

  void CheckUsable() const {
    if (!failure.empty()) throw EFileError(failure);
    if (committed) throw EXmlError("The XML document has already been ended");
  }

  void Flush() {
    try {
      file->Write(out);
    } catch (const EFileError& error) {
      failure = error.what();
      throw;
    }
    out.clear();
  }

  void FlushWhenFull() {
    if (file && out.size() >= kFlushSize) Flush();
  }

  void StartNamePath() {
    if (names.size() > kMaxNameNodes) {  // a caller with ever new names
      names.resize(1);
      names[0].firstChild = kNoNode;
    }
    namePath = 0;
  }

  void CheckAttributeName(std::string_view name) {
    for (uint32_t child = names[namePath].firstChild; child != kNoNode;
         child = names[child].nextSibling) {
      if (names[child].name == name) {
        namePath = child;
        return;
      }
    }
    if (!xmltext::IsName(name)) {
      throw EXmlError("'" + XmlSafeText(name) + "' is not a valid XML name");
    }
    for (uint32_t node = namePath; node != 0; node = names[node].parent) {
      if (names[node].name == name) {
        throw EXmlError("The attribute '" + std::string(name) + "' is written twice");
      }
    }
    auto added = static_cast<uint32_t>(names.size());
    names.push_back({std::string(name), namePath, kNoNode, names[namePath].firstChild});
    names[namePath].firstChild = added;
    namePath = added;
  }
};

TXmlStreamWriter::TXmlStreamWriter(const std::string& path, TSaveCommit* commit)
    : impl_(std::make_unique<Impl>()) {
  impl_->file.emplace(path, commit);
  impl_->out.reserve(kFlushSize + (kFlushSize >> 2));
  impl_->out += kDeclaration;
}

TXmlStreamWriter::TXmlStreamWriter() : impl_(std::make_unique<Impl>()) {
  impl_->out += kDeclaration;
}

TXmlStreamWriter::~TXmlStreamWriter() = default;

void TXmlStreamWriter::StartElement(std::string_view name) {
  Impl& w = *impl_;
  w.CheckUsable();
  if (!xmltext::IsName(name)) {
    throw EXmlError("'" + XmlSafeText(name) + "' is not a valid XML name");
  }
  size_t depth = w.nameStarts.size();
  if (depth == 0 && w.rootWritten) throw EXmlError("An XML document has only one root element");
  if (w.tagOpen) w.out += '>';
  if (depth > 0) AppendIndent(w.out, depth);
  w.out += '<';
  w.out += name;
  w.nameStarts.push_back(w.openNames.size());
  w.openNames += name;
  w.tagOpen = true;
  w.rootWritten = true;
  w.StartNamePath();
}

void TXmlStreamWriter::Attribute(std::string_view name, std::string_view value) {
  Impl& w = *impl_;
  w.CheckUsable();
  if (!w.tagOpen) throw EXmlError("An attribute can only follow the start of an element");
  w.CheckAttributeName(name);
  w.out += ' ';
  w.out += name;
  w.out += "=\"";
  xmltext::AppendAttributeValue(w.out, value);
  w.out += '"';
}

void TXmlStreamWriter::EndElement() {
  Impl& w = *impl_;
  w.CheckUsable();
  if (w.nameStarts.empty()) throw EXmlError("EndElement without an open element");
  size_t start = w.nameStarts.back();
  w.nameStarts.pop_back();
  if (w.tagOpen) {
    w.out += "/>";
  } else {
    AppendIndent(w.out, w.nameStarts.size());
    w.out += "</";
    w.out.append(w.openNames, start);
    w.out += '>';
  }
  w.openNames.resize(start);
  w.tagOpen = false;
  w.FlushWhenFull();
}

void TXmlStreamWriter::Commit() {
  Impl& w = *impl_;
  w.CheckUsable();
  if (!w.rootWritten) throw EXmlError("The XML document has no root element");
  while (!w.nameStarts.empty()) EndElement();
  w.out += '\n';
  w.committed = true;
  if (!w.file) {
    memory_ = std::move(w.out);
    return;
  }
  w.Flush();
  try {
    w.file->Commit();
  } catch (const EFileError& error) {
    w.failure = error.what();
    throw;
  }
}

}  // namespace orvanel
