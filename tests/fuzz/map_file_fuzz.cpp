// Map file: read into a project with a converted log, so that line keys find their lines.
// What was read must be written and read back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

using namespace orvanel;
using namespace orvanel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = ScratchPath("input.tfm");
  WriteScratchFile(file, data, size);

  TSilentUserInterface ui;
  std::unique_ptr<TSNESProject> project = MakeProject(1, ui, true);
  Expected([&] { project->ScopeManager()->LoadFromFile(*project, file); });

  // Whatever was read, even before an error, is what "Save Project" writes.
  const std::string written = ScratchPath("written.tfm");
  project->ScopeManager()->SaveToFile(written);
  std::unique_ptr<TSNESProject> copy = MakeProject(1, ui, true);
  try {
    copy->ScopeManager()->LoadFromFile(*copy, written);
  } catch (const EOrvanelError& e) {
    Finding(std::string("a written map file does not read back: ") + e.what());
  }
  if (copy->ScopeManager()->Scopes().size() != project->ScopeManager()->Scopes().size())
    Finding("a written map file reads back with another number of scopes");
  return 0;
}
