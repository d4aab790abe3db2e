#include "FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "LogBuilder.h"
#include "project/ProjectSession.h"

namespace orvanel::fuzz {

namespace fs = std::filesystem;

namespace {

// Owns the scratch folder; removed when the fuzzer ends normally (a crash leaves it to the
// script, which runs every fuzzer inside a folder of its own).
class TScratch {
 public:
  TScratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvanel-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::error_code ec;
    folder_ = fs::canonical(pattern, ec).string();
    if (ec) folder_ = pattern;
  }
  ~TScratch() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

}  // namespace

const std::string& ScratchFolder() {
  static const TScratch scratch;
  return scratch.Folder();
}

std::string ScratchPath(std::string_view name) {
  return ScratchFolder() + "/" + std::string(name);
}

void WriteScratchFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) Finding("cannot write the scratch file " + path);
}

void WriteScratchFile(const std::string& path, std::string_view text) {
  WriteScratchFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool InsideScratchFolder(const std::string& path) {
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return false;
  fs::path folder(ScratchFolder());
  auto [end, rest] = std::mismatch(folder.begin(), folder.end(), resolved.begin(), resolved.end());
  return end == folder.end() && rest != resolved.end();  // strictly below the folder
}

std::string SmallLog(int projectType) {
  using test::TLogBuilder;
  TLogBuilder log(projectType == 2 ? TLogBuilder::Dialect::Debugger : TLogBuilder::Dialect::First);
  log.Raw("--- frame 1 ---")
      .Jsr(0x808000, 0x809000)
      .Raw("// into the routine")
      .Lda(0x809000, 0x002140)
      .Branch(0x809003, 0xD0, 0xFB, 0x809000)
      .Lda(0x809000, 0x7E4200)
      .Branch(0x809003, 0xD0, 0xFB, 0x809000)
      .Jsl(0x809005, 0x80A000)
      .Nop(0x80A000)
      .Rtl(0x80A001)
      .Branch(0x809009, 0x80, 0x02, 0x80900D)
      .Nop(0x80900B)
      .Rts(0x80900D)
      .Jmp(0x808003, 0x808010)
      .Nop(0x808010)
      .Rts(0x808011)
      .Nop(0x80C000);
  return log.Text();
}

std::unique_ptr<TSNESProject> MakeProject(int projectType, TUserInterface& ui,
                                          bool withConvertedLog) {
  std::unique_ptr<TSNESProject> project = CreateProject(projectType, ui, "");
  if (!project) Finding("CreateProject gave no project of type " + std::to_string(projectType));
  project->ScopeManager()->GetScope("Global", true);
  if (withConvertedLog) {
    project->LogLines() = TLogLines::FromBytes(SmallLog(projectType));
    project->ImportLog();
  }
  return project;
}

const std::string& FixedMapFile() {
  static const std::string path = [] {
    std::string p = ScratchPath("fixed.tfm");
    WriteScratchFile(p,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<mapfile>"
                     "<scope name=\"Global\"><scopedoffsets/><mappings>"
                     "<map context=\"Counter\">$7E0010</map><map context=\"Mode\">#$12</map>"
                     "</mappings></scope>"
                     "<scope name=\"Loop\"><scopedoffsets><offset>8425472</offset>"
                     "<offset>8425475</offset><offset>32768</offset><offset>8425472_cc</offset>"
                     "</scopedoffsets><mappings><map context=\"Port\">$2140</map>"
                     "<map context=\"Wram\">$7E4200</map></mappings></scope></mapfile>\n");
    return p;
  }();
  return path;
}

const std::string& FixedLabelFile() {
  static const std::string path = [] {
    std::string p = ScratchPath("fixed.tlm");
    WriteScratchFile(p,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<mapfile>"
                     "<scope name=\"Global\"><scopedoffsets/><mappings>"
                     "<map context=\"Main\">$808000</map><map context=\"Wait\">8425472</map>"
                     "<map context=\"Far\">$80A000</map><map context=\"Reset\">$8000</map>"
                     "<map context=\"Exit\">32772</map></mappings></scope></mapfile>\n");
    return p;
  }();
  return path;
}

void LoadFixedMapAndLabels(TSNESProject& project) {
  project.ScopeManager()->LoadFromFile(project, FixedMapFile());
  project.LabelManager()->LoadFromFile(project, FixedLabelFile());
}

void Finding(const std::string& what) {
  std::fprintf(stderr, "FINDING: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace orvanel::fuzz
