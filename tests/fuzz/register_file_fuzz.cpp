// Register description file "Mappings.xml": loaded from the program's folder, then used
// by the conversion of a small log whose lines access the register area.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "project/ProjectSession.h"

using namespace orvanel;
using namespace orvanel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteScratchFile(ScratchPath("Mappings.xml"), data, size);
  TSilentUserInterface ui;
  for (int projectType : {1, 2}) {
    std::unique_ptr<TSNESProject> project = CreateProject(projectType, ui, "");
    if (!Expected([&] { project->LoadRegisterFile(ScratchFolder() + "/"); })) return 0;
    project->ScopeManager()->GetScope("Global", true);
    project->LogLines() = TLogLines::FromBytes(SmallLog(projectType));
    project->ImportLog();
    // Lines read back from a trace data file look their registers up as well.
    const std::string file = ScratchPath("registers.tfd");
    project->WriteTraceData(file);
    project->CloseLog();
    project->TraceDataDialog.FileName = file;
    project->LoadTraceData();
  }
  return 0;
}
