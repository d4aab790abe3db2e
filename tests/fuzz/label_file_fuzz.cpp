// Label file: read by the label manager of a project with a converted log (which already
// holds the conversion's "exit" labels). What was read must be written and read back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

using namespace orvanel;
using namespace orvanel::fuzz;

namespace {

size_t LabelCount(const TSNESLabelManager& labels) {
  size_t count = 0;
  for (const auto& scope : labels.Scopes()) count += scope->Mappings().size();
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = ScratchPath("input.tlm");
  WriteScratchFile(file, data, size);

  TSilentUserInterface ui;
  std::unique_ptr<TSNESProject> project = MakeProject(1, ui, true);
  TSNESLabelManager& labels = *project->LabelManager();
  Expected([&] { labels.LoadFromFile(*project, file); });
  // A label made after the reading finds a Global root to go under.
  Expected([&] { project->CreateLabel("$80C000", "after"); });

  const std::string written = ScratchPath("written.tlm");
  labels.SaveToFile(written);
  std::unique_ptr<TSNESProject> copy = MakeProject(1, ui, false);
  try {
    copy->LabelManager()->LoadFromFile(*copy, written);
  } catch (const EOrvanelError& e) {
    Finding(std::string("a written label file does not read back: ") + e.what());
  }
  if (LabelCount(*copy->LabelManager()) != LabelCount(labels))
    Finding("a written label file reads back with " +
            std::to_string(LabelCount(*copy->LabelManager())) + " labels instead of " +
            std::to_string(LabelCount(labels)));
  return 0;
}
