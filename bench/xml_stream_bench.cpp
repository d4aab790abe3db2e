// Trace data files of a million lines: the streaming writer and reader against a target
// of about two seconds each, and libxml2's own text writer and reader on the same
// document for comparison (they are why the layer serialises and parses as it does).
#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlwriter.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_report.h"
#include "xml/Xml.h"

namespace orvanel::bench {
namespace {

constexpr const char* kLineText =
    "$00/BBE0  CB           WAI                   A:1FF9 X:0001 Y:0000 D:0000 DB:7E S:1FF6 "
    "P:envmxdIzc HC:242 VC:0148 FC:04";

std::string TracePath() {
  return (std::filesystem::temp_directory_path() / "orvanel-xml-bench.tfd").string();
}

std::string Decimal(int64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return std::string(digits, end);
}

// The attributes of one `traceline`, in the order a line writes them; a call opens a level
// every 16 lines and a return closes it 12 lines later, so the tree is a few levels deep.
template <typename TEmit>
void ForEachLine(int lines, TEmit emit) {
  for (int i = 0; i < lines; ++i) emit(i, (i % 16) == 3, (i % 16) == 15);
}

template <typename TWriter>
void WriteLineAttributes(TWriter& attribute, int i) {
  const int64_t offset = 0x8000 + (i % 4096);
  attribute("linetext", kLineText);
  attribute("textcolor", Decimal(-16777208));
  attribute("comment", (i % 100) == 0 ? "a comment & a <note>" : "");
  if (i == 0) attribute("isfirstline", "TRUE");
  attribute("isComment", "FALSE");
  if ((i % 7) == 0) attribute("scope", "Main loop");
  attribute("offset", Decimal(offset));
  attribute("opcodeval", Decimal(0xCB));
  attribute("opcodelen", Decimal(1));
  attribute("opcodelabel", "WAI");
  attribute("targetoffset", Decimal((i % 3) == 0 ? offset + 12 : -1));
  attribute("operand", "-1");
  attribute("A", Decimal(0x1FF9));
  attribute("X", Decimal(i & 0xFFFF));
  attribute("Y", Decimal(0));
  attribute("S", Decimal(0x1FF6));
  attribute("D", Decimal(0));
  attribute("DB", Decimal(0x7E));
  attribute("PS", "envmxdIzc");
  attribute("HC", Decimal(i % 341));
  attribute("VC", Decimal(i % 262));
  attribute("indexed", "FALSE");
}

void WriteTrace(TXmlWriter& writer, int lines) {
  writer.StartElement("tracedata");
  int open = 0;
  auto attribute = [&](const char* name, const std::string& value) {
    writer.Attribute(name, value);
  };
  ForEachLine(lines, [&](int i, bool opensLevel, bool closesLevel) {
    writer.StartElement("traceline");
    WriteLineAttributes(attribute, i);
    if (opensLevel) {
      ++open;
      return;
    }
    writer.EndElement();
    if (closesLevel && open > 0) {
      writer.EndElement();
      --open;
    }
  });
  while (open-- > 0) writer.EndElement();
  writer.EndElement();
}

void BM_StreamWriter(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TXmlStreamWriter writer(TracePath());
    WriteTrace(writer, lines);
    writer.Commit();
  }
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(TracePath())) / 1e6;
  state.SetItemsProcessed(state.iterations() * lines);
}

void BM_StreamReader(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  {
    TXmlStreamWriter writer(TracePath());
    WriteTrace(writer, lines);
    writer.Commit();
  }
  for (auto _ : state) {
    TXmlStreamReader reader(TracePath());
    size_t bytes = 0;
    int elements = 0;
    for (auto node = reader.Next(); node != TXmlStreamReader::TNode::End; node = reader.Next()) {
      if (node != TXmlStreamReader::TNode::Element) continue;
      ++elements;
      for (const auto& [name, value] : reader.Attributes()) bytes += value.size();
      benchmark::DoNotOptimize(reader.Attribute("offset"));
    }
    benchmark::DoNotOptimize(bytes);
    if (elements != lines + 1) state.SkipWithError("wrong element count");
  }
  state.SetItemsProcessed(state.iterations() * lines);
  std::filesystem::remove(TracePath());
}

// One attribute of 40 MB: beyond 10 MB the push parser looks through a node again for
// every chunk, which must not make the reading quadratic.
void BM_StreamReaderHugeAttribute(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const std::string text = "<r><a v=\"" + std::string(size, 'x') + "\"/></r>";
  for (auto _ : state) {
    TXmlStreamReader reader(text, "huge.tfd");
    size_t bytes = 0;
    for (auto node = reader.Next(); node != TXmlStreamReader::TNode::End; node = reader.Next()) {
      if (auto value = reader.Attribute("v")) bytes += value->size();
    }
    if (bytes != size) state.SkipWithError("wrong attribute size");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// libxml2's text writer on the same document, for comparison.
void BM_Libxml2TextWriter(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  for (auto _ : state) {
    xmlTextWriterPtr writer = xmlNewTextWriterFilename(TracePath().c_str(), 0);
    xmlTextWriterStartDocument(writer, "1.0", "UTF-8", nullptr);
    xmlTextWriterStartElement(writer, BAD_CAST "tracedata");
    auto attribute = [&](const char* name, const std::string& value) {
      xmlTextWriterWriteAttribute(writer, BAD_CAST name, BAD_CAST value.c_str());
    };
    ForEachLine(lines, [&](int i, bool, bool) {
      xmlTextWriterWriteRaw(writer, BAD_CAST "\n  ");
      xmlTextWriterStartElement(writer, BAD_CAST "traceline");
      WriteLineAttributes(attribute, i);
      xmlTextWriterEndElement(writer);
    });
    xmlTextWriterEndDocument(writer);
    xmlFreeTextWriter(writer);
  }
  state.SetItemsProcessed(state.iterations() * lines);
}

// libxml2's reader on the same document, for comparison.
void BM_Libxml2TextReader(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  {
    TXmlStreamWriter writer(TracePath());
    WriteTrace(writer, lines);
    writer.Commit();
  }
  for (auto _ : state) {
    xmlTextReaderPtr reader =
        xmlReaderForFile(TracePath().c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    size_t bytes = 0;
    while (xmlTextReaderRead(reader) == 1) {
      if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT) continue;
      while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
        bytes += std::string(reinterpret_cast<const char*>(xmlTextReaderConstValue(reader))).size();
      }
    }
    xmlFreeTextReader(reader);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * lines);
  std::filesystem::remove(TracePath());
}

BENCHMARK(BM_StreamWriter)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StreamReader)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StreamReaderHugeAttribute)->Arg(40 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2TextWriter)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Libxml2TextReader)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace orvanel::bench

ORVANEL_BENCHMARK_MAIN()
