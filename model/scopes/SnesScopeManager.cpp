// The map file (scopes, their line keys and their mappings) and the label manager, whose
// label file has the same format.
#include "scopes/SnesScopeManager.h"

#include <filesystem>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "xml/Xml.h"

namespace orvanel {

namespace {

constexpr const char* kGlobalName = "Global";

// A missing file is skipped; anything else that stands there is read, so that a folder or
// a device is refused with a message instead of passed over in silence.
bool FileExists(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::exists(name, ec);
}

}  // namespace

// --- TSNESScopeManager -----------------------------------------------------------------------

TSNESScopeManager::TSNESScopeManager() {
  fileDialog_.DialogKind = TFileDialog::Kind::Save;
  fileDialog_.Title = "Save Map File";
  fileDialog_.DefaultExt = "tfm";
  fileDialog_.Filter = "Orvanel map file|*.tfm|Any File|*.*";
}

std::unique_ptr<TScopeManager> TSNESScopeManager::CreateSubManager() {
  auto labels = std::make_unique<TSNESLabelManager>();
  labels->Init();
  return labels;
}

TSNESLabelManager* TSNESScopeManager::LabelManager() const {
  return dynamic_cast<TSNESLabelManager*>(subManager_.get());
}

void TSNESScopeManager::Clear() {
  TScopeManager::Clear();
  if (TSNESLabelManager* labels = LabelManager()) labels->Clear();
}

void TSNESScopeManager::SaveToFile(const std::string& fileName, TSaveCommit* commit) {
  TXmlDocument doc = TXmlDocument::Create("mapfile");
  TXmlElement root = doc.Root();
  for (const auto& scope : scopes_) {
    TXmlElement scopeElement = root.AppendChild("scope");
    scopeElement.SetAttribute("name", scope->ScopeName());
    TXmlElement offsets = scopeElement.AppendChild("scopedoffsets");
    if (!scope->IsGlobal())
      scope->ScopedOffsets().ForEach(
          [&](const TScopedOffsets::Entry& e) { offsets.AppendChild("offset").SetText(e.Key); });
    TXmlElement mappings = scopeElement.AppendChild("mappings");
    for (const auto& mapping : scope->Mappings()) {
      TXmlElement map = mappings.AppendChild("map");
      map.SetAttribute("context", mapping->MappingName());
      map.SetText(mapping->Address());
    }
  }
  doc.SaveFile(fileName, commit);
}

void TSNESScopeManager::LoadFromFile(TOffsetLookup& project, const std::string& fileName) {
  TXmlDocument doc = TXmlDocument::LoadFile(fileName);
  TXmlElement root = doc.Root();
  if (!root) return;
  for (TXmlElement child = root.FirstChildElement(); child; child = child.NextSiblingElement()) {
    std::string name(child.Attribute("name").value_or(""));
    if (name.empty()) name = kGlobalName;
    TScopeNode* scope = AddScope(std::make_unique<TScopeNode>(this, name == kGlobalName, name));

    if (TXmlElement mappings = child.FirstChildElement("mappings"))
      for (TXmlElement map = mappings.FirstChildElement(); map; map = map.NextSiblingElement()) {
        try {
          AddMappingFromXml(scope, std::string(map.Attribute("context").value_or("")), map.Text());
        } catch (const EConvertError& e) {
          // The reading stops here; the message says where.
          throw EConvertError("\"" + fileName + "\", line " + std::to_string(map.Line()) + ": " +
                              e.what());
        }
      }

    if (TXmlElement offsets = child.FirstChildElement("scopedoffsets")) {
      for (TXmlElement o = offsets.FirstChildElement(); o; o = o.NextSiblingElement()) {
        std::string key = o.Text();
        int64_t offset = 0;
        TTraceFileLine* line = TryStrToInt(key, offset) ? project.FindInIndex(offset) : nullptr;
        if (line)
          line->AttachScope(scope);
        else
          scope->AppendScopedOffset(key, nullptr);  // kept as it stands, matched later
      }
    }
  }
}

bool TSNESScopeManager::SaveFiles(TUserInterface& ui, TSaveCommit* commit) {
  bool confirmed = !fileDialog_.FileName.empty() || ui.ExecuteFileDialog(fileDialog_);
  if (!confirmed) return false;
  SaveToFile(fileDialog_.FileName, commit);
  if (auto* sub = dynamic_cast<TSNESScopeManager*>(subManager_.get())) sub->SaveFiles(ui, commit);
  return true;
}

void TSNESScopeManager::LoadFiles(TOffsetLookup& project) {
  fileDialog_.Title = "Load Map File";
  if (FileExists(fileDialog_.FileName)) LoadFromFile(project, fileDialog_.FileName);
  if (subManager_ && FileExists(subManager_->FileDialog().FileName))
    subManager_->LoadFromFile(project, subManager_->FileDialog().FileName);
}

TMappingNode* TSNESScopeManager::FindMapping(int64_t offset, int64_t address) {
  return FindMappingByText(DollarHex(address), offset);
}

TMappingNode* TSNESScopeManager::FindMappingByText(const std::string& text, int64_t offset) {
  const std::vector<TMappingNode*>* list = FindAddressList(text);
  if (!list) return nullptr;
  for (TMappingNode* mapping : *list)
    if (mapping->Parent() && mapping->Parent()->HoldsOffset(offset)) return mapping;
  return nullptr;
}

// --- TSNESLabelManager -------------------------------------------------------------------------

TSNESLabelManager::TSNESLabelManager() {
  fileDialog_.Title = "Save Label File";
  fileDialog_.DefaultExt = "tlm";
  fileDialog_.Filter = "Orvanel Label map file|*.tlm|Any File|*.*";
}

TMappingNode* TSNESLabelManager::FindLabel(int64_t offset) const {
  auto it = labels_.find(offset);
  return it == labels_.end() ? nullptr : it->second;
}

TScopeNode* TSNESLabelManager::GlobalRoot() {
  return GetScope(kGlobalName, true);
}

TMappingNode* TSNESLabelManager::AddMapping(TScopeNode* scope, const std::string& name,
                                            const std::string& address) {
  int64_t value = StrToInt(address);
  if (TMappingNode* existing = FindLabel(value)) return existing;  // one label per value
  if (!scope) scope = GlobalRoot();
  TMappingNode* label = scope->AddChild(std::make_unique<TMappingNode>(name, address));
  labels_[value] = label;
  return label;
}

TMappingNode* TSNESLabelManager::AddLabel(const std::string& address, const std::string& name) {
  int64_t value = StrToInt(address);  // a text that is no number adds nothing
  if (TMappingNode* existing = FindLabel(value)) return existing;
  return AddMapping(GlobalRoot(), name, address);
}

TMappingNode* TSNESLabelManager::AddMappingFromXml(TScopeNode* scope, const std::string& name,
                                                   const std::string& text) {
  return AddMapping(scope, name, text);
}

TMappingNode* TSNESLabelManager::FindMapping(int64_t offset, int64_t) {
  return FindLabel(offset);
}

TMappingNode* TSNESLabelManager::FindMappingByText(const std::string&, int64_t offset) {
  return FindLabel(offset);
}

void TSNESLabelManager::DeleteMapping(TMappingNode* mapping) {
  if (!mapping) return;
  if (auto value = mapping->TryNumericAddress()) {
    auto it = labels_.find(*value);
    if (it != labels_.end() && it->second == mapping) labels_.erase(it);
  }
  TScopeManager::DeleteMapping(mapping);
}

void TSNESLabelManager::Clear() {
  labels_.clear();
  TScopeManager::Clear();
}

}  // namespace orvanel
