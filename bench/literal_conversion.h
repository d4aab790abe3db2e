#pragma once
// The log conversion done the first, plain way, kept only to be measured against the
// product's: the offset index is a list walked from the front, pending targets are found
// by walking their "target=source" texts, a label by walking every label, a line's scope
// by walking every scope's list of line keys. It uses the product's line records and its
// line cutting (the project's CreateLine), and builds the same code tree.
//
// Every level of calls is one level of recursion here, so it suits shallow logs only.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "project/SnesProject.h"
#include "records/Scope.h"
#include "tree/CodeTree.h"

namespace orvanel::bench {

class TLiteralConversion {
 public:
  // The project makes the lines (and gives the palette); nothing else of it is used.
  explicit TLiteralConversion(TSNESProject& project);
  ~TLiteralConversion();
  TLiteralConversion(const TLiteralConversion&) = delete;
  TLiteralConversion& operator=(const TLiteralConversion&) = delete;

  void ConvertLog(const TLogLines& log);

  const TCodeTree& Tree() const { return tree_; }
  size_t Records() const { return records_.size(); }
  int32_t CallDepth() const { return callDepth_; }
  size_t Errors() const { return errors_; }

 private:
  struct TScope {
    std::string Name;
    bool IsGlobal = false;
    std::vector<std::pair<std::string, TTraceFileLine*>> Keys;  // the scoped offsets
    std::vector<std::unique_ptr<TMappingNode>> Mappings;
  };
  struct TPending {
    std::string Text;  // "TARGET=SOURCE"
    TTraceFileLine* Source;
  };

  TTraceFileLine* Convert(size_t& k, TTreeItem* parent);
  TTraceFileLine* RegisterInIndex(TTraceFileLine* line);
  TTraceFileLine* FindInIndex(int64_t offset) const;
  TTraceFileLine* RegisterLine(size_t index);
  TTraceFileLine* Keep(std::unique_ptr<TTraceFileLine> line);
  TMappingNode* FindLabel(int64_t offset) const;
  TMappingNode* AddLabel(const std::string& address, const std::string& name);
  TScope* FindScope(const TTraceFileLine& line) const;
  void AttachScope(TTraceFileLine* line, TScope* scope);
  void ResolvePending(TTraceFileLine* line);
  void Upstep(TTraceFileLine*& line, TTraceFileLine*& lookahead, size_t k);
  void ExitLabel(TTraceFileLine* line);

  TSNESProject& p_;
  const TLogLines* log_ = nullptr;
  // Labels outlive the records: a record going away leaves its labels' lists of referrers.
  std::vector<std::unique_ptr<TMappingNode>> labels_;
  std::vector<std::unique_ptr<TScope>> scopes_;
  TCodeTree tree_;
  std::vector<std::unique_ptr<TTraceFileLine>> records_;
  std::vector<TTraceFileLine*> offsetIndex_;
  std::vector<TPending> pending_;
  std::unordered_map<const TTraceFileLine*, TScope*> scopeOf_;  // the record's own field
  int32_t callDepth_ = 0;
  size_t errors_ = 0;
};

}  // namespace orvanel::bench
