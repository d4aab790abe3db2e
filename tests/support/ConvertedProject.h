#pragma once
// A project with a log converted as "New" converts it, without the dialogs.
#include <memory>
#include <string>

#include "project/SnesProject.h"

namespace orvanel::test {

// A project of the type (1: first dialect, 2: debugger dialect) with its Global scope,
// holding the log text imported and converted; `programDir` as for CreateProject.
std::unique_ptr<TSNESProject> ConvertedProject(TUserInterface& ui, const std::string& log,
                                               int type = 1, const std::string& programDir = "");

}  // namespace orvanel::test
