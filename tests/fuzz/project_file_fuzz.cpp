// Project file: opened as "Open Project" does, with every file it names. The scratch folder
// holds a small map file, label file, trace data file and code cache file that a project
// file can name (relative to itself or by absolute path); inputs that name existing files
// outside the scratch folder are passed over, so nothing else is ever read.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "project/ProjectSession.h"
#include "xml/Xml.h"

using namespace orvanel;
using namespace orvanel::fuzz;

namespace {

namespace fs = std::filesystem;

void WriteNamedFiles() {
  TSilentUserInterface ui;
  std::unique_ptr<TSNESProject> project = MakeProject(1, ui, true);
  project->WriteTraceData(ScratchPath("t.tfd"));
  project->WriteTraceData(ScratchPath("c.tcc"));
  fs::copy_file(FixedMapFile(), ScratchPath("m.tfm"), fs::copy_options::overwrite_existing);
  fs::copy_file(FixedLabelFile(), ScratchPath("l.tlm"), fs::copy_options::overwrite_existing);
}

// Every file a value could lead the reader to: the value itself, the value beside the
// project file when it is relative, and a file of its name beside the project file.
bool StaysInside(const std::string& value) {
  if (value.empty()) return true;
  fs::path p(value);
  fs::path folder(ScratchFolder());
  for (const fs::path& candidate : {p, folder / p, folder / p.filename()}) {
    std::error_code ec;
    bool exists = fs::exists(candidate, ec);
    if (ec) return false;
    if (exists && !InsideScratchFolder(candidate.string())) return false;
  }
  return true;
}

bool NamesOnlyScratchFiles(const std::string& file) {
  TXmlDocument doc;
  try {
    doc = TXmlDocument::LoadFile(file);
  } catch (const EOrvanelError&) {
    return true;  // refused before any named file is looked at
  }
  TXmlElement root = doc.Root();
  if (!root) return true;
  for (const char* name : {"tracefile", "mapfile", "labels", "codecachefile"}) {
    TXmlElement e = root.FirstChildElement(name);
    if (e && !StaysInside(e.Text())) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool prepared = (WriteNamedFiles(), true);
  (void)prepared;
  const std::string file = ScratchPath("input.tfp");
  WriteScratchFile(file, data, size);
  if (!NamesOnlyScratchFiles(file)) return 0;

  TSilentUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  if (!Expected([&] { project = OpenProject(file, ui, ""); })) return 0;
  if (!project) Finding("OpenProject gave no project and no error");
  // An opened project saves under another name and opens again.
  const std::string saved = ScratchPath("saved.tfp");
  project->TraceDataDialog.FileName = ScratchPath("saved.tfd");
  project->ScopeManager()->FileDialog().FileName = ScratchPath("saved.tfm");
  project->LabelManager()->FileDialog().FileName = ScratchPath("saved.tlm");
  project->ProjectFileName = saved;
  if (!project->Save()) Finding("saving an opened project with every name set stopped");
  try {
    OpenProject(saved, ui, "");
  } catch (const EOrvanelError& e) {
    Finding(std::string("a saved project does not open again: ") + e.what());
  }
  return 0;
}
