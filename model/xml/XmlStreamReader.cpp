// The streaming reader of large documents (trace data files). libxml2's push parser calls
// the handlers below, which queue the nodes of one chunk of input; Next hands them out and
// parses the next chunk when the queue is empty. libxml2's own reader builds and frees a
// tree node for every element and takes about three times as long.
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <new>

#include "base/Errors.h"
#include "base/InputFile.h"
#include "xml/Xml.h"
#include "xml/XmlParse.h"

namespace orvanel {

namespace {

constexpr size_t kChunkSize = size_t{1} << 16;
// A node longer than 10 MB makes the push parser look through all of it again for every
// chunk; doubling the chunk while no node comes out keeps that linear.
constexpr size_t kMaxChunkSize = size_t{1} << 26;

// Names come from the parser's dictionary, one pointer per distinct name: a name whose
// pointers are those of the text already held need not be copied again.
struct TNameKey {
  const xmlChar* prefix = nullptr;
  const xmlChar* local = nullptr;  // none: the text is not known to match
};

struct TNodeEvent {
  TXmlStreamReader::TNode kind = TXmlStreamReader::TNode::Other;
  std::string name;
  int depth = 0;
  bool empty = false;
  int line = 0;
  std::vector<std::pair<std::string, std::string>> attributes;
  TNameKey nameKey;
  std::vector<TNameKey> attributeKeys;
};

struct TContextDeleter {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

std::string_view View(const xmlChar* begin, const xmlChar* end) {
  return {reinterpret_cast<const char*>(begin), static_cast<size_t>(end - begin)};
}

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}

void AssignQualifiedName(std::string& out, TNameKey& key, const xmlChar* prefix,
                         const xmlChar* local) {
  if (key.local == local && key.prefix == prefix && local != nullptr) return;
  key = {prefix, local};
  out.clear();
  if (prefix != nullptr) {
    out += View(prefix);
    out += ':';
  }
  out += View(local);
}

// Without entity substitution the parser hands a literal "&" in an attribute value on as
// "&#38;" (no other reference can be left, as no entity can be declared).
void AssignAttributeValue(std::string& out, std::string_view value) {
  size_t ampersand = value.find('&');
  if (ampersand == std::string_view::npos) {
    out.assign(value);
    return;
  }
  out.clear();
  constexpr std::string_view kEncoded = "&#38;";
  while (ampersand != std::string_view::npos) {
    out.append(value.substr(0, ampersand));
    out += '&';
    bool encoded = value.substr(ampersand, kEncoded.size()) == kEncoded;
    value.remove_prefix(ampersand + (encoded ? kEncoded.size() : 1));
    ampersand = value.find('&');
  }
  out.append(value);
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

using TNode = TXmlStreamReader::TNode;

// The parser and the queue of one reader.
struct TReaderState {
  explicit TReaderState(const std::string& name) : fileName(name), errors(name) {}

  std::string fileName;
  xmlparse::TParseErrors errors;
  // Watches the input only while the parser waits for the end of a long node (see Feed).
  xmlparse::TAttributeGuard guard;
  bool guarding = false;
  std::unique_ptr<xmlParserCtxt, TContextDeleter> context;
  std::optional<TInputFile> file;  // none for a document in memory
  std::string source;              // a document in memory
  size_t sourcePosition = 0;
  std::vector<char> chunk;
  size_t chunkSize = kChunkSize;

  // The queue of parsed nodes; its entries are reused so that their strings keep their
  // capacity from element to element.
  std::vector<TNodeEvent> events;
  TNameKey deliveredNameKey;  // of the reader's current name and attributes
  std::vector<TNameKey> deliveredAttributeKeys;
  size_t queued = 0;
  size_t delivered = 0;

  int depth = 0;             // elements open in the parser
  bool skipNextEnd = false;  // the element just started is empty: its end is not a node
  bool failed = false;       // the parser stopped on an error, thrown once the queue is empty
  bool finished = false;     // the whole document is parsed
  bool rootSeen = false;
  bool encodingFailed = false;

  TNodeEvent& Queue(TXmlStreamReader::TNode kind) {
    if (queued == events.size()) events.emplace_back();
    TNodeEvent& event = events[queued++];
    event.kind = kind;
    return event;
  }

  void Start();
  void Feed();
  bool PassesGuard(std::string_view next);
  bool HasFailed(int parseResult);
};

TReaderState& ImplOf(void* data) {
  return *static_cast<TReaderState*>(data);
}

// The handlers run inside libxml2's C code: nothing may be thrown through it.
template <typename TAction>
void Guarded(void* data, TAction action) noexcept {
  TReaderState& reader = ImplOf(data);
  try {
    action(reader);
  } catch (...) {
    reader.errors.Refuse(reader.context.get(), "Out of memory while reading the document");
  }
}

void OnStartElement(void* data, const xmlChar* local, const xmlChar* prefix, const xmlChar*,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount, int,
                    const xmlChar** attributes) {
  Guarded(data, [&](TReaderState& reader) {
    if (namespaceCount + attributeCount > xmlparse::TAttributeGuard::kMaxAttributes) {
      reader.errors.Refuse(reader.context.get(), xmlparse::TAttributeGuard::kTooMany);
      return;
    }
    TNodeEvent& event = reader.Queue(TNode::Element);
    AssignQualifiedName(event.name, event.nameKey, prefix, local);
    event.depth = reader.depth++;
    reader.rootSeen = true;
    xmlParserInputPtr input = reader.context->input;
    // The parser calls this handler before it looks at the end of the start tag.
    event.empty = input != nullptr && input->cur != nullptr && input->cur[0] == '/';
    reader.skipNextEnd = event.empty;
    event.line = input != nullptr ? input->line : 0;
    event.attributes.resize(static_cast<size_t>(namespaceCount + attributeCount));
    event.attributeKeys.resize(event.attributes.size());
    size_t index = 0;
    for (int i = 0; i < namespaceCount; ++i, ++index) {
      const xmlChar* namespacePrefix = namespaces[2 * i];
      auto& [name, value] = event.attributes[index];
      event.attributeKeys[index] = {};
      name = "xmlns";
      if (namespacePrefix != nullptr) (name += ':') += View(namespacePrefix);
      value.assign(View(namespaces[2 * i + 1]));
    }
    for (int i = 0; i < attributeCount; ++i, ++index) {
      const xmlChar** attribute = attributes + 5 * i;  // local, prefix, URI, value, end
      auto& [name, value] = event.attributes[index];
      AssignQualifiedName(name, event.attributeKeys[index], attribute[1], attribute[0]);
      AssignAttributeValue(value, View(attribute[3], attribute[4]));
    }
  });
}

void OnEndElement(void* data, const xmlChar* local, const xmlChar* prefix, const xmlChar*) {
  Guarded(data, [&](TReaderState& reader) {
    --reader.depth;
    if (reader.skipNextEnd) {
      reader.skipNextEnd = false;
      return;
    }
    TNodeEvent& event = reader.Queue(TNode::EndElement);
    AssignQualifiedName(event.name, event.nameKey, prefix, local);
    event.depth = reader.depth;
    event.empty = false;
  });
}

void QueueOther(TReaderState& reader) {
  reader.skipNextEnd = false;
  if (reader.queued > reader.delivered && reader.events[reader.queued - 1].kind == TNode::Other) {
    return;  // one Other for a run of text, comments and instructions
  }
  TNodeEvent& event = reader.Queue(TNode::Other);
  event.name.clear();
  event.nameKey = {};
  event.depth = reader.depth;
  event.empty = false;
}

void OnCharacters(void* data, const xmlChar* text, int length) {
  Guarded(data, [&](TReaderState& reader) {
    if (!IsBlank(View(text, text + length))) QueueOther(reader);
  });
}

void OnComment(void* data, const xmlChar*) {
  Guarded(data, [](TReaderState& reader) { QueueOther(reader); });
}

void OnInstruction(void* data, const xmlChar*, const xmlChar*) {
  Guarded(data, [](TReaderState& reader) { QueueOther(reader); });
}

void OnCdata(void* data, const xmlChar*, int) {
  Guarded(data, [](TReaderState& reader) { QueueOther(reader); });
}

// A document type declaration is where entities would be declared: refused at its start,
// before any declaration in it is parsed.
void OnDoctype(void* data, const xmlChar*, const xmlChar*, const xmlChar*) {
  TReaderState& reader = ImplOf(data);
  reader.errors.Refuse(reader.context.get(), xmlparse::kDoctypeRefused);
}

void OnEntityReference(void* data, const xmlChar*) {
  TReaderState& reader = ImplOf(data);
  reader.errors.Refuse(reader.context.get(), "Entity references are not allowed");
}

void OnError(void* data, xmlErrorPtr error) {
  if (error != nullptr) ImplOf(data).errors.Record(*error);
}

xmlSAXHandler MakeHandler() {
  xmlSAXHandler handler{};
  handler.initialized = XML_SAX2_MAGIC;
  handler.startElementNs = OnStartElement;
  handler.endElementNs = OnEndElement;
  handler.characters = OnCharacters;
  handler.ignorableWhitespace = OnCharacters;
  handler.cdataBlock = OnCdata;
  handler.comment = OnComment;
  handler.processingInstruction = OnInstruction;
  handler.internalSubset = OnDoctype;
  handler.reference = OnEntityReference;
  handler.serror = OnError;
  return handler;
}

void TReaderState::Start() {
  xmlSAXHandler handler = MakeHandler();
  context.reset(xmlCreatePushParserCtxt(&handler, this, nullptr, 0, fileName.c_str()));
  if (context == nullptr) throw std::bad_alloc();
  // Never the network, no DTD, no entity substitution; XML_PARSE_HUGE lifts the nesting
  // limit of 256 levels (a deep call tree is a deep document). Nothing else it lifts can
  // be abused here, as no entity can ever be declared.
  xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_HUGE);
}

bool TReaderState::HasFailed(int parseResult) {
  if (errors.Refused() || !context->wellFormed) return true;
  if (parseResult != XML_ERR_INVALID_ENCODING) return false;
  encodingFailed = true;
  if (!errors.HasMessage()) {
    errors.Rephrase(context.get(), "The bytes of the document do not match its encoding");
  }
  return true;
}

// The parser hands a start tag on only once the whole tag is in, and compares each of its
// attributes with every other first. A tag with a few hundred attributes costs little and is
// refused when it comes out; a tag far longer than any real one is counted before the parser
// sees the rest of it. So the input is watched only while more than a chunk of it waits
// unparsed (the parser is inside one long node), from the node's start on.
bool TReaderState::PassesGuard(std::string_view next) {
  xmlParserInputPtr input = context->input;
  const size_t waiting = input != nullptr && input->cur != nullptr && input->end != nullptr
                             ? static_cast<size_t>(input->end - input->cur)
                             : 0;
  if (waiting <= kChunkSize) {
    guarding = false;
    return true;
  }
  if (!guarding) {
    guarding = true;
    guard.Restart(input->line);
    if (!guard.Scan(View(input->cur, input->end))) return false;
  }
  return guard.Scan(next);
}

void TReaderState::Feed() {
  const char* data = nullptr;
  size_t size = 0;
  bool last = false;
  if (file) {
    if (chunk.size() < chunkSize) chunk.resize(chunkSize);
    const size_t count = file->Read(chunk.data(), chunkSize);
    data = chunk.data();
    size = static_cast<size_t>(count);
    last = count == 0;
  } else {
    size = std::min(chunkSize, source.size() - sourcePosition);
    data = source.data() + sourcePosition;
    sourcePosition += size;
    last = sourcePosition == source.size();
  }
  if (size > 0 && !PassesGuard(std::string_view(data, size))) {
    errors.RefuseAtLine(guard.Line(), xmlparse::TAttributeGuard::kTooMany);
    failed = true;
    return;
  }
  if (size > 0) {
    int result = xmlParseChunk(context.get(), data, static_cast<int>(size), 0);
    // A parser that has stopped before the end of its input has failed, even when it
    // kept no error (an encoding error only halts it).
    if (HasFailed(result) || context->instate == XML_PARSER_EOF) {
      failed = true;
      return;
    }
  }
  if (!last) {
    chunkSize = queued == 0 ? std::min(2 * chunkSize, kMaxChunkSize) : kChunkSize;
    return;
  }
  if (HasFailed(xmlParseChunk(context.get(), nullptr, 0, 1))) {
    failed = true;
    // At the end of its input the push parser only says "Extra content at the end of
    // the document"; the usual words for a cut-off or empty document are clearer.
    if (errors.Refused() || encodingFailed) return;
    if (depth > 0 && context->name != nullptr) {
      errors.Rephrase(context.get(),
                      "Premature end of data in tag " + std::string(View(context->name)));
    } else if (!rootSeen) {
      errors.Rephrase(context.get(), "Document is empty");
    }
    return;
  }
  finished = true;
}

}  // namespace

struct TXmlStreamReader::Impl : TReaderState {
  using TReaderState::TReaderState;
};

TXmlStreamReader::TXmlStreamReader(const std::string& path, uint64_t sizeLimit)
    : impl_(std::make_unique<Impl>(path)) {
  impl_->file.emplace(path, sizeLimit);
  impl_->Start();
}

TXmlStreamReader::TXmlStreamReader(std::string_view text, const std::string& nameForMessages)
    : impl_(std::make_unique<Impl>(nameForMessages)) {
  impl_->source.assign(text);
  impl_->Start();
}

TXmlStreamReader::~TXmlStreamReader() = default;

TXmlStreamReader::TNode TXmlStreamReader::Next() {
  Impl& reader = *impl_;
  while (reader.delivered == reader.queued) {
    reader.delivered = reader.queued = 0;
    if (reader.failed) reader.errors.Throw();
    if (reader.finished) {
      kind_ = TNode::End;
      name_.clear();
      reader.deliveredNameKey = {};
      depth_ = 0;
      empty_ = false;
      return kind_;
    }
    reader.Feed();
  }
  TNodeEvent& event = reader.events[reader.delivered++];
  // Swapping hands the strings over and gives their old buffers back to the queue. Only
  // elements have attributes: their buffers go round among the elements' entries.
  kind_ = event.kind;
  name_.swap(event.name);
  std::swap(reader.deliveredNameKey, event.nameKey);
  if (kind_ == TNode::Element) {
    attrs_.swap(event.attributes);
    reader.deliveredAttributeKeys.swap(event.attributeKeys);
  }
  depth_ = event.depth;
  empty_ = event.empty;
  line_ = event.line;
  return kind_;
}

std::optional<std::string_view> TXmlStreamReader::Attribute(std::string_view name) const {
  if (kind_ != TNode::Element) return std::nullopt;
  // Readers ask for attributes mostly in the order they were written: the search starts after
  // the last one found. Names are unique in an element (the parser refuses a repeated one).
  const size_t n = attrs_.size();
  for (size_t k = 0, i = nextLookup_; k < n; ++k, ++i) {
    if (i >= n) i = 0;
    if (attrs_[i].first == name) {
      nextLookup_ = i + 1;
      return std::string_view(attrs_[i].second);
    }
  }
  return std::nullopt;
}

}  // namespace orvanel
