// The DOM of small files: building, saving, loading, text safety, and the refusal of
// documents that are malformed or declare entities.
#include "xml/Xml.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestData.h"
#include "base/Errors.h"

namespace orvanel {
namespace {

using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const std::string kReplacement = "\xEF\xBF\xBD";

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// The message of the EXmlError that loading the text raises ("" when none is raised).
std::string LoadError(const std::string& text, const std::string& name = "doc.xml") {
  try {
    TXmlDocument::LoadString(text, name);
  } catch (const EXmlError& error) {
    return error.what();
  }
  return {};
}

// --- XmlSafeText ----------------------------------------------------------------------

TEST(XmlSafeText, KeepsEverythingXmlCanHold) {
  std::string text = "plain <&>\"' \t\n\r \x7F \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 " +
                     kReplacement + " \xEF\xBF\xBC \xF4\x8F\xBF\xBF";
  EXPECT_EQ(XmlSafeText(text), text);
  EXPECT_EQ(XmlSafeText(""), "");
}

TEST(XmlSafeText, ReplacesControlCharacters) {
  EXPECT_EQ(XmlSafeText(std::string("a\0b", 3)), "a" + kReplacement + "b");
  EXPECT_EQ(XmlSafeText("\x01\x08\x0B\x0C\x1F"),
            kReplacement + kReplacement + kReplacement + kReplacement + kReplacement);
}

TEST(XmlSafeText, ReplacesEachByteOfInvalidUtf8) {
  const std::string r = kReplacement;
  EXPECT_EQ(XmlSafeText("a\x80z"), "a" + r + "z");            // lone continuation byte
  EXPECT_EQ(XmlSafeText("a\xC3"), "a" + r);                   // cut off at the end
  EXPECT_EQ(XmlSafeText("\xC3(z"), r + "(z");                 // no continuation
  EXPECT_EQ(XmlSafeText("\xC0\xAF"), r + r);                  // overlong '/'
  EXPECT_EQ(XmlSafeText("\xE0\x80\xAF"), r + r + r);          // overlong, three bytes
  EXPECT_EQ(XmlSafeText("\xED\xA0\x80"), r + r + r);          // surrogate D800
  EXPECT_EQ(XmlSafeText("\xF4\x90\x80\x80"), r + r + r + r);  // past U+10FFFF
  EXPECT_EQ(XmlSafeText("\xF8\x88\x80\x80\x80"), r + r + r + r + r);
  EXPECT_EQ(XmlSafeText("\xEF\xBF\xBE\xEF\xBF\xBF"), r + r + r + r + r + r);  // U+FFFE, U+FFFF
  EXPECT_EQ(XmlSafeText("\xFF\xC3\xA9"), r + "\xC3\xA9");                     // good text goes on
}

// --- building and saving --------------------------------------------------------------

TEST(XmlDocument, CreatesIndentedUtf8Document) {
  TXmlDocument doc = TXmlDocument::Create("project");
  TXmlElement files = doc.Root().AppendChild("files");
  files.AppendChild("map").SetAttribute("name", "a.tfm");
  files.AppendChild("labels");
  doc.Root().AppendChild("comment").SetText("hello");
  EXPECT_EQ(doc.SaveString(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<project>\n"
            "  <files>\n"
            "    <map name=\"a.tfm\"/>\n"
            "    <labels/>\n"
            "  </files>\n"
            "  <comment>hello</comment>\n"
            "</project>\n");
}

TEST(XmlDocument, EmptyDocumentHasOnlyTheDeclaration) {
  TXmlDocument doc;
  EXPECT_FALSE(doc.Root());
  EXPECT_EQ(doc.SaveString(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  TXmlDocument moved = std::move(doc);
  EXPECT_NO_THROW(doc.SaveString());
  EXPECT_FALSE(doc.Root());
  EXPECT_TRUE(doc.SetRoot("again"));
}

TEST(XmlDocument, SetRootReplacesTheRoot) {
  TXmlDocument doc = TXmlDocument::Create("first");
  doc.Root().AppendChild("child");
  doc.SetRoot("second");
  EXPECT_EQ(doc.Root().Name(), "second");
  EXPECT_FALSE(doc.Root().HasChildNodes());
}

TEST(XmlDocument, AttributesKeepTheOrderWritten) {
  TXmlDocument doc = TXmlDocument::Create("r");
  TXmlElement e = doc.Root().AppendChild("traceline");
  for (const char* name : {"linetext", "textcolor", "comment", "offset", "a", "z"}) {
    e.SetAttribute(name, name);
  }
  e.SetAttribute("comment", "changed");  // replaced in place
  const std::string ordered =
      "<traceline linetext=\"linetext\" textcolor=\"textcolor\" comment=\"changed\" "
      "offset=\"offset\" a=\"a\" z=\"z\"/>";
  EXPECT_NE(doc.SaveString().find(ordered), std::string::npos) << doc.SaveString();
  TXmlDocument back = TXmlDocument::LoadString(doc.SaveString(), "mem");
  EXPECT_NE(back.SaveString().find(ordered), std::string::npos) << back.SaveString();
  TXmlElement line = back.Root().FirstChildElement();
  EXPECT_EQ(line.Attribute("comment"), "changed");
  EXPECT_EQ(line.Attribute("missing"), std::nullopt);
}

TEST(XmlDocument, AbsentAndEmptyAttributesDiffer) {
  TXmlDocument doc = TXmlDocument::LoadString("<r a=\"\"/>", "mem");
  EXPECT_EQ(doc.Root().Attribute("a"), std::string_view());
  EXPECT_TRUE(doc.Root().Attribute("a").has_value());
  EXPECT_FALSE(doc.Root().Attribute("b").has_value());
}

TEST(XmlDocument, RejectsInvalidNames) {
  TXmlDocument doc = TXmlDocument::Create("r");
  EXPECT_THROW(doc.Root().AppendChild("1abc"), EXmlError);
  EXPECT_THROW(doc.Root().AppendChild(""), EXmlError);
  EXPECT_THROW(doc.Root().AppendChild("a b"), EXmlError);
  EXPECT_THROW(doc.Root().SetAttribute("a<", "x"), EXmlError);
  EXPECT_THROW(doc.Root().SetAttribute(std::string("a\0b", 3), "x"), EXmlError);
  EXPECT_THROW(TXmlDocument::Create("\xC3"), EXmlError);
  EXPECT_NO_THROW(doc.Root().AppendChild("\xC3\xA9l\xC3\xA9ment"));  // names beyond ASCII
  EXPECT_NO_THROW(doc.Root().SetAttribute("isComment", "FALSE"));
  EXPECT_EQ(doc.Root().ChildElements().size(), 1u);
}

TEST(XmlDocument, NullElementIsSafe) {
  TXmlElement none;
  EXPECT_EQ(none.Name(), "");
  EXPECT_EQ(none.Attribute("a"), std::nullopt);
  EXPECT_EQ(none.Text(), "");
  EXPECT_FALSE(none.FirstChildElement());
  EXPECT_FALSE(none.NextSiblingElement());
  EXPECT_FALSE(none.HasChildNodes());
  EXPECT_TRUE(none.ChildElements().empty());
  EXPECT_THROW(none.SetAttribute("a", "b"), EXmlError);
  EXPECT_THROW(none.AppendChild("a"), EXmlError);
  EXPECT_THROW(none.SetText("a"), EXmlError);
  EXPECT_THROW(TXmlDomWriter{none}, EXmlError);
}

// --- reading structure ----------------------------------------------------------------

TEST(XmlDocument, ChildIterationSkipsAllButElements) {
  TXmlDocument doc = TXmlDocument::LoadString(
      "<r>text<!-- c --><a/><?pi x?>more<b n=\"1\"/><![CDATA[z]]><c/><b n=\"2\"/></r>", "mem");
  TXmlElement root = doc.Root();
  std::vector<std::string> names;
  for (TXmlElement e : root.ChildElements()) names.push_back(e.Name());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", "b"}));
  EXPECT_EQ(root.FirstChildElement().Name(), "a");
  EXPECT_EQ(root.FirstChildElement("b").Attribute("n"), "1");
  EXPECT_FALSE(root.FirstChildElement("missing"));
  TXmlElement c = root.FirstChildElement("c");
  EXPECT_EQ(c.PreviousSiblingElement().Attribute("n"), "1");
  EXPECT_EQ(c.NextSiblingElement().Attribute("n"), "2");
  EXPECT_FALSE(c.NextSiblingElement().NextSiblingElement());
  EXPECT_FALSE(root.FirstChildElement().PreviousSiblingElement());
  EXPECT_EQ(root.Text(), "textmorez");
  EXPECT_TRUE(root.HasChildNodes());
  EXPECT_FALSE(c.HasChildNodes());
}

TEST(XmlDocument, HasChildNodesCountsTextAndComments) {
  TXmlDocument doc = TXmlDocument::LoadString("<r><a>t</a><b><!--c--></b><c/></r>", "mem");
  EXPECT_TRUE(doc.Root().FirstChildElement("a").HasChildNodes());
  EXPECT_TRUE(doc.Root().FirstChildElement("b").HasChildNodes());
  EXPECT_FALSE(doc.Root().FirstChildElement("b").FirstChildElement());
  EXPECT_FALSE(doc.Root().FirstChildElement("c").HasChildNodes());
}

TEST(XmlDocument, SetTextReplacesTextAndKeepsChildElements) {
  TXmlDocument doc = TXmlDocument::LoadString("<r>old<a/>older</r>", "mem");
  doc.Root().SetText("new & <fresh>");
  EXPECT_EQ(doc.Root().Text(), "new & <fresh>");
  EXPECT_TRUE(doc.Root().FirstChildElement("a"));
  doc.Root().SetText("");
  EXPECT_EQ(doc.Root().Text(), "");
  TXmlDocument back = TXmlDocument::LoadString(doc.SaveString(), "mem");
  EXPECT_EQ(back.Root().Text(), "");
}

TEST(XmlDocument, LoadedDocumentIsIndentedAnewOnSave) {
  TXmlDocument doc = TXmlDocument::LoadString(
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>\n      <a>\xE9</a>\n</r>", "mem");
  doc.Root().AppendChild("b").AppendChild("c");
  EXPECT_EQ(doc.SaveString(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<r>\n  <a>\xC3\xA9</a>\n  <b>\n    <c/>\n  </b>\n</r>\n");
}

TEST(XmlDocument, BlankTextOfALeafIsKept) {
  TXmlDocument doc = TXmlDocument::LoadString("<r><comment>  </comment></r>", "mem");
  EXPECT_EQ(doc.Root().FirstChildElement().Text(), "  ");
}

// --- round trips ----------------------------------------------------------------------

TEST(XmlDocument, SpecialCharactersSurviveAFile) {
  const std::string dir = ScratchDir();
  const std::string markup = "& < > \" ' &amp; ]]> <!-- x -->";
  const std::string spacing = "tab\there\nline\r\nend\r";
  TXmlDocument doc = TXmlDocument::Create("r");
  TXmlElement e = doc.Root().AppendChild("e");
  e.SetAttribute("markup", markup);
  e.SetAttribute("spacing", spacing);
  e.SetAttribute("spaces", "  lead and trail  ");
  e.SetText(markup + spacing);
  doc.SaveFile(dir + "/round.xml");

  std::string file = ReadFile(dir + "/round.xml");
  EXPECT_NE(file.find("spacing=\"tab&#9;here&#10;line&#13;&#10;end&#13;\""), std::string::npos);

  TXmlDocument back = TXmlDocument::LoadFile(dir + "/round.xml");
  EXPECT_EQ(back.FileName(), dir + "/round.xml");
  TXmlElement b = back.Root().FirstChildElement("e");
  EXPECT_EQ(b.Attribute("markup"), markup);
  EXPECT_EQ(b.Attribute("spacing"), spacing);
  EXPECT_EQ(b.Attribute("spaces"), "  lead and trail  ");
  EXPECT_EQ(b.Text(), markup + spacing);
}

TEST(XmlDocument, EveryByteGivesAWellFormedFile) {
  TXmlDocument doc = TXmlDocument::Create("r");
  std::vector<std::string> values;
  for (int b = 0; b < 256; ++b) {
    values.push_back("x" + std::string(1, static_cast<char>(b)) + "y");
    TXmlElement e = doc.Root().AppendChild("e");
    e.SetAttribute("v", values.back());
    e.SetText(values.back());
  }
  TXmlDocument back = TXmlDocument::LoadString(doc.SaveString(), "mem");
  std::vector<TXmlElement> elements = back.Root().ChildElements();
  ASSERT_EQ(elements.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    std::string expected = XmlSafeText(values[b]);
    EXPECT_EQ(elements[b].Attribute("v"), expected) << "byte " << b;
    EXPECT_EQ(elements[b].Text(), expected) << "byte " << b;
  }
  EXPECT_EQ(elements[0].Attribute("v"), "x" + kReplacement + "y");
  EXPECT_EQ(elements[0x80].Attribute("v"), "x" + kReplacement + "y");
  EXPECT_EQ(elements['\t'].Attribute("v"), "x\ty");
}

TEST(XmlDocument, NonUtf8BytesBecomeReplacementCharacters) {
  TXmlDocument doc = TXmlDocument::Create("r");
  doc.Root().SetAttribute("latin1", "caf\xE9 na\xEFve");
  doc.Root().SetText("\xC3\xA9t\xE9");
  TXmlDocument back = TXmlDocument::LoadString(doc.SaveString(), "mem");
  EXPECT_EQ(back.Root().Attribute("latin1"), "caf" + kReplacement + " na" + kReplacement + "ve");
  EXPECT_EQ(back.Root().Text(), "\xC3\xA9t" + kReplacement);
}

TEST(XmlDomWriter, WritesNestedElements) {
  TXmlDocument doc = TXmlDocument::Create("tracedata");
  TXmlDomWriter writer(doc.Root());
  writer.StartElement("traceline");
  writer.Attribute("offset", "32768");
  writer.StartElement("traceline");
  writer.Attribute("offset", "32769");
  EXPECT_EQ(writer.Current().Attribute("offset"), "32769");
  writer.EndElement();
  writer.EndElement();
  EXPECT_THROW(writer.EndElement(), EXmlError);
  EXPECT_EQ(writer.Current().Raw(), doc.Root().Raw());
  EXPECT_EQ(doc.SaveString(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<tracedata>\n"
            "  <traceline offset=\"32768\">\n"
            "    <traceline offset=\"32769\"/>\n"
            "  </traceline>\n"
            "</tracedata>\n");
}

// --- refused and broken documents -----------------------------------------------------

TEST(XmlDocumentErrors, MalformedDocumentNamesFileLineAndReason) {
  std::string message = LoadError("<r>\n  <a>\n  </b>\n</r>", "project.tfp");
  EXPECT_NE(message.find("project.tfp"), std::string::npos) << message;
  EXPECT_NE(message.find("line 3"), std::string::npos) << message;
  EXPECT_NE(message.find("Opening and ending tag mismatch"), std::string::npos) << message;

  for (const char* broken :
       {"", "   ", "no xml", "<r>", "<r></R>", "<r a='1' a='2'/>", "<r a=1/>", "<r>&undefined;</r>",
        "<r>&#0;</r>", "<r/><r/>", "<r>\x01</r>", "<r a='\xC3'/>",
        "<?xml version='1.0'?><?xml?><r/>", "<r><![CDATA[x</r>", "<r><!-- x </r>"}) {
    EXPECT_NE(LoadError(broken), "") << broken;
  }
  // A byte that the declared encoding cannot convert halts the parser without an error
  // of its own; the halt is a failure all the same.
  EXPECT_NE(LoadError("<?xml version='1.0' encoding='Shift_JIS'?><r><a/><b>\x81'</b></r>"), "");
  // libxml2 splits some messages over two lines; the message is one line.
  std::string bytes = LoadError("<r a='\xC3'/>");
  EXPECT_NE(bytes.find("Bytes: 0xC3"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find('\n'), std::string::npos) << bytes;
}

TEST(XmlDocumentErrors, TruncatedDocumentsFailCleanly) {
  TXmlDocument doc = TXmlDocument::Create("tracedata");
  TXmlElement line = doc.Root().AppendChild("traceline");
  line.SetAttribute("linetext", "$008000 SEI & <x>");
  line.SetAttribute("comment", "\xC3\xA9t\xC3\xA9");
  line.AppendChild("traceline").SetAttribute("offset", "32769");
  doc.Root().AppendChild("traceline").SetText("text");
  const std::string text = doc.SaveString();
  // Only the whole document, or one missing just the final line end, is complete.
  for (size_t length = 0; length + 1 < text.size(); ++length) {
    EXPECT_NE(LoadError(text.substr(0, length)), "") << length;
  }
  EXPECT_EQ(LoadError(text), "");
}

TEST(XmlDocumentErrors, DoctypeIsRefused) {
  for (const char* doctype :
       {"<!DOCTYPE r>", "<!DOCTYPE r SYSTEM \"r.dtd\">", "<!DOCTYPE r [<!ELEMENT r ANY>]>"}) {
    std::string message = LoadError(std::string(doctype) + "<r/>");
    EXPECT_NE(message.find("DOCTYPE"), std::string::npos) << doctype << ": " << message;
  }
}

TEST(XmlDocumentErrors, ExternalEntityIsRefused) {
  const std::string dir = ScratchDir();
  WriteFile(dir + "/secret.txt", "SECRET");
  std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY x SYSTEM \"file://" + dir +
                    "/secret.txt\">\n<!ENTITY p SYSTEM \"file:///etc/passwd\">\n]>\n"
                    "<r a=\"&x;\">&x;&p;</r>";
  WriteFile(dir + "/xxe.xml", doc);
  try {
    TXmlDocument::LoadFile(dir + "/xxe.xml");
    FAIL() << "loaded";
  } catch (const EXmlError& error) {
    std::string message = error.what();
    EXPECT_NE(message.find("xxe.xml"), std::string::npos);
    EXPECT_NE(message.find("line 2"), std::string::npos) << message;
    EXPECT_NE(message.find("DOCTYPE"), std::string::npos);
    EXPECT_EQ(message.find("SECRET"), std::string::npos);
  }
}

TEST(XmlDocumentErrors, BillionLaughsIsRefusedAtOnce) {
  std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    doc += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k)
      doc += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    doc += "\">\n";
  }
  doc += "]>\n<lolz a=\"&lol9;\">&lol9;</lolz>";
  EXPECT_NE(LoadError(doc).find("DOCTYPE"), std::string::npos);
}

// --- files ----------------------------------------------------------------------------

TEST(XmlDocumentFiles, MissingOrUnreadableFileIsAFileError) {
  const std::string dir = ScratchDir();
  for (const std::string& path : {dir + "/missing.tfp", dir, dir + "/no/such/dir/x.tfp"}) {
    try {
      TXmlDocument::LoadFile(path);
      FAIL() << path;
    } catch (const EFileError& error) {
      EXPECT_NE(std::string(error.what()).find("\"" + path + "\""), std::string::npos)
          << error.what();
    }
  }
  WriteFile(dir + "/empty.tfp", "");
  EXPECT_THROW(TXmlDocument::LoadFile(dir + "/empty.tfp"), EXmlError);
}

TEST(XmlDocumentFiles, SaveReplacesTheFileAndLeavesNoTemporary) {
  const std::string dir = ScratchDir();
  const std::string path = dir + "/project.tfp";
  WriteFile(path, "old");
  ::chmod(path.c_str(), 0640);
  TXmlDocument::Create("project").SaveFile(path);
  EXPECT_EQ(ReadFile(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project/>\n");
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"project.tfp"});
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(XmlDocumentFiles, SaveThroughALinkKeepsTheLink) {
  const std::string dir = ScratchDir();
  WriteFile(dir + "/real.tfp", "old");
  std::filesystem::create_symlink(dir + "/real.tfp", dir + "/link.tfp");
  TXmlDocument::Create("project").SaveFile(dir + "/link.tfp");
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.tfp"));
  EXPECT_NE(ReadFile(dir + "/real.tfp").find("<project/>"), std::string::npos);
}

TEST(XmlDocumentFiles, FailedSaveIsAFileErrorAndKeepsTheOldFile) {
  const std::string dir = ScratchDir();
  WriteFile(dir + "/plain", "a regular file");
  std::filesystem::create_directory(dir + "/folder");
  TXmlDocument doc = TXmlDocument::Create("project");
  // A parent that is a regular file stops root as well as anyone.
  for (const std::string& path :
       {dir + "/missing/x.tfp", dir + "/plain/x.tfp", dir + "/folder", std::string()}) {
    try {
      doc.SaveFile(path);
      FAIL() << path;
    } catch (const EFileError& error) {
      if (!path.empty()) {
        EXPECT_NE(std::string(error.what()).find("\"" + path + "\""), std::string::npos)
            << error.what();
      }
    }
  }
  EXPECT_EQ(ReadFile(dir + "/plain"), "a regular file");
  EXPECT_TRUE(std::filesystem::is_directory(dir + "/folder"));
  EXPECT_TRUE(std::filesystem::is_empty(dir + "/folder"));
  std::vector<std::string> left = FilesIn(dir);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"folder", "plain"}));
}

}  // namespace
}  // namespace orvanel
