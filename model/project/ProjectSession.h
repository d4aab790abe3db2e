#pragma once
// How the main window (and the batch converter) create, open and save projects.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "project/SnesProject.h"
#include "records/TraceLayouts.h"

namespace orvanel {

// What the user is told when "Mappings.xml" lies in the program's folder but cannot be read;
// the reader's own message (file, line, reason) follows on the next line.
inline constexpr const char* kUnreadableRegisterFile =
    "The register description file could not be read; no hardware register is named.";

// The check box of the log dialog of "New".
inline constexpr const char* kInterruptLevelsOption = "Interrupts open their own level";

// A project of type 1 (first dialect), 2 (debugger dialect) or of another layout's type, set up as
// the main window sets up a new or opened project: its label manager's Global root and the register
// file of the program's folder (`programDir` with a trailing separator; empty for none). A register
// file that cannot be read gives one message and no register names.
std::unique_ptr<TSNESProject> CreateProject(int projectType, TUserInterface& ui,
                                            const std::string& programDir);

// The second half of "New": the Global scope, the import and conversion of the log named by
// TraceLogDialog, then the map and label files when they exist.
void StartNewProject(TSNESProject& project);

// "New" with dialogs: asks for the trace log and the map file name; none when either is
// cancelled.
std::unique_ptr<TSNESProject> NewProject(int projectType, TUserInterface& ui,
                                         const std::string& programDir);

// "New" for a log of any layout Orvanel reads: asks for the log, recognises its layout (and
// tells which one it found), creates the project of that layout and asks for the map file.
// None when a dialog is cancelled; a log of no known layout throws EFileError naming the
// layouts read, and no project is made. The log dialog asks whether interrupts open their
// own level, offering `interruptLevels` (checked when none: this entry is for the emulators'
// own logs); the choice made is left there.
std::unique_ptr<TSNESProject> NewProjectOfAnyLayout(TUserInterface& ui,
                                                    const std::string& programDir,
                                                    std::optional<bool>& interruptLevels);

// "Open Project": reads the project type from the file's root element, creates that class
// and reads the project with every file it names. A file that cannot be read, a root that
// is not `project`, a missing, non-numeric or unknown project type, or any error while the
// files are read throws with a clear message, and no project is left half open.
// A save of the project that was cut short after its files were complete is finished first.
std::unique_ptr<TSNESProject> OpenProject(const std::string& fileName, TUserInterface& ui,
                                          const std::string& programDir);

// What the batch converter does: "New" with the dialect followed by "Save Project", every
// file named after the project file unless a map or label file is given. The map and label
// files are read first when they exist. Throws on any file error; false when nothing was saved.
struct TConvertOptions {
  std::string LogFile;
  std::string ProjectFile;  // PROJECT.tfp
  bool Debugger = false;
  const TTraceLayout* Layout = nullptr;  // when given, the log's layout (Debugger is ignored)
  std::string MapFile;                   // empty: PROJECT.tfm
  std::string LabelFile;                 // empty: PROJECT.tlm
  std::string ProgramDir;                // where "Mappings.xml" may lie; empty for none
  // Whether interrupts open their own level; unset: the layout's default (on for the
  // emulators' own logs, off for the two dialects).
  std::optional<bool> InterruptLevels;
  // Runs after the conversion and before the save (the converter imports symbols here).
  std::function<void(TSNESProject&)> BeforeSave;
};
bool ConvertLogToProject(const TConvertOptions& options, TUserInterface& ui);

// Names every file of the project after its project file (PROJECT.tfd, .tfm, .tlm; the code
// cache file follows at the save), so that a save writes none of the files it was read from.
void NameFilesAfter(TSNESProject& project, const std::string& projectFile);

// The files a save of the project writes: project, trace data, map, label, code cache file.
std::vector<std::string> SavedFiles(const TSNESProject& project);

// Saves an opened project with all its files under a new project file name (the other
// files are named after it). A project read with errors is refused (EFileError) when any of
// the new files is one it was read from, as that would lose what could not be read.
bool SaveProjectAs(TSNESProject& project, const std::string& outFile);

// Opens a project as "Open Project" does and saves it with all its files under a new name.
bool ResaveProject(const std::string& inFile, const std::string& outFile, TUserInterface& ui,
                   const std::string& programDir);

}  // namespace orvanel
