// The streaming writer and reader of trace data files: the exact text written, round trips,
// deep documents, refused and broken documents, and failures that must leave files whole.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "TestData.h"
#include "base/Errors.h"
#include "xml/Xml.h"

namespace orvanel {
namespace {

using TNode = TXmlStreamReader::TNode;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// One line per node: kind, depth, name, "/" when empty, then the attributes.
std::string Trace(TXmlStreamReader& reader) {
  std::string trace;
  for (TNode node = reader.Next(); node != TNode::End; node = reader.Next()) {
    switch (node) {
      case TNode::Element:
        trace += "E" + std::to_string(reader.Depth()) + " " + reader.Name();
        if (reader.IsEmptyElement()) trace += "/";
        for (const auto& [name, value] : reader.Attributes()) trace += " " + name + "=" + value;
        break;
      case TNode::EndElement:
        trace += "/" + std::to_string(reader.Depth()) + " " + reader.Name();
        break;
      default:
        trace += "other";
    }
    trace += "\n";
  }
  return trace;
}

std::string ReadError(const std::string& text, const std::string& name = "data.tfd") {
  try {
    TXmlStreamReader reader(text, name);
    while (reader.Next() != TNode::End) {
    }
  } catch (const EXmlError& error) {
    return error.what();
  }
  return {};
}

// --- writer ---------------------------------------------------------------------------

TEST(XmlStreamWriter, WritesIndentedDocument) {
  TXmlStreamWriter writer;
  writer.StartElement("tracedata");
  writer.StartElement("traceline");
  writer.Attribute("linetext", "$008000 SEI");
  writer.Attribute("offset", "32768");
  writer.StartElement("traceline");
  writer.Attribute("offset", "32769");
  writer.EndElement();
  writer.StartElement("traceline");
  writer.EndElement();
  writer.EndElement();
  writer.StartElement("traceline");
  writer.EndElement();
  writer.EndElement();
  writer.Commit();
  EXPECT_EQ(writer.Text(), kDeclaration +
                               "<tracedata>\n"
                               "  <traceline linetext=\"$008000 SEI\" offset=\"32768\">\n"
                               "    <traceline offset=\"32769\"/>\n"
                               "    <traceline/>\n"
                               "  </traceline>\n"
                               "  <traceline/>\n"
                               "</tracedata>\n");
}

TEST(XmlStreamWriter, EmptyRootAndCommitClosingOpenElements) {
  TXmlStreamWriter empty;
  empty.StartElement("tracedata");
  empty.Commit();
  EXPECT_EQ(empty.Text(), kDeclaration + "<tracedata/>\n");

  TXmlStreamWriter open;
  open.StartElement("a");
  open.StartElement("b");
  open.Commit();
  EXPECT_EQ(open.Text(), kDeclaration + "<a>\n  <b/>\n</a>\n");
}

// The DOM is saved by libxml2 itself: the writer must give the same text.
TEST(XmlStreamWriter, WritesWhatLibxml2Writes) {
  const std::vector<std::string> values = {"& < > \" ' ]]>",
                                           "tab\tlf\ncr\r",
                                           "caf\xC3\xA9",
                                           std::string("nul\0bell\x07", 9),
                                           "bad\xFF\xC3",
                                           "  spaces  ",
                                           ""};
  TXmlDocument doc = TXmlDocument::Create("tracedata");
  TXmlDomWriter domWriter(doc.Root());
  TXmlStreamWriter streamWriter;
  streamWriter.StartElement("tracedata");
  for (TXmlWriter* writer :
       {static_cast<TXmlWriter*>(&domWriter), static_cast<TXmlWriter*>(&streamWriter)}) {
    for (size_t i = 0; i < values.size(); ++i) {
      writer->StartElement("traceline");
      writer->Attribute("v", values[i]);
      if (i % 2 == 0) writer->StartElement("child");
      if (i % 2 == 0) writer->EndElement();
      writer->EndElement();
    }
  }
  streamWriter.Commit();
  EXPECT_EQ(streamWriter.Text(), doc.SaveString());
}

TEST(XmlStreamWriter, IndentationStopsGrowingAtTheCap) {
  const int cap = TXmlStreamWriter::kIndentCap;
  TXmlStreamWriter writer;
  for (int depth = 0; depth <= cap + 5; ++depth) writer.StartElement("t");
  writer.Commit();
  const std::string& text = writer.Text();
  EXPECT_NE(text.find("\n" + std::string(2 * cap, ' ') + "<t>"), std::string::npos);
  EXPECT_EQ(text.find(std::string(2 * cap + 1, ' ')), std::string::npos);
  EXPECT_NE(text.find("\n" + std::string(2 * cap, ' ') + "<t/>\n" + std::string(2 * cap, ' ') +
                      "</t>\n" + std::string(2 * cap, ' ') + "</t>"),
            std::string::npos);
  EXPECT_NE(text.find("\n" + std::string(2 * (cap - 1), ' ') + "</t>"), std::string::npos);
}

TEST(XmlStreamWriter, MisuseIsAnXmlError) {
  {
    TXmlStreamWriter writer;
    EXPECT_THROW(writer.Commit(), EXmlError);  // no root
    EXPECT_THROW(writer.Attribute("a", "1"), EXmlError);
    EXPECT_THROW(writer.EndElement(), EXmlError);
    EXPECT_THROW(writer.StartElement("1bad"), EXmlError);
    EXPECT_THROW(writer.StartElement(""), EXmlError);
    writer.StartElement("r");
    EXPECT_THROW(writer.Attribute("a b", "1"), EXmlError);
    writer.StartElement("c");
    writer.EndElement();
    EXPECT_THROW(writer.Attribute("late", "1"), EXmlError);  // after a child
    writer.EndElement();
    EXPECT_THROW(writer.StartElement("second"), EXmlError);
    writer.Commit();
    EXPECT_THROW(writer.StartElement("x"), EXmlError);
    EXPECT_THROW(writer.Commit(), EXmlError);
    EXPECT_EQ(writer.Text(), kDeclaration + "<r>\n  <c/>\n</r>\n");
  }
  // A repeated attribute name would make the file unreadable.
  TXmlStreamWriter writer;
  writer.StartElement("r");
  for (int i = 0; i < 3; ++i) {
    writer.StartElement("e");
    writer.Attribute("a", "1");
    writer.Attribute("b", "2");
    if (i == 1) writer.Attribute("c", "3");
    writer.EndElement();
  }
  writer.StartElement("e");
  writer.Attribute("a", "1");
  writer.Attribute("b", "2");
  EXPECT_THROW(writer.Attribute("a", "again"), EXmlError);
  writer.StartElement("f");
  writer.Attribute("b", "2");
  EXPECT_THROW(writer.Attribute("b", "2"), EXmlError);
}

// --- round trips ----------------------------------------------------------------------

TEST(XmlStreamRoundTrip, EveryByteInAttributesComesBackSafe) {
  TXmlStreamWriter writer;
  writer.StartElement("tracedata");
  std::vector<std::string> values;
  for (int b = 0; b < 256; ++b) {
    values.push_back("<" + std::string(1, static_cast<char>(b)) + "&" +
                     std::string(2, static_cast<char>(b)) + ">");
    writer.StartElement("traceline");
    writer.Attribute("v", values.back());
    writer.Attribute("same", values.back());
    writer.EndElement();
  }
  writer.Commit();
  TXmlStreamReader reader(writer.Text(), "mem");
  ASSERT_EQ(reader.Next(), TNode::Element);
  for (int b = 0; b < 256; ++b) {
    ASSERT_EQ(reader.Next(), TNode::Element) << b;
    EXPECT_EQ(reader.Attribute("v"), XmlSafeText(values[b])) << b;
    EXPECT_EQ(reader.Attribute("same"), XmlSafeText(values[b])) << b;
  }
  EXPECT_EQ(reader.Next(), TNode::EndElement);
  EXPECT_EQ(reader.Next(), TNode::End);
}

TEST(XmlStreamRoundTrip, TabLineFeedAndReturnSurviveInAttributes) {
  const std::string value = "\tA\r\nB\rC\n \t";
  TXmlStreamWriter writer;
  writer.StartElement("r");
  writer.Attribute("comment", value);
  writer.Commit();
  EXPECT_NE(writer.Text().find("comment=\"&#9;A&#13;&#10;B&#13;C&#10; &#9;\""), std::string::npos);
  TXmlStreamReader reader(writer.Text(), "mem");
  ASSERT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Attribute("comment"), value);
  EXPECT_EQ(TXmlDocument::LoadString(writer.Text(), "mem").Root().Attribute("comment"), value);
}

TEST(XmlStreamRoundTrip, DeepTreeThroughAFile) {
  const int depth = 100000;
  const std::string path = ScratchDir() + "/deep.tfd";
  {
    TXmlStreamWriter writer(path);
    for (int i = 0; i < depth; ++i) {
      writer.StartElement("traceline");
      writer.Attribute("offset", std::to_string(i));
    }
    for (int i = 0; i < depth; ++i) writer.EndElement();
    writer.Commit();
  }
  // Linear in the depth: a start and an end tag with at most the capped indentation each.
  const size_t perLevel = 2 * (1 + 2 * TXmlStreamWriter::kIndentCap) + 40;
  EXPECT_LT(std::filesystem::file_size(path), depth * perLevel);

  TXmlStreamReader reader(path);
  int starts = 0;
  int ends = 0;
  int deepest = -1;
  bool inOrder = true;
  for (TNode node = reader.Next(); node != TNode::End; node = reader.Next()) {
    if (node == TNode::Element) {
      inOrder = inOrder && reader.Depth() == starts &&
                reader.Attribute("offset") == std::to_string(starts) &&
                reader.IsEmptyElement() == (starts == depth - 1);
      deepest = std::max(deepest, reader.Depth());
      ++starts;
    } else if (node == TNode::EndElement) {
      ++ends;
      inOrder = inOrder && reader.Depth() == depth - 1 - ends;
    }
  }
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(starts, depth);
  EXPECT_EQ(ends, depth - 1);  // the innermost element is empty and has no end node
  EXPECT_EQ(deepest, depth - 1);
}

// --- reader ---------------------------------------------------------------------------

TEST(XmlStreamReader, GivesNodesWithDepthsAndAttributesInOrder) {
  TXmlStreamReader reader(
      "<?xml version=\"1.0\"?>\n<!-- head -->\n<tracedata>\n"
      "  <traceline z=\"1\" a=\"2\" m=\"3\">\n"
      "    <traceline x=\"a&amp;b&lt;c&gt;&quot;&apos;&#38;&#x41;&#9;\"/>\n"
      "    <traceline></traceline>\n"
      "    text<?pi data?><!-- c --><![CDATA[cd]]>\n"
      "  </traceline>\n"
      "</tracedata>\n<!-- tail -->",
      "mem");
  EXPECT_EQ(Trace(reader),
            "other\n"
            "E0 tracedata\n"
            "E1 traceline z=1 a=2 m=3\n"
            "E2 traceline/ x=a&b<c>\"'&A\t\n"
            "E2 traceline\n"
            "/2 traceline\n"
            "other\n"
            "/1 traceline\n"
            "/0 tracedata\n"
            "other\n");
  EXPECT_EQ(reader.Next(), TNode::End);
  EXPECT_TRUE(reader.Attributes().empty());
}

TEST(XmlStreamReader, AttributeLookupAndLines) {
  TXmlStreamReader reader("<r>\n<e a=\"1\" b=\"\"\n c=\"x\ny\"/></r>", "mem");
  ASSERT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Line(), 1);
  ASSERT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Line(), 4);
  EXPECT_EQ(reader.Attribute("a"), "1");
  EXPECT_EQ(reader.Attribute("b"), "");
  EXPECT_EQ(reader.Attribute("c"), "x y");  // a literal line end reads as a blank
  EXPECT_EQ(reader.Attribute("d"), std::nullopt);
  EXPECT_EQ(reader.Next(), TNode::EndElement);
  EXPECT_EQ(reader.Attribute("a"), std::nullopt);
}

// Lookups start where the last one ended; any order, a repeated or a missing name, and an
// element with fewer attributes than the one before still find what is there.
TEST(XmlStreamReader, AttributesAreFoundInAnyOrder) {
  TXmlStreamReader reader("<r><e a=\"1\" b=\"2\" c=\"3\" d=\"4\"/><f d=\"5\"/></r>", "mem");
  ASSERT_EQ(reader.Next(), TNode::Element);
  ASSERT_EQ(reader.Next(), TNode::Element);
  for (const char* order : {"abcd", "dcba", "cadb", "ddaa"})
    for (const char* n = order; *n; ++n)
      EXPECT_EQ(reader.Attribute(std::string(1, *n)),
                std::string(1, static_cast<char>(*n - 'a' + '1')))
          << order;
  EXPECT_EQ(reader.Attribute("c"), "3");
  EXPECT_EQ(reader.Attribute("x"), std::nullopt);
  EXPECT_EQ(reader.Attribute("d"), "4");
  ASSERT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Attribute("d"), "5");
  EXPECT_EQ(reader.Attribute("a"), std::nullopt);
  EXPECT_EQ(reader.Attribute("d"), "5");
}

TEST(XmlStreamReader, NamespacePrefixesAreKept) {
  TXmlStreamReader reader("<p:r xmlns:p=\"urn:x\" p:a=\"1\" b=\"2\"><p:c/></p:r>", "mem");
  EXPECT_EQ(Trace(reader), "E0 p:r xmlns:p=urn:x p:a=1 b=2\nE1 p:c/\n/0 p:r\n");
}

TEST(XmlStreamReader, OtherEncodingsAreReadAsUtf8) {
  TXmlStreamReader reader("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xE9\"/>", "mem");
  ASSERT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Attribute("a"), "\xC3\xA9");
}

TEST(XmlStreamReader, MalformedDocumentNamesFileLineAndReason) {
  std::string message = ReadError("<r>\n<a>\n</b>\n</r>", "code.tfd");
  EXPECT_NE(message.find("code.tfd"), std::string::npos) << message;
  EXPECT_NE(message.find("line 3"), std::string::npos) << message;
  EXPECT_NE(message.find("Opening and ending tag mismatch"), std::string::npos) << message;
  EXPECT_NE(ReadError("<r>\n<a x='1'>\n").find("Premature end of data in tag a"),
            std::string::npos);
  EXPECT_NE(ReadError("").find("Document is empty"), std::string::npos);

  for (const char* broken :
       {"   ", "no xml", "<r>", "<r></R>", "<r a='1' a='2'/>", "<r a=1/>", "<r>&undefined;</r>",
        "<r>&#0;</r>", "<r/><r/>", "<r>\x01</r>", "<r a='\xC3'/>", "<r><![CDATA[x</r>",
        "<r><!-- x </r>", "<r/>junk", "<r><1/></r>"}) {
    EXPECT_NE(ReadError(broken), "") << broken;
  }
  // A byte that the declared encoding cannot convert halts the parser without an error
  // of its own; the halt is a failure all the same.
  EXPECT_NE(ReadError("<?xml version='1.0' encoding='Shift_JIS'?><r><a/><b>\x81'</b></r>"), "");
  // libxml2 splits some messages over two lines; the message is one line.
  std::string bytes = ReadError("<r a='\xC3'/>");
  EXPECT_NE(bytes.find("Bytes: 0xC3"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find('\n'), std::string::npos) << bytes;
}

TEST(XmlStreamReader, NodesBeforeAFaultAreDelivered) {
  TXmlStreamReader reader("<r><a/><b>", "mem");
  EXPECT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Name(), "a");
  EXPECT_EQ(reader.Next(), TNode::Element);
  EXPECT_EQ(reader.Name(), "b");
  EXPECT_THROW(reader.Next(), EXmlError);
  EXPECT_THROW(reader.Next(), EXmlError);  // and stays failed
}

TEST(XmlStreamReader, TruncatedDocumentsFailCleanly) {
  TXmlStreamWriter writer;
  writer.StartElement("tracedata");
  writer.StartElement("traceline");
  writer.Attribute("linetext", "$008000 SEI & <x> \"q\"");
  writer.Attribute("comment", "\xC3\xA9t\xC3\xA9\t\n");
  writer.StartElement("traceline");
  writer.Attribute("offset", "32769");
  writer.EndElement();
  writer.EndElement();
  writer.Commit();
  const std::string text = writer.Text();
  for (size_t length = 0; length + 1 < text.size(); ++length) {
    EXPECT_NE(ReadError(text.substr(0, length)), "") << length;
  }
  EXPECT_EQ(ReadError(text), "");
}

TEST(XmlStreamReader, DoctypeAndEntitiesAreRefused) {
  const std::string dir = ScratchDir();
  WriteFile(dir + "/secret.txt", "SECRET");
  const std::string external =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY x SYSTEM \"file://" + dir +
      "/secret.txt\">\n<!ENTITY p SYSTEM \"file:///etc/passwd\">\n]>\n"
      "<r a=\"&x;\">&x;&p;</r>";
  WriteFile(dir + "/xxe.tfd", external);
  try {
    TXmlStreamReader reader(dir + "/xxe.tfd");
    while (reader.Next() != TNode::End) {
      EXPECT_EQ(reader.Attribute("a"), std::nullopt);
    }
    FAIL() << "read";
  } catch (const EXmlError& error) {
    std::string message = error.what();
    EXPECT_NE(message.find("xxe.tfd"), std::string::npos) << message;
    EXPECT_NE(message.find("line 2"), std::string::npos) << message;
    EXPECT_NE(message.find("DOCTYPE"), std::string::npos) << message;
  }

  std::string laughs = "<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    std::string previous = i == 1 ? "lol" : "lol" + std::to_string(i - 1);
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&" + previous + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n<lolz a=\"&lol9;\">&lol9;</lolz>";
  EXPECT_NE(ReadError(laughs).find("DOCTYPE"), std::string::npos);
  EXPECT_NE(ReadError("<!DOCTYPE r><r/>").find("DOCTYPE"), std::string::npos);
}

TEST(XmlStreamReader, MissingOrUnreadableFileIsAFileError) {
  const std::string dir = ScratchDir();
  for (const std::string& path : {dir + "/missing.tfd", dir}) {
    try {
      TXmlStreamReader reader(path);
      FAIL() << path;
    } catch (const EFileError& error) {
      EXPECT_NE(std::string(error.what()).find("\"" + path + "\""), std::string::npos);
    }
  }
}

// --- files ----------------------------------------------------------------------------

TEST(XmlStreamWriterFiles, CommitReplacesAndAbandoningKeepsTheOldFile) {
  const std::string dir = ScratchDir();
  const std::string path = dir + "/trace.tfd";
  WriteFile(path, "old");
  {
    TXmlStreamWriter writer(path);
    writer.StartElement("tracedata");
    EXPECT_EQ(ReadFile(path), "old");
  }  // no Commit
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"trace.tfd"});
  {
    TXmlStreamWriter writer(path);
    EXPECT_THROW(writer.Commit(), EXmlError);  // no root: nothing written
  }
  EXPECT_EQ(ReadFile(path), "old");
  {
    TXmlStreamWriter writer(path);
    writer.StartElement("tracedata");
    writer.Commit();
  }
  EXPECT_EQ(ReadFile(path), kDeclaration + "<tracedata/>\n");
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"trace.tfd"});
}

TEST(XmlStreamWriterFiles, UnwritableTargetIsAFileError) {
  const std::string dir = ScratchDir();
  WriteFile(dir + "/plain", "a regular file");
  std::filesystem::create_directory(dir + "/folder");
  for (const std::string& path :
       {dir + "/missing/trace.tfd", dir + "/plain/trace.tfd", dir + "/folder"}) {
    try {
      TXmlStreamWriter writer(path);
      FAIL() << path;
    } catch (const EFileError& error) {
      EXPECT_NE(std::string(error.what()).find("\"" + path + "\""), std::string::npos);
    }
  }
  TXmlStreamWriter writer(dir + "/later");
  std::filesystem::create_directory(dir + "/later");  // a folder that appears while writing
  writer.StartElement("tracedata");
  EXPECT_THROW(writer.Commit(), EFileError);
  EXPECT_THROW(writer.EndElement(), EFileError);
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"folder", "later", "plain"}));
  EXPECT_EQ(ReadFile(dir + "/plain"), "a regular file");
}

// Writes a large document under a file size limit of 64 KiB, standing in for a disk that
// fills up; exits 0 when the writer raised an EFileError that names the file.
[[noreturn]] void WriteUntilTheLimit(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &limit);
  try {
    TXmlStreamWriter writer(path);
    writer.StartElement("tracedata");
    for (int i = 0; i < 100000; ++i) {
      writer.StartElement("traceline");
      writer.Attribute("linetext", std::string(40, 'x'));
      writer.EndElement();
    }
    writer.Commit();
  } catch (const EFileError& error) {
    _exit(std::string(error.what()).find(path) != std::string::npos ? 0 : 2);
  }
  _exit(1);
}

// The write fails half way: the old file stays whole and the temporary file is removed.
// The limit is set in a child process only.
TEST(XmlStreamWriterFiles, WriteFailureKeepsTheOldFile) {
  const std::string dir = ScratchDir();
  const std::string path = dir + "/trace.tfd";
  WriteFile(path, "old");
  EXPECT_EXIT(WriteUntilTheLimit(path), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"trace.tfd"});
}

}  // namespace
}  // namespace orvanel
