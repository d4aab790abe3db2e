// orvanel-convert: does headlessly what "New" followed by "Save Project" does, or, with
// --resave, what "Open Project" followed by "Save Project As" does.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ConsoleUserInterface.h"
#include "base/AllocatorTuning.h"
#include "base/Errors.h"
#include "project/ProjectSession.h"

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

// The folder of the program, where "Mappings.xml" may lie.
std::string ProgramDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string() + "/";
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
  orvanel::TuneAllocatorForLargeTraces();
  orvanel::app::TConsoleUserInterface ui;
  try {
    bool saved;
    if (options.resave) {
      saved = orvanel::ResaveProject(options.files[0], options.files[1], ui, ProgramDir());
    } else {
      orvanel::TConvertOptions convert;
      convert.LogFile = options.files[0];
      convert.ProjectFile = options.files[1];
      convert.Debugger = options.debugger;
      convert.MapFile = options.map;
      convert.LabelFile = options.labels;
      convert.ProgramDir = ProgramDir();
      saved = orvanel::ConvertLogToProject(convert, ui);
    }
    return saved ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvanel-convert: %s\n", e.what());
    return 1;
  }
}
