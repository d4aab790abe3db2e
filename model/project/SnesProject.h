#pragma once
// The project classes of the two log dialects and the code cache.
#include "project/Project.h"

namespace orvanel {

class TSNESProject : public TProject {
 public:
  explicit TSNESProject(TUserInterface& ui);

  bool FallsThrough(int32_t opcode) const override;
  std::unique_ptr<TTraceFileLine> CreateLine(std::string_view text, bool isComment,
                                             const TLogLines* log) override;
  std::unique_ptr<TTraceFileLine> CreateLineFromXml(const TXmlAttributes& element) override;
  std::unique_ptr<TSNESCodeCache> CreateCodeCache(TSNESScopeManager* scopeManager) override;
  std::unique_ptr<TSNESScopeManager> CreateScopeManager() override;
  void ConvertLog() override;

  // Converts the log from index k on under the parent item (top level when null) until the
  // log ends or a return closes this level; k is left after the last line consumed.
  // Returns the first line it placed in the tree.
  virtual TTraceFileLine* Convert(size_t& k, const TLogLines& log, TTreeItem* parent);

  int32_t CallDepth = 0;

  // Whether the dialect's lines record the stack pointer S.
  virtual bool LogRecordsStack() const { return true; }
  // Whether a new project of this layout gives interrupts their own level unless told
  // otherwise: off for the two dialects, whose trees stay as they always were.
  virtual bool InterruptLevelsByDefault() const { return false; }

 protected:
  // Whether ConvertLog shows the progress bar (the first dialect's driver does).
  virtual bool ShowsConversionProgress() const { return true; }
};

class TDravikSNESTraceFileProject : public TSNESProject {
 public:
  explicit TDravikSNESTraceFileProject(TUserInterface& ui);
  std::unique_ptr<TTraceFileLine> CreateLine(std::string_view text, bool isComment,
                                             const TLogLines* log) override;
  std::unique_ptr<TTraceFileLine> CreateLineFromXml(const TXmlAttributes& element) override;
  bool LogRecordsStack() const override { return false; }

 protected:
  bool ShowsConversionProgress() const override { return false; }
};

class TSNESCodeCache : public TDravikSNESTraceFileProject {
 public:
  explicit TSNESCodeCache(TUserInterface& ui);
  std::unique_ptr<TTraceFileLine> CreateLine(std::string_view text, bool isComment,
                                             const TLogLines* log) override;
  std::unique_ptr<TTraceFileLine> CreateLineFromXml(const TXmlAttributes& element) override;
  std::unique_ptr<TSNESCodeCache> CreateCodeCache(TSNESScopeManager*) override { return nullptr; }
  void WriteSubtree(TXmlWriter& writer, const TTreeItem* item) const override;
  // The node under the mouse becomes the selected node: the copies go beside it.
  bool CodeDragOver(const TCodeDraggedObj* source, TTreeItem* underMouse) override;
  // Nodes of its project's tree are copied (a line already cached is skipped); its own
  // nodes are moved.
  void CodeDragDrop(const TCodeDraggedObj* source, TTreeItem* target) override;
};

}  // namespace orvanel
