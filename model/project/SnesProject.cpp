#include "project/SnesProject.h"

#include "records/DebuggerTraceLine.h"
#include "records/SnesTraceLine.h"
#include "xml/Xml.h"

namespace orvanel {

namespace {

const char* const kFirstDialectFilter = "Marro's SNES9x Trace Files|*.log|Any File|*.*";
const char* const kDebuggerDialectFilter = "Dravik's SNES9x Trace Files|*.log|Any File|*.*";

}  // namespace

// --- TSNESProject -------------------------------------------------------------------------

TSNESProject::TSNESProject(TUserInterface& ui) : TProject(ui) {
  ProjectType = 1;
  TraceLogDialog.Filter = kFirstDialectFilter;
}

bool TSNESProject::FallsThrough(int32_t opcode) const {
  return opcode != 0x40 && opcode != 0x60 && opcode != 0x6B;
}

std::unique_ptr<TTraceFileLine> TSNESProject::CreateLine(std::string_view text, bool isComment,
                                                         const TLogLines* log) {
  std::unique_ptr<TTraceFileLine> line = TSNESTraceFileLine::FromText(*this, text, isComment, log);
  NameRegister(*line);
  return line;
}

std::unique_ptr<TTraceFileLine> TSNESProject::CreateLineFromXml(const TXmlAttributes& element) {
  std::unique_ptr<TTraceFileLine> line = TSNESTraceFileLine::FromXml(*this, element);
  NameRegister(*line);
  return line;
}

std::unique_ptr<TSNESCodeCache> TSNESProject::CreateCodeCache(TSNESScopeManager* scopeManager) {
  auto cache = std::make_unique<TSNESCodeCache>(ui_);
  cache->CreateShared(scopeManager);
  return cache;
}

std::unique_ptr<TSNESScopeManager> TSNESProject::CreateScopeManager() {
  auto manager = std::make_unique<TSNESScopeManager>();
  manager->Init();
  return manager;
}

namespace {

// Hides the progress bar again however the conversion ends.
class TProgressScope {
 public:
  TProgressScope(TUserInterface& ui, bool shown, int64_t maximum) : ui_(ui), shown_(shown) {
    if (shown_) ui_.ProgressStart(maximum);
  }
  ~TProgressScope() {
    if (shown_) ui_.ProgressEnd();
  }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;

 private:
  TUserInterface& ui_;
  bool shown_;
};

}  // namespace

void TSNESProject::ConvertLog() {
  const TLogLines& log = logLines_;
  InterruptCounts = {};
  if (log.Empty()) return;
  TTreeRebuild rebuild(tree_);  // the views hear of one reset, not of every line
  TBusyScope busy(ui_);
  TProgressScope progress(ui_, ShowsConversionProgress(), static_cast<int64_t>(log.Count()));
  size_t i = 0;
  while (log[i].find('$') == std::string_view::npos && i + 1 < log.Count()) ++i;
  if (log.Count() >= i + 2) FirstLine = Convert(i, log, nullptr);
}

// --- TDravikSNESTraceFileProject ------------------------------------------------------------

TDravikSNESTraceFileProject::TDravikSNESTraceFileProject(TUserInterface& ui) : TSNESProject(ui) {
  TraceLogDialog.Filter = kDebuggerDialectFilter;
  ProjectType = 2;
}

std::unique_ptr<TTraceFileLine> TDravikSNESTraceFileProject::CreateLine(std::string_view text,
                                                                        bool isComment,
                                                                        const TLogLines* log) {
  // Debugger-log lines get their register names only when read back from a trace data file.
  return TDravikSNESTraceFileLine::FromText(*this, text, isComment, log);
}

std::unique_ptr<TTraceFileLine> TDravikSNESTraceFileProject::CreateLineFromXml(
    const TXmlAttributes& element) {
  std::unique_ptr<TTraceFileLine> line = TDravikSNESTraceFileLine::FromXml(*this, element);
  NameRegister(*line);
  return line;
}

// --- TSNESCodeCache -----------------------------------------------------------------------------

TSNESCodeCache::TSNESCodeCache(TUserInterface& ui) : TDravikSNESTraceFileProject(ui) {
  ProjectType = 0;
  TraceLogDialog.Filter.clear();
  saved_ = true;
}

std::unique_ptr<TTraceFileLine> TSNESCodeCache::CreateLine(std::string_view text, bool isComment,
                                                           const TLogLines* log) {
  auto line = TDravikSNESTraceFileProject::CreateLine(text, isComment, log);
  line->SetFlag(lfIsCodeCacheLine, true);
  return line;
}

std::unique_ptr<TTraceFileLine> TSNESCodeCache::CreateLineFromXml(const TXmlAttributes& element) {
  auto line = TDravikSNESTraceFileProject::CreateLineFromXml(element);
  line->SetFlag(lfIsCodeCacheLine, true);
  return line;
}

}  // namespace orvanel
