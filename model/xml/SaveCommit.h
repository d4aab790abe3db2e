#pragma once
// The files of one save put in place together, so that a failure or a kill at any moment
// leaves either every old file or every new one. Each file is first written whole to its
// temporary name (TAtomicFile with this save). Commit then writes a small record beside the
// main file (the project file) that lists the files; the record's rename is the moment the
// save happens. Only then are the temporary files renamed over their targets, and the
// record is removed. A save cut short before the record leaves only temporary files, which
// the next save of that main file removes; one cut short after it is finished by
// FinishInterruptedSave, which opening or saving the main file runs first.
#include <string>
#include <vector>

namespace orvanel {

class TWriteFaults;

class TSaveCommit {
 public:
  // `faults` (a test's) makes chosen steps fail; none for a real save.
  explicit TSaveCommit(TWriteFaults* faults = nullptr) : faults_(faults) {}
  ~TSaveCommit() { Discard(); }
  TSaveCommit(const TSaveCommit&) = delete;
  TSaveCommit& operator=(const TSaveCommit&) = delete;

  // Takes over a temporary file that holds the whole new content of `target`; a second
  // file for the same target replaces the first. `shownPath` names it in messages.
  void Stage(const std::string& target, const std::string& temp, const std::string& shownPath);
  // Removes the staged files; the targets stay as they are.
  void Discard() noexcept;
  // Puts every staged file in place, the staged files in order. Throws EFileError: before
  // the record stands nothing on disk has changed; after it, the message says that the
  // save is finished when the project is opened or saved again.
  void Commit(const std::string& mainFile);

  TWriteFaults* Faults() const { return faults_; }

 private:
  struct TStaged {
    std::string Target;  // absolute
    std::string Temp;    // absolute, in the target's folder
    std::string Shown;
  };
  void WriteRecord(const std::string& record) const;
  static void RemoveLeftovers(const std::vector<std::string>& targets) noexcept;
  static void RemoveLeftoversOf(const std::vector<std::string>& targets);

  std::vector<TStaged> staged_;
  TWriteFaults* faults_;
};

// The record of a save of `mainFile`: "<folder>/.<name>.commit" beside the file a write
// to `mainFile` replaces.
std::string SaveRecordPath(const std::string& mainFile);

// Finishes a save of `mainFile` that was cut short after its record was written: every
// file the record lists is put in place and the record removed. Nothing happens without a
// record; a damaged record is removed and the files stay as they are. Throws EFileError
// when a listed file cannot be put in place; the record stays then.
void FinishInterruptedSave(const std::string& mainFile);

}  // namespace orvanel
