// Log conversion: the first byte chooses the dialect (bit 0), or with bit 2 one of the
// emulators' own layouts (bit 3: Mesen2's, else snes9x's), and whether a map and label file
// are loaded first, as when a log is imported into an opened project (bit 1); the rest is
// the trace log. The converted tree must write to a trace data file that reads back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "records/TraceLayouts.h"

using namespace orvanel;
using namespace orvanel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int projectType = (data[0] & 1) ? 2 : 1;
  if (data[0] & 4)
    projectType = LayoutByOption((data[0] & 8) ? "mesen2" : "snes9x-raw")->ProjectType;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  TSilentUserInterface ui;
  std::unique_ptr<TSNESProject> project = MakeProject(projectType, ui, false);
  if (data[0] & 2) LoadFixedMapAndLabels(*project);
  project->InterruptLevels = (data[0] & 16) != 0;  // bit 4: interrupts open their own level
  if (!Expected([&] {
        project->LogLines() = TLogLines::FromBytes(std::move(bytes));
        project->ImportLog();
      }))
    return 0;

  // What the conversion built is written and read back like "Save Log File" and "Open
  // Converted Log File" do.
  const std::string file = ScratchPath("converted.tfd");
  const std::string labels = ScratchPath("converted.tlm");
  project->WriteTraceData(file);
  project->LabelManager()->SaveToFile(labels);
  std::unique_ptr<TSNESProject> copy = MakeProject(projectType, ui, false);
  try {
    copy->LabelManager()->LoadFromFile(*copy, labels);
    copy->TraceDataDialog.FileName = file;
    copy->LoadTraceData();
  } catch (const EOrvanelError& e) {
    Finding(std::string("a converted log does not read back: ") + e.what());
  }
  if (copy->Tree().Count() != project->Tree().Count())
    Finding("a converted log reads back with " + std::to_string(copy->Tree().Count()) +
            " items instead of " + std::to_string(project->Tree().Count()));
  return 0;
}
