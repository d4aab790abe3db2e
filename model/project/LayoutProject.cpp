#include "project/LayoutProject.h"

#include "records/TraceLine.h"
#include "trace/LogLines.h"

namespace orvanel {

TLayoutProject::TLayoutProject(TUserInterface& ui, const TTraceLayout& layout)
    : TSNESProject(ui), layout_(layout) {
  ProjectType = static_cast<uint8_t>(layout.ProjectType);
  TraceLogDialog.Filter = std::string(layout.Name) + "s|*.log;*.txt|Any File|*.*";
}

std::unique_ptr<TTraceFileLine> TLayoutProject::CreateLine(std::string_view text, bool isComment,
                                                           const TLogLines* log) {
  std::unique_ptr<TTraceFileLine> line = layout_.LineFromText(*this, text, isComment, log);
  NameRegister(*line);
  return line;
}

std::unique_ptr<TTraceFileLine> TLayoutProject::CreateLineFromXml(const TXmlAttributes& element) {
  std::unique_ptr<TTraceFileLine> line = layout_.LineFromXml(*this, element);
  NameRegister(*line);
  return line;
}

void TLayoutProject::ConvertLog() {
  InterruptCounts = {};
  // Only the instruction lines reach the conversion, which starts at the first of them.
  const TLeftOutLines left = KeepInstructionLines(layout_, logLines_);
  if (left.Total() > 0) Message(left.Summary());
  if (logLines_.Empty()) {
    Message("The log holds no line of a " + std::string(layout_.Name) + ".");
    return;
  }
  TTreeRebuild rebuild(tree_);
  TBusyScope busy(ui_);
  ui_.ProgressStart(static_cast<int64_t>(logLines_.Count()));
  struct TProgressEnd {
    TUserInterface& ui;
    ~TProgressEnd() { ui.ProgressEnd(); }
  } progressEnd{ui_};  // however the conversion ends
  size_t i = 0;
  FirstLine = Convert(i, logLines_, nullptr);
}

}  // namespace orvanel
