#pragma once
// The XML layer on libxml2: a small DOM for small files (project, map, label, register
// files) and a streaming writer and reader for trace data files, which can be hundreds of
// MB. Reading never touches the network, never loads a DTD and refuses every document with
// a document type declaration, the only place where entities can be declared. Every file is
// written to a temporary file and renamed over the old one. Names of elements and
// attributes are checked (EXmlError), and every text and attribute value written goes
// through XmlSafeText, so every file written is well-formed.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace orvanel {

class TSaveCommit;

// A character that XML 1.0 cannot hold (control characters other than tab, line feed and
// carriage return, and bytes that are no valid UTF-8) becomes U+FFFD.
std::string XmlSafeText(std::string_view text);

// Read access to the attributes of one element, whatever holds it.
class TXmlAttributes {
 public:
  virtual ~TXmlAttributes() = default;
  // The attribute's value, or none when the element has no such attribute.
  virtual std::optional<std::string_view> Attribute(std::string_view name) const = 0;
};

// Write access: an element that is being written.
class TXmlWriter {
 public:
  virtual ~TXmlWriter() = default;
  virtual void StartElement(std::string_view name) = 0;
  virtual void Attribute(std::string_view name, std::string_view value) = 0;
  virtual void EndElement() = 0;
};

// A handle to an element of a TXmlDocument (not owning; valid while the document lives).
class TXmlElement : public TXmlAttributes {
 public:
  TXmlElement() = default;
  explicit TXmlElement(_xmlNode* node) : node_(node) {}
  explicit operator bool() const { return node_ != nullptr; }
  _xmlNode* Raw() const { return node_; }

  std::string Name() const;
  // The line of the file where the element starts (0 when unknown).
  int Line() const;
  // The view lives until the attribute is changed (a value made of several pieces, which
  // only a document built by hand has, until the next call on this handle).
  std::optional<std::string_view> Attribute(std::string_view name) const override;
  // Replaces an attribute in its place or adds it after the others.
  void SetAttribute(std::string_view name, std::string_view value);
  // The element's own text and CDATA children joined (empty when it has none).
  std::string Text() const;
  // Replaces the element's own text; child elements stay.
  void SetText(std::string_view text);
  TXmlElement AppendChild(std::string_view name);
  // Child elements only (comments, text and processing instructions are passed over).
  TXmlElement FirstChildElement() const;
  TXmlElement FirstChildElement(std::string_view name) const;
  TXmlElement NextSiblingElement() const;
  TXmlElement PreviousSiblingElement() const;
  std::vector<TXmlElement> ChildElements() const;
  // Any child node: element, text, comment or processing instruction.
  bool HasChildNodes() const;

 private:
  _xmlNode* node_ = nullptr;
  mutable std::string attrBuffer_;  // keeps the last attribute value alive for the view
};

// An element written through TXmlWriter into a DOM element (small documents, tests).
class TXmlDomWriter : public TXmlWriter {
 public:
  explicit TXmlDomWriter(TXmlElement parent);
  void StartElement(std::string_view name) override;
  void Attribute(std::string_view name, std::string_view value) override;
  void EndElement() override;
  TXmlElement Current() const { return stack_.back(); }

 private:
  std::vector<TXmlElement> stack_;
};

class TXmlDocument {
 public:
  TXmlDocument();  // an empty document without a root
  ~TXmlDocument();
  TXmlDocument(TXmlDocument&& other) noexcept;
  TXmlDocument& operator=(TXmlDocument&& other) noexcept;
  TXmlDocument(const TXmlDocument&) = delete;
  TXmlDocument& operator=(const TXmlDocument&) = delete;

  // A new document, version "1.0", encoding "UTF-8", with a root element of that name.
  static TXmlDocument Create(std::string_view rootName);
  // Throws EXmlError with the library's message naming the file and line, EFileError when
  // the file cannot be read, is no regular file or is larger than 1 GB. Blank text between elements
  // is dropped, so that the document is indented anew when saved; libxml2 refuses documents more
  // than 256 levels deep.
  static TXmlDocument LoadFile(const std::string& path);
  static TXmlDocument LoadString(std::string_view text, const std::string& nameForMessages);

  TXmlElement Root() const;
  TXmlElement SetRoot(std::string_view name);
  // Writes indented UTF-8 through a temporary file; throws EFileError on failure, and the
  // old file is then left whole.
  // With `commit`, the file is put in place by that save together with its other files.
  void SaveFile(const std::string& path, TSaveCommit* commit = nullptr) const;
  std::string SaveString() const;
  const std::string& FileName() const { return fileName_; }

 private:
  _xmlDoc* doc_ = nullptr;
  std::string fileName_;
};

// Streaming writer with indentation that grows with depth only up to a cap, so that a
// tree thousands of levels deep does not give a file quadratic in its depth. Up to 30
// levels (where libxml2's own indentation stops growing) the text is the same as libxml2
// gives for the same tree: attribute values escaped alike, tab, line feed and carriage
// return as character references. Misuse (an attribute after a child,
// a repeated attribute name, a second root, no root at Commit) throws EXmlError; a failed
// write throws EFileError, removes the temporary file and leaves the writer unusable.
class TXmlStreamWriter : public TXmlWriter {
 public:
  static constexpr int kIndentCap = 40;
  // Writes to a temporary file beside `path`; Commit renames it over `path`.
  // With `commit`, Commit leaves the file to that save (see TSaveCommit).
  explicit TXmlStreamWriter(const std::string& path, TSaveCommit* commit = nullptr);
  // Writes into memory (tests); Text() gives the document after Commit.
  TXmlStreamWriter();
  ~TXmlStreamWriter() override;  // without Commit the temporary file is removed

  void StartElement(std::string_view name) override;
  void Attribute(std::string_view name, std::string_view value) override;
  void EndElement() override;
  // Ends the document and, for a file, renames the temporary file; throws EFileError.
  void Commit();
  const std::string& Text() const { return memory_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string memory_;
};

// Streaming reader: element by element, with the attributes of the current element.
// It runs libxml2's push parser with handlers of its own, so no tree is built; a document
// of any depth is read without recursion.
class TXmlStreamReader : public TXmlAttributes {
 public:
  enum class TNode { Element, EndElement, Other, End };
  // Throws EFileError when the file cannot be opened or is no regular file, and once more
  // than `sizeLimit` bytes of it were read.
  explicit TXmlStreamReader(const std::string& path, uint64_t sizeLimit = UINT64_MAX);
  TXmlStreamReader(std::string_view text, const std::string& nameForMessages);
  ~TXmlStreamReader() override;
  TXmlStreamReader(const TXmlStreamReader&) = delete;
  TXmlStreamReader& operator=(const TXmlStreamReader&) = delete;

  // Moves to the next node. As with libxml2's reader, an empty element (<a/>) gives an
  // Element with IsEmptyElement() and no EndElement; <a></a> gives both. Other stands
  // for text that is not blank, comments and processing instructions; End comes after the
  // root element has ended and then again on every call. Throws EXmlError (file and line
  // in the message) when the document is not well-formed or has a document type
  // declaration or an element with more attributes than any element of Orvanel's files
  // (the nodes before the fault are delivered first); EFileError when the file cannot be
  // read.
  TNode Next();
  // Of the current Element or EndElement.
  const std::string& Name() const { return name_; }
  int Depth() const { return depth_; }  // the root element has depth 0
  bool IsEmptyElement() const { return empty_; }
  int Line() const { return line_; }  // where the start tag ends
  std::optional<std::string_view> Attribute(std::string_view name) const override;
  // The attributes of the current Element in the order written.
  const std::vector<std::pair<std::string, std::string>>& Attributes() const {
    return kind_ == TNode::Element ? attrs_ : noAttributes_;
  }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  TNode kind_ = TNode::End;
  std::string name_;
  int depth_ = 0;
  bool empty_ = false;
  int line_ = 0;
  std::vector<std::pair<std::string, std::string>> attrs_;  // kept from element to element
  mutable size_t nextLookup_ = 0;                           // where Attribute() starts
  const std::vector<std::pair<std::string, std::string>> noAttributes_;
};

}  // namespace orvanel
