#include "project/Project.h"

#include <algorithm>
#include <filesystem>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "project/SnesProject.h"
#include "records/SnesTraceLine.h"
#include "xml/Xml.h"

namespace orvanel {

// --- pending targets and target index ---------------------------------------------------

std::vector<TTraceFileLine*> TPendingTargets::Take(int64_t offset) {
  auto it = map_.find(offset);
  if (it == map_.end()) return {};
  std::vector<TTraceFileLine*> sources = std::move(it->second);
  map_.erase(it);
  count_ -= sources.size();
  return sources;
}

void TPendingTargets::Forget(TTraceFileLine* line) {
  if (line->HasTarget() || map_.count(line->TargetOffset())) {
    auto it = map_.find(line->TargetOffset());
    if (it == map_.end()) return;
    size_t before = it->second.size();
    std::erase(it->second, line);
    count_ -= before - it->second.size();
    if (it->second.empty()) map_.erase(it);
  }
}

const std::vector<TTraceFileLine*>* TTargetIndex::Find(int64_t target) const {
  auto it = map_.find(target);
  return it == map_.end() ? nullptr : &it->second;
}

void TTargetIndex::Forget(TTraceFileLine* line) {
  auto it = map_.find(line->TargetOffset());
  if (it == map_.end()) return;
  std::erase(it->second, line);
  if (it->second.empty()) map_.erase(it);
}

// --- construction -------------------------------------------------------------------------

TProject::TProject(TUserInterface& ui)
    : ui_(ui), offsetIndex_([this](int32_t opcode) { return FallsThrough(opcode); }) {
  TraceLogDialog.DialogKind = TFileDialog::Kind::Open;
  TraceLogDialog.Title = "Select Trace File";
  TraceDataDialog.DialogKind = TFileDialog::Kind::Save;
  TraceDataDialog.Title = "Save Project Trace File";
  TraceDataDialog.DefaultExt = "tfd";
  TraceDataDialog.Filter = "Trace File Data|*.tfd";
  ProjectFileDialog.DialogKind = TFileDialog::Kind::Save;
  ProjectFileDialog.Title = "Save Project File";
  ProjectFileDialog.DefaultExt = "tfp";
  ProjectFileDialog.Filter = "Orvanel Project|*.tfp";
}

TProject::~TProject() {
  // Scopes and mappings refer to the records of this project and of its code cache: those
  // references go first, then the records can be freed in any order.
  if (ownScopeManager_) ownScopeManager_->Clear();
  codeCache_.reset();
  tree_.Clear();
  store_.Clear();
}

void TProject::Create() {
  ownScopeManager_ = CreateScopeManager();
  scopeManager_ = ownScopeManager_.get();
  codeCache_ = CreateCodeCache(scopeManager_);
  if (codeCache_) codeCache_->cacheOwner_ = this;
}

void TProject::CreateShared(TSNESScopeManager* scopeManager) {
  scopeManager_ = scopeManager;
  codeCache_ = CreateCodeCache(scopeManager);
  if (codeCache_) codeCache_->cacheOwner_ = this;
}

std::unique_ptr<TTraceFileLine> TProject::CreateLine(std::string_view, bool, const TLogLines*) {
  return nullptr;
}

std::unique_ptr<TTraceFileLine> TProject::CreateLineFromXml(const TXmlAttributes&) {
  return nullptr;
}

std::unique_ptr<TSNESCodeCache> TProject::CreateCodeCache(TSNESScopeManager*) {
  return nullptr;
}

std::unique_ptr<TSNESScopeManager> TProject::CreateScopeManager() {
  return nullptr;
}

TSNESLabelManager* TProject::LabelManager() const {
  return scopeManager_ ? scopeManager_->LabelManager() : nullptr;
}

TMappingNode* TProject::FindLabel(int64_t offset) {
  TSNESLabelManager* labels = LabelManager();
  return labels ? labels->FindLabel(offset) : nullptr;
}

// --- register names -----------------------------------------------------------------------

void TProject::LoadRegisterFile(const std::string& directory) {
  std::string path = directory + "Mappings.xml";
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  TXmlDocument doc = TXmlDocument::LoadFile(path);
  registers_.clear();
  if (TXmlElement root = doc.Root()) {
    for (TXmlElement e = root.FirstChildElement(); e; e = e.NextSiblingElement()) {
      std::string name = e.Name();
      if (registers_.count(name)) continue;  // a lookup by name finds the first
      registers_.emplace(name,
                         std::make_pair(std::string(e.Attribute("name").value_or("")), e.Text()));
    }
  }
  registerFileLoaded_ = true;
}

void TProject::LookupRegister(TTraceFileLine& line) const {
  if (!registerFileLoaded_) return;
  auto it = registers_.find("reg" + IntToHex(line.TargetOffset() & 0xFFFF, 6));
  if (it == registers_.end()) {
    // An address the file does not describe keeps an empty register name.
    line.SetRegisterName({});
    line.SetRegisterInfo({});
    return;
  }
  line.SetRegisterName(it->second.first);
  line.SetRegisterInfo(it->second.second);
}

void TProject::NameRegister(TTraceFileLine& line) const {
  if (!line.HasTarget()) return;
  int64_t target = line.TargetOffset();
  int64_t low = target & 0xFFFF;
  int64_t bank = (target >> 16) & 0xFF;
  if (low >= 0x2100 && low <= 0x5FFF && bank <= 0x3F)
    LookupRegister(line);
  else
    line.SetRegisterName({});
}

// --- the log ------------------------------------------------------------------------------

void TProject::ImportLog() {
  TMessageFlushScope flush(messages_, ui_);
  TraceLogDialog.Title = "Load Trace File";
  std::error_code ec;
  if (!TraceLogDialog.FileName.empty() &&
      std::filesystem::is_regular_file(TraceLogDialog.FileName, ec))
    logLines_ = TLogLines::FromFile(TraceLogDialog.FileName);
  TraceLogDialog.FileName.clear();  // the project does not keep the log's path
  TTreeRebuild rebuild(tree_);  // the views hear of one reset, not of every line
  tree_.Clear();
  ConvertLog();
  LogLoaded = true;
  LogSaved = false;
  TraceDataDialog.FileName.clear();
  saved_ = false;
}

void TProject::CloseLog() {
  // Every item and record of the log goes; nothing may keep pointing at one, and the lists
  // that hold items or records (history, clipboard, scope lines) are told as for a deletion.
  TRemoval removal(*this);
  const bool told = !editEvents_.Empty();
  if (told) {
    tree_.ForEach([&](TTreeItem* item) { removal.Items.push_back(item); });
    std::sort(removal.Items.begin(), removal.Items.end(), std::less<TTreeItem*>());
    editEvents_.NotifyItemsGoing(removal);
  }
  if (scopeManager_)
    for (const auto& line : store_.Lines()) scopeManager_->ForgetLine(line.get());
  // Lines of the other tree (the code cache, or the project of this cache) may link here.
  auto unlinkFrom = [&](const TLineStore& other) {
    for (const auto& line : other.Lines()) {
      TTraceFileLine* l = line.get();
      if (l->CacheTwin() && store_.Contains(l->CacheTwin())) l->SetCacheTwin(nullptr);
      if (l->CacheTwinOf() && store_.Contains(l->CacheTwinOf())) l->SetCacheTwinOf(nullptr);
      if (l->TargetNode() && store_.Contains(l->TargetNode())) l->SetTargetNode(nullptr);
      if (l->Successor() && store_.Contains(l->Successor())) l->SetSuccessor(nullptr);
    }
  };
  if (codeCache_) unlinkFrom(codeCache_->Store());
  if (cacheOwner_) unlinkFrom(cacheOwner_->Store());
  offsetIndex_.Clear();
  pendingTargets_.Clear();
  targetIndex_.Clear();
  tree_.Clear();
  if (told) {
    for (const auto& line : store_.Lines()) removal.Lines.push_back(line.get());
    std::sort(removal.Lines.begin(), removal.Lines.end(), std::less<TTraceFileLine*>());
    editEvents_.NotifyLinesGone(removal);
  }
  store_.Clear();
  FirstLine = nullptr;
  LogSaved = true;
  LogLoaded = false;
  TraceDataDialog.FileName.clear();
}

TTreeItem* TProject::FindNodeByOffset(int step, size_t start, int64_t offset) const {
  if (tree_.Empty()) return nullptr;
  for (TTreeItem* it = tree_.ItemAt(start); it;
       it = step < 0 ? tree_.PrevInOrder(it) : tree_.NextInOrder(it))
    if (it->Line() && it->Line()->Offset() == offset) return it;
  return nullptr;
}

// --- mappings and labels --------------------------------------------------------------------

TMappingNode* TProject::CreateMapping(const std::string& offsetText, const std::string& name,
                                      bool unscoped, int result, const std::string& scopeName) {
  if (result != 1 || !scopeManager_) return nullptr;
  TScopeNode* scope = scopeManager_->GetScope(scopeName, unscoped);
  TMappingNode* mapping = scopeManager_->AddMapping(scope, name, offsetText);
  RebindScopeLines(mapping->Parent());
  saved_ = false;
  return mapping;
}

TMappingNode* TProject::CreateLabel(const std::string& offsetText, const std::string& name) {
  TSNESLabelManager* labels = LabelManager();
  if (!labels) return nullptr;
  TMappingNode* label = labels->AddLabel(offsetText, name);
  ApplyMapping(label);
  if (codeCache_) codeCache_->ApplyMapping(label);
  saved_ = false;
  return label;
}

void TProject::RemoveLabel(TMappingNode* label) {
  if (TSNESLabelManager* labels = LabelManager()) labels->DeleteMapping(label);
  saved_ = false;
}

void TProject::RebindScopeLines(TScopeNode* scope) {
  if (!scope) return;
  // Setting references leaves the scope's list as it is, so it is walked in place.
  scope->ScopedOffsets().ForEach([scope](const TScopedOffsets::Entry& entry) {
    TTraceFileLine* line = entry.Line;
    if (!line) return;
    if (line->HasTarget() && !line->IsFlow() && !line->TargetRef())
      line->SetTargetRef(scope->FindMappingByOffset(line->TargetOffset()));
    if (line->HasOperand() && !line->OperandRef())
      line->SetOperandRef(scope->FindMappingByText(line->Operand()));
  });
}

void TProject::ApplyMapping(TMappingNode* mapping) {
  if (!mapping) return;
  int64_t value = mapping->NumericAddress();
  // Every item of a record shows the same data, so each record is looked at once.
  for (const auto& owned : store_.Lines()) {
    TTraceFileLine* line = owned.get();
    if (line->itemCount_ == 0) continue;
    if (line->IsFlow() && line->TargetOffset() == value) line->SetTargetRef(mapping);
    if (line->Offset() == value) line->SetOffsetLabel(mapping);
  }
}

std::vector<TMappingNode*> TProject::CreateLabels(const std::vector<TNamedAddress>& labels) {
  std::vector<TMappingNode*> added;
  TSNESLabelManager* manager = LabelManager();
  if (!manager || labels.empty()) return added;
  added.reserve(labels.size());
  for (const TNamedAddress& label : labels)
    added.push_back(manager->AddLabel(label.Address, label.Name));
  ApplyMappings(added);
  if (codeCache_) codeCache_->ApplyMappings(added);
  saved_ = false;
  return added;
}

std::vector<TMappingNode*> TProject::CreateMappings(const std::vector<TNamedAddress>& mappings,
                                                    bool unscoped, const std::string& scopeName) {
  std::vector<TMappingNode*> added;
  if (!scopeManager_ || mappings.empty()) return added;
  added.reserve(mappings.size());
  TScopeNode* scope = scopeManager_->GetScope(scopeName, unscoped);
  for (const TNamedAddress& mapping : mappings)
    added.push_back(scopeManager_->AddMapping(scope, mapping.Name, mapping.Address));
  RebindScopeLines(scope);
  saved_ = false;
  return added;
}

void TProject::ApplyMappings(const std::vector<TMappingNode*>& mappings) {
  if (mappings.size() == 1) return ApplyMapping(mappings.front());
  std::unordered_map<int64_t, TMappingNode*> byValue;
  byValue.reserve(mappings.size());
  for (TMappingNode* mapping : mappings)
    if (mapping) byValue.emplace(mapping->NumericAddress(), mapping);  // the first of a value
  if (byValue.empty()) return;
  for (const auto& owned : store_.Lines()) {
    TTraceFileLine* line = owned.get();
    if (line->itemCount_ == 0) continue;
    if (line->IsFlow())
      if (auto it = byValue.find(line->TargetOffset()); it != byValue.end())
        line->SetTargetRef(it->second);
    if (auto it = byValue.find(line->Offset()); it != byValue.end())
      line->SetOffsetLabel(it->second);
  }
}

// --- saved state ------------------------------------------------------------------------------

bool TProject::IsSaved() const {
  return saved_ && (!codeCache_ || codeCache_->IsSaved());
}

void TProject::SetSaved(bool value) {
  saved_ = value;
  if (codeCache_) codeCache_->SetSaved(value);
}

}  // namespace orvanel
