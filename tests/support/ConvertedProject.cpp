#include "ConvertedProject.h"

#include "project/ProjectSession.h"

namespace orvanel::test {

std::unique_ptr<TSNESProject> ConvertedProject(TUserInterface& ui, const std::string& log, int type,
                                               const std::string& programDir) {
  auto project = CreateProject(type, ui, programDir);
  project->ScopeManager()->GetScope("Global", true);
  project->LogLines() = TLogLines::FromBytes(log);
  project->ImportLog();
  return project;
}

}  // namespace orvanel::test
