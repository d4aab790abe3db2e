// orvanel-convert: does headlessly what "New" followed by "Save Project" does, or, with
// --resave, what "Open Project" followed by "Save Project As" does; --symbols imports symbol
// files before the save, --export-listing and --export-symbols write a saved project out.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ConsoleUserInterface.h"
#include "base/AllocatorTuning.h"
#include "base/Errors.h"
#include "project/ProjectSession.h"
#include "symbols/Listing.h"
#include "symbols/SymbolExport.h"
#include "symbols/SymbolSession.h"

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: orvanel-convert [--format snes9x|debugger|snes9x-raw|mesen2] [--debugger]\n"
    "                       [--map FILE] [--labels FILE] [--symbols FILE]...\n"
    "                       [--rom-map lorom|hirom] [--interrupt-levels|--no-interrupt-levels]\n"
    "                       LOG PROJECT.tfp\n"
    "       orvanel-convert --resave IN.tfp OUT.tfp\n"
    "       orvanel-convert --export-listing FILE PROJECT.tfp\n"
    "       orvanel-convert --export-symbols wla|mlb|sym [--rom-map lorom|hirom] FILE PROJECT.tfp\n"
    "\n"
    "\"--\" ends the options: the names after it are files, even when they start with \"-\".\n"
    "Converts the trace LOG into a project. The log's layout is recognised from its first\n"
    "instruction lines: Marro's SNES9x log (snes9x), Dravik's SNES9x debugger log\n"
    "(debugger), snes9x's own trace log (snes9x-raw) or a Mesen2 trace log (mesen2);\n"
    "--format names it instead (--debugger is --format debugger). The project is\n"
    "PROJECT.tfp with its map file (PROJECT.tfm or --map), label file (PROJECT.tlm or --labels), "
    "trace data file (PROJECT.tfd) and code cache\n"
    "file (PROJECT.tcc). Existing map and label files are read first.\n"
    "--symbols imports a symbol file (WLA-DX or asar, no$sns, ca65 -Ln, .sym, .mlb) after\n"
    "the conversion and before the save; it may be given several times. --rom-map sets the\n"
    "ROM layout of ROM offsets instead of the one guessed from the trace.\n"
    "--interrupt-levels gives every interrupt handler a level of its own, an item NMI, IRQ\n"
    "or Interrupt at the place it interrupted; --no-interrupt-levels leaves the handler's\n"
    "lines in the level they interrupted. The default is on for the emulators' own logs\n"
    "(snes9x-raw, mesen2) and off for the two dialects.\n"
    "With --resave, opens the project IN.tfp and saves it with all its files as OUT.tfp.\n"
    "--export-listing writes the code tree of PROJECT.tfp as text to FILE;\n"
    "--export-symbols writes its labels and mappings to FILE as a WLA-DX symbol file, an\n"
    ".mlb label file or a .sym file with comments.\n";

enum class TMode { Convert, Resave, ExportListing, ExportSymbols };

struct TOptions {
  TMode mode = TMode::Convert;
  bool debugger = false;
  std::optional<bool> interruptLevels;
  const orvanel::TTraceLayout* layout = nullptr;
  std::string map, labels;
  std::vector<std::string> symbols;
  orvanel::TRomMapping romMapping = orvanel::TRomMapping::Guess;
  orvanel::TSymbolFormat format = orvanel::TSymbolFormat::Wla;
  std::vector<std::string> files;
};

bool ParseRomMapping(const std::string& text, orvanel::TRomMapping& mapping) {
  if (text == "lorom")
    mapping = orvanel::TRomMapping::LoRom;
  else if (text == "hirom")
    mapping = orvanel::TRomMapping::HiRom;
  else
    return false;
  return true;
}

bool ParseFormat(const std::string& text, orvanel::TSymbolFormat& format) {
  if (text == "wla")
    format = orvanel::TSymbolFormat::Wla;
  else if (text == "mlb")
    format = orvanel::TSymbolFormat::Mlb;
  else if (text == "sym")
    format = orvanel::TSymbolFormat::Sym;
  else
    return false;
  return true;
}

bool ParseOptions(int argc, char* argv[], TOptions& o) {
  bool onlyFiles = false;  // after "--", a name that starts with "-" is a file
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (onlyFiles) {
      o.files.push_back(a);
    } else if (a == "--") {
      onlyFiles = true;
    } else if (a == "--debugger") {
      o.debugger = true;
    } else if (a == "--interrupt-levels" || a == "--no-interrupt-levels") {
      o.interruptLevels = a == "--interrupt-levels";
    } else if (a == "--format" && hasValue) {
      o.layout = orvanel::LayoutByOption(argv[++i]);
      if (!o.layout) {
        std::fprintf(stderr, "orvanel-convert: unknown log layout %s\n", argv[i]);
        return false;
      }
    } else if (a == "--resave") {
      o.mode = TMode::Resave;
    } else if (a == "--export-listing") {
      o.mode = TMode::ExportListing;
    } else if (a == "--export-symbols" && hasValue) {
      o.mode = TMode::ExportSymbols;
      if (!ParseFormat(argv[++i], o.format)) {
        std::fprintf(stderr, "orvanel-convert: unknown symbol format %s\n", argv[i]);
        return false;
      }
    } else if (a == "--rom-map" && hasValue) {
      if (!ParseRomMapping(argv[++i], o.romMapping)) {
        std::fprintf(stderr, "orvanel-convert: unknown ROM layout %s\n", argv[i]);
        return false;
      }
    } else if (a == "--symbols" && hasValue) {
      o.symbols.push_back(argv[++i]);
    } else if ((a == "--map" || a == "--labels") && hasValue) {
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
    bool saved = true;
    if (options.mode != TMode::Convert) {
      // IN.tfp OUT.tfp for a re-save, FILE PROJECT.tfp for the exports.
      const bool resave = options.mode == TMode::Resave;
      const std::string& projectFile = options.files[resave ? 0 : 1];
      auto project = orvanel::OpenProject(projectFile, ui, ProgramDir());
      if (resave)
        saved = orvanel::SaveProjectAs(*project, options.files[1]);
      else if (options.mode == TMode::ExportListing)
        orvanel::ExportListing(*project, options.files[0]);
      else
        orvanel::ExportSymbols(*project, options.files[0], options.format, options.romMapping);
      // What was written lacks what could not be read: the run has not done its job.
      if (project->ReadWithErrors()) {
        std::fprintf(stderr, "orvanel-convert: \"%s\" was read with errors; lines are missing\n",
                     projectFile.c_str());
        return 1;
      }
    } else {
      orvanel::TConvertOptions convert;
      convert.LogFile = options.files[0];
      convert.ProjectFile = options.files[1];
      convert.Debugger = options.debugger;
      convert.Layout = options.layout;
      std::error_code ec;
      if (!convert.Layout && !convert.Debugger && fs::is_regular_file(convert.LogFile, ec)) {
        convert.Layout = orvanel::RecogniseLayoutOfFile(convert.LogFile);
        if (!convert.Layout) {
          std::fprintf(stderr, "orvanel-convert: %s\n", orvanel::UnknownLayoutMessage().c_str());
          return 1;
        }
      }
      convert.MapFile = options.map;
      convert.LabelFile = options.labels;
      convert.ProgramDir = ProgramDir();
      convert.InterruptLevels = options.interruptLevels;
      convert.BeforeSave = [](orvanel::TSNESProject& project) {
        if (!project.InterruptLevels) return;
        std::printf("Interrupts given a level: %zu; entries that could not be decided: %zu\n",
                    project.InterruptCounts.Entered, project.InterruptCounts.Undecided);
      };
      size_t failedSymbols = 0;
      saved = orvanel::ConvertLogWithSymbols(convert, options.symbols, options.romMapping, ui,
                                             failedSymbols);
      // A batch script must tell a symbol file that was not read, though the project is saved.
      if (failedSymbols > 0) {
        std::fprintf(stderr, "orvanel-convert: %zu symbol file(s) not read; the project %s\n",
                     failedSymbols, saved ? "was saved without them" : "was not saved either");
        return 1;
      }
    }
    return saved ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvanel-convert: %s\n", e.what());
    return 1;
  }
}
