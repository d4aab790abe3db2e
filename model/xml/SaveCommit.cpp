#include "xml/SaveCommit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

#include "base/Errors.h"
#include "xml/AtomicFile.h"

namespace orvanel {

namespace {

namespace fs = std::filesystem;

// The record: a header line, then per file its target, a NUL, the temporary file's name
// and a line end; a last line closes it. Targets are absolute, and a temporary file always
// lies in its target's folder, so a record names nothing but pairs of that shape.
constexpr std::string_view kRecordHeader = "Orvanel save\n";
constexpr std::string_view kRecordEnd = "end\n";
// A record lists five files; anything this large is not one.
constexpr off_t kMaxRecordSize = 1 << 20;

struct TPair {
  std::string Target;
  std::string Temp;
};

std::string FolderOf(const std::string& path) {
  return fs::path(path).parent_path().string();
}

std::string NameOf(const std::string& path) {
  return fs::path(path).filename().string();
}

// Not normalised: "folder/link/.." is not always "folder", and a temporary file has to be
// found in the very folder its target's path names.
std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.string();
}

// The pairs of a record, or none when the text is no whole record.
std::optional<std::vector<TPair>> ParseRecord(std::string_view text) {
  if (!text.starts_with(kRecordHeader)) return std::nullopt;
  text.remove_prefix(kRecordHeader.size());
  std::vector<TPair> pairs;
  while (text != kRecordEnd) {
    size_t nul = text.find('\0');
    size_t end = text.find('\n', nul == std::string_view::npos ? 0 : nul);
    if (nul == std::string_view::npos || end == std::string_view::npos) return std::nullopt;
    TPair pair{std::string(text.substr(0, nul)), std::string(text.substr(nul + 1, end - nul - 1))};
    if (!fs::path(pair.Target).is_absolute() || !IsTempNameOf(pair.Temp, NameOf(pair.Target)))
      return std::nullopt;
    pair.Temp = FolderOf(pair.Target) + "/" + pair.Temp;
    pairs.push_back(std::move(pair));
    text.remove_prefix(end + 1);
  }
  return pairs;
}

std::optional<std::string> ReadRecord(const std::string& record) {
  struct stat info {};
  // Something else under the record's name is left alone; a save then refuses to write
  // over it with a message.
  if (::lstat(record.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (info.st_size > kMaxRecordSize) return std::string();
  std::ifstream in(record, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text;
}

// Renames a temporary file over its target, which must still be a regular file or
// nothing; errno on failure, 0 when done.
int Place(const std::string& temp, const std::string& target, const std::string& shown) {
  CheckReplaceable(target, shown);
  return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
}

std::string UnfinishedMessage(const std::string& mainFile, const std::string& file, int error) {
  return FileWriteErrorMessage(file, error) + "\nThe save of \"" + mainFile +
         "\" is finished when the project is opened or saved again.";
}

void SyncFolders(const std::vector<std::string>& paths) {
  std::set<std::string> folders;
  for (const std::string& path : paths) folders.insert(FolderOf(path));
  for (const std::string& folder : folders) SyncFolderOf(folder + "/.");
}

}  // namespace

std::string SaveRecordPath(const std::string& mainFile) {
  std::string target = AbsolutePath(WriteTarget(mainFile));
  return FolderOf(target) + "/." + NameOf(target) + ".commit";
}

void FinishInterruptedSave(const std::string& mainFile) {
  std::string record;
  try {
    record = SaveRecordPath(mainFile);
  } catch (const EFileError&) {
    return;  // no regular file can be saved there, so none was
  }
  std::optional<std::string> text = ReadRecord(record);
  if (!text) return;
  std::optional<std::vector<TPair>> pairs = ParseRecord(*text);
  std::vector<std::string> targets;
  for (const TPair& pair : pairs.value_or(std::vector<TPair>())) {
    struct stat info {};
    // A temporary file that is gone was put in place before the save was cut short.
    if (::lstat(pair.Temp.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (int error = Place(pair.Temp, pair.Target, pair.Target))
      throw EFileError(UnfinishedMessage(mainFile, pair.Target, error));
    targets.push_back(pair.Target);
  }
  SyncFolders(targets);
  if (::unlink(record.c_str()) != 0 && errno != ENOENT)
    throw EFileError(UnfinishedMessage(mainFile, record, errno));
  SyncFolderOf(record);
}

void TSaveCommit::Discard() noexcept {
  for (const TStaged& file : staged_) ::unlink(file.Temp.c_str());
  staged_.clear();
}

void TSaveCommit::Stage(const std::string& target, const std::string& temp,
                        const std::string& shownPath) {
  TStaged file{AbsolutePath(target), "", shownPath};
  file.Temp = FolderOf(file.Target) + "/" + NameOf(temp);
  for (auto it = staged_.begin(); it != staged_.end(); ++it) {
    if (it->Target == file.Target) {
      ::unlink(it->Temp.c_str());
      staged_.erase(it);
      break;
    }
  }
  staged_.push_back(std::move(file));
}

void TSaveCommit::WriteRecord(const std::string& record) const {
  std::string text(kRecordHeader);
  for (const TStaged& file : staged_) {
    text += file.Target;
    text += '\0';
    text += NameOf(file.Temp);
    text += '\n';
  }
  text += kRecordEnd;
  TAtomicFile out(record);
  auto fault = [&](TWriteStep step) {
    if (int error = faults_ ? faults_->At(step, record) : 0)
      throw EFileError(FileWriteErrorMessage(record, error));
  };
  fault(TWriteStep::Write);
  out.Write(text);
  fault(TWriteStep::Rename);
  out.Commit();
}

void TSaveCommit::Commit(const std::string& mainFile) {
  // An older save of this project that was cut short goes in place first, so that its
  // files do not overwrite these later.
  FinishInterruptedSave(mainFile);
  const std::string record = SaveRecordPath(mainFile);
  for (const TStaged& file : staged_) CheckReplaceable(file.Target, file.Shown);
  WriteRecord(record);

  // From here on the new project is the saved one.
  std::vector<TStaged> staged = std::move(staged_);
  staged_.clear();
  std::vector<std::string> targets;
  for (const TStaged& file : staged) {
    int error = faults_ ? faults_->At(TWriteStep::Rename, file.Target) : 0;
    if (!error) error = Place(file.Temp, file.Target, file.Shown);
    if (error) throw EFileError(UnfinishedMessage(mainFile, file.Shown, error));
    targets.push_back(file.Target);
  }
  SyncFolders(targets);
  // Every file is in place; a record that stays lists only files already gone, and the
  // next open or save removes it.
  if (!faults_ || faults_->At(TWriteStep::Remove, record) == 0) {
    ::unlink(record.c_str());
    SyncFolderOf(record);
  }
  targets.push_back(record);
  RemoveLeftovers(targets);
}

// Temporary files of these targets that a save cut short left behind: one listing of
// each folder.
void TSaveCommit::RemoveLeftovers(const std::vector<std::string>& targets) noexcept {
  try {
    RemoveLeftoversOf(targets);
  } catch (const std::exception&) {
    // What is left costs space, not data; the next save tries again.
  }
}

void TSaveCommit::RemoveLeftoversOf(const std::vector<std::string>& targets) {
  std::set<std::string> folders;
  for (const std::string& target : targets) folders.insert(FolderOf(target));
  for (const std::string& folder : folders) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      std::string name = it->path().filename().string();
      for (const std::string& target : targets) {
        if (FolderOf(target) == folder && IsTempNameOf(name, NameOf(target))) {
          ::unlink(it->path().c_str());
          break;
        }
      }
    }
  }
}

}  // namespace orvanel
