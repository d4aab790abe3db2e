// orvanel-convert: does headlessly what "New" followed by "Save Project" does, or, with
// --resave, what "Open Project" followed by "Save Project As" does.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ConsoleUserInterface.h"
#include "Errors.h"
#include "ProjectSession.h"

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: orvanel-convert [--debugger] [--map FILE] [--labels FILE] LOG PROJECT.tfp\n"
    "       orvanel-convert --resave IN.tfp OUT.tfp\n"
    "\n"
    "Converts the trace LOG (Marro's SNES9x log; Dravik's SNES9x debugger log with\n"
    "--debugger) into a project: PROJECT.tfp with its map file (PROJECT.tfm or --map),\n"
    "label file (PROJECT.tlm or --labels), trace data file (PROJECT.tfd) and code cache\n"
    "file (PROJECT.tcc). Existing map and label files are read first.\n"
    "With --resave, opens the project IN.tfp and saves it with all its files as OUT.tfp.\n";

struct TOptions {
  bool debugger = false;
  bool resave = false;
  std::string map, labels;
  std::vector<std::string> files;
};

bool ParseOptions(int argc, char* argv[], TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--debugger") {
      o.debugger = true;
    } else if (a == "--resave") {
      o.resave = true;
    } else if ((a == "--map" || a == "--labels") && i + 1 < argc) {
      (a == "--map" ? o.map : o.labels) = argv[++i];
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      std::fprintf(stderr, "orvanel-convert: unknown option %s\n", a.c_str());
      return false;
    } else {
      o.files.push_back(a);
    }
  }
  return o.files.size() == 2;
}

std::string WithExtension(const std::string& path, const char* ext) {
  return fs::path(path).replace_extension(ext).string();
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// The folder of the program, where "Mappings.xml" may lie.
std::string ProgramDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string() + "/";
}

// Names every file of the project after the project file.
void NameFiles(orvanel::TSNESProject& project, const std::string& projectFile) {
  project.ProjectFileName = Absolute(projectFile);
  project.TraceDataDialog.FileName = Absolute(WithExtension(projectFile, ".tfd"));
}

int Convert(const TOptions& o, orvanel::app::TConsoleUserInterface& ui) {
  const std::string& log = o.files[0];
  const std::string& projectFile = o.files[1];
  std::error_code ec;
  if (!fs::is_regular_file(log, ec)) {
    std::fprintf(stderr, "orvanel-convert: the log \"%s\" does not exist\n", log.c_str());
    return 1;
  }
  auto project = orvanel::CreateProject(o.debugger ? 2 : 1, ui, ProgramDir());
  project->TraceLogDialog.FileName = log;
  project->ScopeManager()->FileDialog().FileName =
      Absolute(o.map.empty() ? WithExtension(projectFile, ".tfm") : o.map);
  project->LabelManager()->FileDialog().FileName =
      Absolute(o.labels.empty() ? WithExtension(projectFile, ".tlm") : o.labels);
  orvanel::StartNewProject(*project);
  NameFiles(*project, projectFile);
  return project->Save() ? 0 : 1;
}

int Resave(const TOptions& o, orvanel::app::TConsoleUserInterface& ui) {
  auto project = orvanel::OpenProject(o.files[0], ui, ProgramDir());
  const std::string& out = o.files[1];
  NameFiles(*project, out);
  project->ScopeManager()->FileDialog().FileName = Absolute(WithExtension(out, ".tfm"));
  project->LabelManager()->FileDialog().FileName = Absolute(WithExtension(out, ".tlm"));
  return project->Save() ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  orvanel::app::TConsoleUserInterface ui;
  try {
    return options.resave ? Resave(options, ui) : Convert(options, ui);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvanel-convert: %s\n", e.what());
    return 1;
  }
}
