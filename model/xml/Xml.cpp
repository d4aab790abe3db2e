// The small DOM: documents, elements and the writer into an element.
#include "xml/Xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <climits>
#include <new>

#include "base/Errors.h"
#include "base/InputFile.h"
#include "xml/AtomicFile.h"
#include "xml/XmlParse.h"
#include "xml/XmlText.h"

namespace orvanel {

namespace {

const xmlChar* XmlString(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}

// "prefix:local" or "local" compared with a name, without building the qualified name.
bool QualifiedNameIs(const xmlNs* ns, const xmlChar* local, std::string_view name) {
  if (ns != nullptr && ns->prefix != nullptr) {
    std::string_view prefix = View(ns->prefix);
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix ||
        name[prefix.size()] != ':') {
      return false;
    }
    name.remove_prefix(prefix.size() + 1);
  }
  return View(local) == name;
}

std::string CheckedName(std::string_view name) {
  if (!xmltext::IsName(name)) {
    throw EXmlError("'" + XmlSafeText(name) + "' is not a valid XML name");
  }
  return std::string(name);
}

_xmlNode* CheckedNode(_xmlNode* node) {
  if (node == nullptr) throw EXmlError("No XML element to change");
  return node;
}

bool IsTextNode(const xmlNode* node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

_xmlNode* NextElement(_xmlNode* node) {
  while (node != nullptr && node->type != XML_ELEMENT_NODE) node = node->next;
  return node;
}

_xmlNode* PreviousElement(_xmlNode* node) {
  while (node != nullptr && node->type != XML_ELEMENT_NODE) node = node->prev;
  return node;
}

struct TContextDeleter {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
struct TDocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using TDocOwner = std::unique_ptr<xmlDoc, TDocDeleter>;

// The parser context's user data is the context itself; our error collection hangs on
// its private pointer, so nothing global is set.
void CollectError(void* data, xmlErrorPtr error) {
  auto* context = static_cast<xmlParserCtxtPtr>(data);
  if (context != nullptr && context->_private != nullptr && error != nullptr) {
    static_cast<xmlparse::TParseErrors*>(context->_private)->Record(*error);
  }
}

void RefuseDoctype(void* data, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* context = static_cast<xmlParserCtxtPtr>(data);
  if (context != nullptr && context->_private != nullptr) {
    static_cast<xmlparse::TParseErrors*>(context->_private)
        ->Refuse(context, xmlparse::kDoctypeRefused);
  }
}

TDocOwner NewDocument() {
  TDocOwner doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
  if (doc == nullptr) throw std::bad_alloc();
  doc->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
  return doc;
}

TDocOwner ParseDocument(std::string_view text, const std::string& name) {
  xmlparse::TParseErrors errors(name);
  if (text.size() > static_cast<size_t>(INT_MAX)) {
    throw EXmlError("XML error in \"" + name + "\": the file is too large for a document");
  }
  xmlparse::TAttributeGuard guard;
  if (!guard.Scan(text)) {
    errors.RefuseAtLine(guard.Line(), xmlparse::TAttributeGuard::kTooMany);
    errors.Throw();
  }
  std::unique_ptr<xmlParserCtxt, TContextDeleter> context(xmlNewParserCtxt());
  if (context == nullptr || context->sax == nullptr) throw std::bad_alloc();
  context->_private = &errors;
  context->sax->serror = CollectError;
  context->sax->internalSubset = RefuseDoctype;
  // No XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_DTDATTR: entities stay unexpanded
  // and no DTD is fetched; the blank text between elements is dropped so that a loaded
  // document is indented anew when it is saved. XML_PARSE_HUGE lifts the 10 MB limit of one
  // text or attribute value, which a long name or path written by Orvanel may pass; with no
  // entity ever declared, nothing it lifts can be abused, and the file size is capped.
  TDocOwner doc(xmlCtxtReadMemory(context.get(), text.data(), static_cast<int>(text.size()),
                                  name.c_str(), nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_HUGE));
  if (errors.Refused() || doc == nullptr || !context->wellFormed) errors.Throw();
  // Whatever the file declared, the document is saved as UTF-8.
  xmlFree(const_cast<xmlChar*>(doc->encoding));
  doc->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
  return doc;
}

int AppendToString(void* context, const char* data, int length) noexcept {
  try {
    static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
    return length;
  } catch (...) {
    return -1;
  }
}

}  // namespace

// --- TXmlElement ------------------------------------------------------------------------

std::string TXmlElement::Name() const {
  if (node_ == nullptr) return {};
  std::string name(View(node_->name));
  if (node_->ns != nullptr && node_->ns->prefix != nullptr) {
    name = std::string(View(node_->ns->prefix)) + ":" + name;
  }
  return name;
}

int TXmlElement::Line() const {
  if (node_ == nullptr) return 0;
  long line = xmlGetLineNo(node_);
  return line > 0 && line <= INT_MAX ? static_cast<int>(line) : 0;
}

std::optional<std::string_view> TXmlElement::Attribute(std::string_view name) const {
  if (node_ == nullptr) return std::nullopt;
  for (xmlAttr* attribute = node_->properties; attribute != nullptr; attribute = attribute->next) {
    if (!QualifiedNameIs(attribute->ns, attribute->name, name)) continue;
    xmlNode* value = attribute->children;
    if (value == nullptr) return std::string_view();
    // The usual case, a single text node, is read in place.
    if (value->next == nullptr && value->type == XML_TEXT_NODE) return View(value->content);
    xmlChar* joined = xmlNodeListGetString(node_->doc, value, 1);
    attrBuffer_ = std::string(View(joined));
    xmlFree(joined);
    return std::string_view(attrBuffer_);
  }
  return std::nullopt;
}

void TXmlElement::SetAttribute(std::string_view name, std::string_view value) {
  xmlNode* node = CheckedNode(node_);
  std::string checkedName = CheckedName(name);
  std::string safe = XmlSafeText(value);
  if (xmlSetProp(node, XmlString(checkedName), XmlString(safe)) == nullptr) {
    throw std::bad_alloc();
  }
}

std::string TXmlElement::Text() const {
  std::string text;
  if (node_ == nullptr) return text;
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (IsTextNode(child)) text += View(child->content);
  }
  return text;
}

void TXmlElement::SetText(std::string_view text) {
  xmlNode* node = CheckedNode(node_);
  for (xmlNode* child = node->children; child != nullptr;) {
    xmlNode* next = child->next;
    if (IsTextNode(child)) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    }
    child = next;
  }
  if (text.empty()) return;
  std::string safe = XmlSafeText(text);
  xmlNode* textNode = xmlNewDocTextLen(node->doc, XmlString(safe), static_cast<int>(safe.size()));
  if (textNode == nullptr) throw std::bad_alloc();
  xmlAddChild(node, textNode);
}

TXmlElement TXmlElement::AppendChild(std::string_view name) {
  xmlNode* node = CheckedNode(node_);
  std::string checkedName = CheckedName(name);
  xmlNode* child = xmlNewDocNode(node->doc, nullptr, XmlString(checkedName), nullptr);
  if (child == nullptr) throw std::bad_alloc();
  xmlAddChild(node, child);
  return TXmlElement(child);
}

TXmlElement TXmlElement::FirstChildElement() const {
  return TXmlElement(node_ == nullptr ? nullptr : NextElement(node_->children));
}

TXmlElement TXmlElement::FirstChildElement(std::string_view name) const {
  if (node_ == nullptr) return {};
  for (xmlNode* child = NextElement(node_->children); child != nullptr;
       child = NextElement(child->next)) {
    if (QualifiedNameIs(child->ns, child->name, name)) return TXmlElement(child);
  }
  return {};
}

TXmlElement TXmlElement::NextSiblingElement() const {
  return TXmlElement(node_ == nullptr ? nullptr : NextElement(node_->next));
}

TXmlElement TXmlElement::PreviousSiblingElement() const {
  return TXmlElement(node_ == nullptr ? nullptr : PreviousElement(node_->prev));
}

std::vector<TXmlElement> TXmlElement::ChildElements() const {
  std::vector<TXmlElement> children;
  for (TXmlElement child = FirstChildElement(); child; child = child.NextSiblingElement()) {
    children.push_back(child);
  }
  return children;
}

bool TXmlElement::HasChildNodes() const {
  return node_ != nullptr && node_->children != nullptr;
}

// --- TXmlDomWriter ----------------------------------------------------------------------

TXmlDomWriter::TXmlDomWriter(TXmlElement parent) : stack_{parent} {
  CheckedNode(parent.Raw());
}

void TXmlDomWriter::StartElement(std::string_view name) {
  stack_.push_back(stack_.back().AppendChild(name));
}

void TXmlDomWriter::Attribute(std::string_view name, std::string_view value) {
  stack_.back().SetAttribute(name, value);
}

void TXmlDomWriter::EndElement() {
  if (stack_.size() <= 1) throw EXmlError("EndElement without an open element");
  stack_.pop_back();
}

// --- TXmlDocument -----------------------------------------------------------------------

TXmlDocument::TXmlDocument() : doc_(NewDocument().release()) {}

TXmlDocument::~TXmlDocument() {
  if (doc_ != nullptr) xmlFreeDoc(doc_);
}

TXmlDocument::TXmlDocument(TXmlDocument&& other) noexcept
    : doc_(std::exchange(other.doc_, nullptr)), fileName_(std::move(other.fileName_)) {}

TXmlDocument& TXmlDocument::operator=(TXmlDocument&& other) noexcept {
  std::swap(doc_, other.doc_);
  std::swap(fileName_, other.fileName_);
  return *this;
}

TXmlDocument TXmlDocument::Create(std::string_view rootName) {
  TXmlDocument document;
  document.SetRoot(rootName);
  return document;
}

TXmlDocument TXmlDocument::LoadFile(const std::string& path) {
  TXmlDocument document = LoadString(ReadInputFile(path, kProjectFileSizeLimit), path);
  document.fileName_ = path;
  return document;
}

TXmlDocument TXmlDocument::LoadString(std::string_view text, const std::string& nameForMessages) {
  TDocOwner doc = ParseDocument(text, nameForMessages);
  TXmlDocument document;
  xmlFreeDoc(document.doc_);
  document.doc_ = doc.release();
  return document;
}

TXmlElement TXmlDocument::Root() const {
  return TXmlElement(doc_ == nullptr ? nullptr : xmlDocGetRootElement(doc_));
}

TXmlElement TXmlDocument::SetRoot(std::string_view name) {
  std::string checkedName = CheckedName(name);
  if (doc_ == nullptr) doc_ = NewDocument().release();
  xmlNode* root = xmlNewDocNode(doc_, nullptr, XmlString(checkedName), nullptr);
  if (root == nullptr) throw std::bad_alloc();
  if (xmlNode* old = xmlDocSetRootElement(doc_, root)) xmlFreeNode(old);
  return TXmlElement(root);
}

void TXmlDocument::SaveFile(const std::string& path, TSaveCommit* commit) const {
  std::string text = SaveString();
  TAtomicFile file(path, commit);
  file.Write(text);
  file.Commit();
}

std::string TXmlDocument::SaveString() const {
  TDocOwner empty;
  xmlDoc* doc = doc_;
  if (doc == nullptr) {
    empty = NewDocument();
    doc = empty.get();
  }
  std::string text;
  xmlSaveCtxtPtr save = xmlSaveToIO(AppendToString, nullptr, &text, "UTF-8", XML_SAVE_FORMAT);
  if (save == nullptr) throw std::bad_alloc();
  long written = xmlSaveDoc(save, doc);
  int flushed = xmlSaveClose(save);
  if (written < 0 || flushed < 0) throw EXmlError("The XML document could not be written");
  return text;
}

}  // namespace orvanel
