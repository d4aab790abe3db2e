#pragma once
// The scope manager every project creates: the map file reader and writer, and the label
// manager it owns as its sub-manager. The label file has the map file's format.
#include <memory>
#include <string>
#include <unordered_map>

#include "records/Scope.h"

namespace orvanel {

class TSNESLabelManager;

// The name of the labels the conversion makes at returns that jumps and branches land on.
inline constexpr char kExitLabelName[] = "exit";

class TSNESScopeManager : public TScopeManager {
 public:
  // Call Init() after construction (it creates the label manager).
  TSNESScopeManager();

  void SaveToFile(const std::string& fileName, TSaveCommit* commit = nullptr) override;
  // Reads a map file and merges it into the manager. Throws EXmlError or EFileError (nothing
  // read), EConvertError for a "map" text that is no number (what was read before stays).
  void LoadFromFile(TOffsetLookup& project, const std::string& fileName) override;
  std::unique_ptr<TScopeManager> CreateSubManager() override;
  TMappingNode* FindMapping(int64_t offset, int64_t address) override;
  TMappingNode* FindMappingByText(const std::string& text, int64_t offset) override;

  // Saves the map file and then the label file, asking for names through the UI when they
  // are empty; false when the map file dialog was cancelled. With `commit`, the files are
  // put in place by that save.
  bool SaveFiles(TUserInterface& ui, TSaveCommit* commit = nullptr);
  // Reads the map file and then the label file, each only if its file exists.
  void LoadFiles(TOffsetLookup& project);

  TSNESLabelManager* LabelManager() const;
  // Removes every scope and mapping of this manager and of its label manager.
  void Clear();
};

class TSNESLabelManager : public TSNESScopeManager {
 public:
  TSNESLabelManager();

  std::unique_ptr<TScopeManager> CreateSubManager() override { return nullptr; }
  TMappingNode* AddMapping(TScopeNode* scope, const std::string& name,
                           const std::string& address) override;
  TMappingNode* AddMappingFromXml(TScopeNode* scope, const std::string& name,
                                  const std::string& text) override;
  TMappingNode* FindMapping(int64_t offset, int64_t address) override;
  TMappingNode* FindMappingByText(const std::string& text, int64_t offset) override;
  void DeleteMapping(TMappingNode* mapping) override;

  // The label at that address, or none. Constant time.
  TMappingNode* FindLabel(int64_t offset) const;
  // The label at the numeric address of the text; created under the Global root (made
  // again when it is missing) when there is none. Throws EConvertError for a text that is
  // no number.
  TMappingNode* AddLabel(const std::string& address, const std::string& name);
  // The Global root, created when missing.
  TScopeNode* GlobalRoot();
  void Clear();

 private:
  std::unordered_map<int64_t, TMappingNode*> labels_;  // one label per value
};

}  // namespace orvanel
