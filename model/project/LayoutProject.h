#pragma once
// The project of a log in one of the layouts today's emulators write: the layout's record
// class cuts the lines, and only the main CPU's instruction lines reach the conversion.
#include "project/SnesProject.h"
#include "records/TraceLayouts.h"

namespace orvanel {

class TLayoutProject : public TSNESProject {
 public:
  TLayoutProject(TUserInterface& ui, const TTraceLayout& layout);

  const TTraceLayout& Layout() const { return layout_; }
  std::unique_ptr<TTraceFileLine> CreateLine(std::string_view text, bool isComment,
                                             const TLogLines* log) override;
  std::unique_ptr<TTraceFileLine> CreateLineFromXml(const TXmlAttributes& element) override;
  // Keeps the instruction lines, tells how many of each other kind were left out and
  // converts them.
  void ConvertLog() override;
  // The emulators' own logs give interrupts their own level unless the user says otherwise.
  bool InterruptLevelsByDefault() const override { return true; }

 private:
  const TTraceLayout& layout_;
};

}  // namespace orvanel
