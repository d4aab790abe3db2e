// Trace data file: read by each of the three line factories (a first-dialect project, a
// debugger-dialect project, and its code cache, read first as opening a project does), each
// with a map and a label file loaded before, so that lines find scopes and labels. A tree
// that was read must be written and read back with as many items.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

using namespace orvanel;
using namespace orvanel::fuzz;

namespace {

void WriteAndReadBack(TProject& project, int projectType, TUserInterface& ui) {
  const std::string written = ScratchPath("written.tfd");
  project.WriteTraceData(written);
  std::unique_ptr<TSNESProject> copy = MakeProject(projectType, ui, false);
  LoadFixedMapAndLabels(*copy);
  copy->TraceDataDialog.FileName = written;
  try {
    copy->LoadTraceData();
  } catch (const EOrvanelError& e) {
    Finding(std::string("a written trace data file does not read back: ") + e.what());
  }
  if (copy->Tree().Count() != project.Tree().Count())
    Finding("a written trace data file reads back with " + std::to_string(copy->Tree().Count()) +
            " items instead of " + std::to_string(project.Tree().Count()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = ScratchPath("input.tfd");
  WriteScratchFile(file, data, size);
  TSilentUserInterface ui;

  std::unique_ptr<TSNESProject> first = MakeProject(1, ui, false);
  LoadFixedMapAndLabels(*first);
  first->TraceDataDialog.FileName = file;
  if (!Expected([&] { first->LoadTraceData(); })) return 0;  // not well-formed
  WriteAndReadBack(*first, 1, ui);

  std::unique_ptr<TSNESProject> debugger = MakeProject(2, ui, false);
  LoadFixedMapAndLabels(*debugger);
  TSNESCodeCache& cache = *debugger->CodeCache();
  cache.TraceDataDialog.FileName = file;
  debugger->TraceDataDialog.FileName = file;
  try {
    cache.LoadTraceData();
    debugger->LoadTraceData();
  } catch (const EOrvanelError& e) {
    Finding(std::string("a file that one project read is refused by another: ") + e.what());
  }
  // The project and its code cache now share lines' twins; closing the log must leave the
  // cache without dangling links (ASan tells).
  debugger->CloseLog();
  cache.WriteTraceData(ScratchPath("cache.tcc"));
  return 0;
}
