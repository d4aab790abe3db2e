#pragma once
// What every fuzz target shares: a user interface that answers nothing, a private scratch
// folder for the files the model reads, small projects to read into, and the line between
// expected errors and findings.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Errors.h"
#include "base/SilentUserInterface.h"
#include "project/SnesProject.h"

namespace orvanel::fuzz {

using orvanel::TSilentUserInterface;

// The fuzzer's own folder below $TMPDIR (or /tmp), made on first use and removed at exit.
// Nothing a target reads or writes lies outside it.
const std::string& ScratchFolder();
// A path in the scratch folder.
std::string ScratchPath(std::string_view name);
void WriteScratchFile(const std::string& path, const uint8_t* data, size_t size);
void WriteScratchFile(const std::string& path, std::string_view text);
// Whether the path, once made absolute and resolved, lies inside the scratch folder.
bool InsideScratchFolder(const std::string& path);

// A small log of the dialect of the project type (1 or 2): calls, returns, branches, a
// comment and accesses of the register area, so that read files find lines to attach to.
std::string SmallLog(int projectType);
// A project as "New" leaves it: the Global scope, and the small log converted when asked.
std::unique_ptr<TSNESProject> MakeProject(int projectType, TUserInterface& ui,
                                          bool withConvertedLog);

// A map file with two scopes (keys of SmallLog's loop and of a code cache line) and a label
// file with labels at SmallLog's addresses and at $8000 and $8004, written once into the
// scratch folder; their paths.
const std::string& FixedMapFile();
const std::string& FixedLabelFile();
// Reads both into the project, as opening a project does before its trace data.
void LoadFixedMapAndLabels(TSNESProject& project);

// Runs the step; the model's own errors are expected, everything else escapes to libFuzzer
// and is a finding. Returns false when the step threw an expected error.
template <typename Step>
bool Expected(Step&& step) {
  try {
    step();
    return true;
  } catch (const EOrvanelError&) {
    return false;
  }
}

// Reports a broken promise of the model (for example a file it wrote that it cannot read
// back) and stops the run, so libFuzzer keeps the input.
[[noreturn]] void Finding(const std::string& what);

}  // namespace orvanel::fuzz
