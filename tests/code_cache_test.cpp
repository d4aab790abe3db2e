#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/TextUtils.h"
#include "project/ProjectSession.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

// Offsets, children in brackets, comments by their text: "8000(9000 9001 9002) 8003".
std::string Shape(const TCodeTree& tree) {
  std::string s;
  struct TFrame {
    const std::vector<TTreeItem*>* Items;
    size_t Next;
  };
  std::vector<TFrame> stack{{&tree.TopLevel(), 0}};
  while (!stack.empty()) {
    TFrame& f = stack.back();
    if (f.Next >= f.Items->size()) {
      stack.pop_back();
      if (!stack.empty()) s += ')';
      continue;
    }
    if (f.Next > 0) s += ' ';
    const TTreeItem* item = (*f.Items)[f.Next++];
    const TTraceFileLine* l = item->Line();
    s += l->IsComment() ? "'" + l->DisplayText() + "'" : IntToHex(l->Offset(), 4);
    if (item->HasChildren()) {
      s += '(';
      stack.push_back({&item->Children(), 0});
    }
  }
  return s;
}

class CodeCacheTest : public ::testing::Test {
 protected:
  // $8000 calls a routine of three lines; a frame marker; $8003 branches back to the call,
  // which is shown a second time; then $8005.
  void SetUp() override {
    TLogBuilder log;
    log.Jsr(0x8000, 0x9000)
        .Nop(0x9000)
        .Nop(0x9001)
        .Rts(0x9002)
        .Raw("--- frame 1 ---")
        .Branch(0x8003, 0x80, 0xFB, 0x8000)
        .Jsr(0x8000, 0x9000)
        .Nop(0x9000)
        .Nop(0x9001)
        .Rts(0x9002)
        .Nop(0x8005);
    project_ = test::ConvertedProject(ui_, log.Text());
    project_->SetSaved(true);
  }

  TSNESCodeCache& Cache() { return *project_->CodeCache(); }
  TTreeItem* Item(TProject& p, int64_t offset) { return p.FindNodeByOffset(+1, 0, offset); }
  TTreeItem* Item(int64_t offset) { return Item(*project_, offset); }
  // Drags the items of the project tree (selected in that order) onto the cache.
  void DropOnCache(std::initializer_list<TTreeItem*> items, TTreeItem* underMouse = nullptr) {
    project_->Tree().ClearSelection();
    for (TTreeItem* item : items) project_->Tree().Select(item, true);
    auto drag = project_->StartDrag();
    EXPECT_TRUE(Cache().CodeDragOver(drag.get(), underMouse));
    Cache().CodeDragDrop(drag.get(), underMouse);
  }
  // Saves through every dialog: map file, label file, trace data, project file.
  void SaveAs(const std::string& name) {
    for (const char* ext : {".tfm", ".tlm", ".tfd", ".tfp"})
      ui_.DialogFiles.push_back(dir_ + "/" + name + ext);
    ASSERT_TRUE(project_->Save());
  }

  TFakeUserInterface ui_;
  std::unique_ptr<TSNESProject> project_;
  std::string dir_ = test::ScratchDir();
};

TEST_F(CodeCacheTest, ABranchNodeWithThreeChildrenIsCopiedWithItsSubtree) {
  TTreeItem* call = Item(0x8000);
  ASSERT_EQ(call->Children().size(), 3u);
  DropOnCache({call});
  EXPECT_EQ(Shape(Cache().Tree()), "8000(9000 9001 9002)");

  const TTraceFileLine* source = call->Line();
  const TTraceFileLine* copy = Cache().Tree().First()->Line();
  EXPECT_NE(copy, source);
  EXPECT_EQ(typeid(*copy), typeid(*source));
  EXPECT_EQ(copy->Flags(), source->Flags());
  EXPECT_FALSE(copy->IsCodeCacheLine());  // only lines read from the cache file have it
  EXPECT_EQ(copy->TextColor(), source->TextColor());
  EXPECT_EQ(copy->Scope(), source->Scope());
  EXPECT_EQ(copy->LineText(), source->LineText());
  EXPECT_EQ(copy->CacheTwin(), nullptr);
  ASSERT_NE(copy->TargetNode(), nullptr);
  EXPECT_EQ(copy->TargetNode()->Offset(), 0x9000);
  EXPECT_TRUE(Cache().Store().Contains(copy));
  // The project's line keeps its place in the scope's list of lines.
  const TScopedOffsets& keys = copy->Scope()->ScopedOffsets();
  EXPECT_EQ(keys.At(keys.Find("32768")).Line, source);
  EXPECT_EQ(Cache().FindInIndex(0x9001), Cache().Tree().First()->Children()[1]->Line());
  // The copies have the project's lines as they are; the project tree is untouched.
  EXPECT_EQ(call->Children().size(), 3u);
}

TEST_F(CodeCacheTest, ADropChangesOnlyTheCachesSavedFlag) {
  DropOnCache({Item(0x8005)});
  EXPECT_FALSE(Cache().Saved());
  EXPECT_TRUE(project_->Saved());
  EXPECT_FALSE(project_->IsSaved());
}

TEST_F(CodeCacheTest, ALineIsCachedOnceEvenBeforeASave) {
  DropOnCache({Item(0x8005)});
  DropOnCache({Item(0x8005), Item(0x8003)});
  EXPECT_EQ(Shape(Cache().Tree()), "8005 8003");
}

TEST_F(CodeCacheTest, CopiesGoToTheEndOfTheSelectedNodesSiblings) {
  DropOnCache({Item(0x8000)});
  TTreeItem* top = Cache().Tree().First();
  DropOnCache({Item(0x8005)}, top->Children()[0]);  // under the mouse: selected
  EXPECT_EQ(Cache().Tree().Selection(), (std::vector<TTreeItem*>{top->Children()[0]}));
  EXPECT_EQ(Shape(Cache().Tree()), "8000(9000 9001 9002 8005)");
  DropOnCache({Item(0x8003)}, top);  // a top-level node: the end of the top level
  EXPECT_EQ(Shape(Cache().Tree()), "8000(9000 9001 9002 8005) 8003");
}

TEST_F(CodeCacheTest, AnInsertedCommentIsCopiedAsAPlainCommentWithItsText) {
  project_->Tree().Select(Item(0x8005), false);
  TTreeItem* note = project_->InsertComment();
  project_->CodeEdited(note, "look here");
  DropOnCache({note});
  const TTraceFileLine* copy = Cache().Tree().First()->Line();
  EXPECT_EQ(typeid(*copy), typeid(TTraceFileLine));
  EXPECT_EQ(copy->Flags(), lfIsComment);
  EXPECT_EQ(copy->DisplayText(), "look here");
  // A comment of the log (a line of the dialect class) is copied without a message.
  TTreeItem* logComment = Item(0x8000)->NextSibling();
  ASSERT_TRUE(logComment->Line()->IsComment());
  DropOnCache({logComment});
  EXPECT_EQ(Shape(Cache().Tree()), "'look here' '--- frame 1 ---'");
}

TEST_F(CodeCacheTest, ACommentOfTheLogIsCopiedWithoutAMessage) {
  // A return out of the routine the trace started in makes an Upstep comment line, whose
  // text is no instruction of the dialect.
  TLogBuilder log;
  log.Nop(0x9000).Rts(0x9001).Nop(0x8003).Nop(0x8004);
  auto p = CreateProject(1, ui_, "");
  p->LogLines() = TLogLines::FromBytes(log.Text());
  p->ImportLog();
  ui_.Messages.clear();
  TTreeItem* upstep = p->Tree().First();
  ASSERT_EQ(upstep->Line()->DisplayText(), "Upstep");
  p->Tree().Select(upstep, false);
  auto drag = p->StartDrag();
  p->CodeCache()->CodeDragDrop(drag.get(), nullptr);
  EXPECT_EQ(Shape(p->CodeCache()->Tree()), "'Upstep'(9000 9001)");
  EXPECT_TRUE(ui_.Messages.empty());
  EXPECT_TRUE(p->CodeCache()->Messages().Empty());
}

TEST_F(CodeCacheTest, FreshCopiesAreMovedInsideTheCache) {
  DropOnCache({Item(0x8003), Item(0x8005)});
  Cache().Tree().Select(Cache().Tree().TopLevel()[1], false);
  auto drag = Cache().StartDrag();
  EXPECT_TRUE(Cache().CodeDragOver(drag.get(), nullptr));
  Cache().CodeDragDrop(drag.get(), Cache().Tree().First());
  EXPECT_EQ(Shape(Cache().Tree()), "8005 8003");
  EXPECT_EQ(Cache().Store().Count(), 2u);  // moved, not copied
}

TEST_F(CodeCacheTest, CopySubtreeLinksTheTwinAndAddsTheFlags) {
  TTraceFileLine* twin = Item(0x8005)->Line();
  TTreeItem* copy = Cache().CopySubtree(Item(0x8005), nullptr, twin, lfIsCodeCacheLine, 4);
  EXPECT_EQ(copy->Line()->CacheTwin(), twin);
  EXPECT_EQ(twin->CacheTwinOf(), copy->Line());
  EXPECT_TRUE(copy->Line()->IsCodeCacheLine());
  // A copy that is a code cache line is listed under the code cache key.
  const TScopedOffsets& global = project_->ScopeManager()->GlobalScope()->ScopedOffsets();
  EXPECT_EQ(global.At(global.Find("32773_cc")).Line, copy->Line());
  EXPECT_EQ(global.At(global.Find("32773")).Line, twin);
  // A node is not copied into its own subtree.
  EXPECT_EQ(Cache().CopySubtree(copy, copy, nullptr, 0, -1), nullptr);
}

TEST_F(CodeCacheTest, ADeepSubtreeIsCopiedWithoutRecursion) {
  auto other = CreateProject(1, ui_, "");
  TTreeItem* parent = nullptr;
  for (int i = 0; i < 200'000; ++i) {
    auto line = std::make_unique<TTraceFileLine>();
    line->SetIsComment(true);
    parent = other->Tree().AddChild(parent, other->Adopt(std::move(line)));
  }
  TTreeItem* copy = Cache().CopySubtree(other->Tree().First(), nullptr, nullptr, 0, -1);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(Cache().Tree().Count(), 200'000u);
}

TEST_F(CodeCacheTest, AfterSavingAndReopeningTheCacheLinesAreTwinsAndCannotBeDragged) {
  DropOnCache({Item(0x8000)});
  SaveAs("p");
  EXPECT_TRUE(project_->IsSaved());
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/p.tcc"));

  auto reopened = OpenProject(dir_ + "/p.tfp", ui_, "");
  TSNESCodeCache& cache = *reopened->CodeCache();
  EXPECT_EQ(Shape(cache.Tree()), "8000(9000 9001 9002)");
  TTraceFileLine* cached = cache.FindInIndex(0x8000);
  TTraceFileLine* line = reopened->FindInIndex(0x8000);
  ASSERT_TRUE(cached && line);
  EXPECT_TRUE(cached->IsCodeCacheLine());
  EXPECT_EQ(line->CacheTwin(), cached);
  EXPECT_EQ(cached->CacheTwin(), line);

  // One scope holds both, under the plain offset and under the code cache key.
  TScopeNode* scope = line->Scope();
  ASSERT_NE(scope, nullptr);
  EXPECT_EQ(cached->Scope(), scope);
  const TScopedOffsets& keys = scope->ScopedOffsets();
  EXPECT_EQ(keys.At(keys.Find("32768")).Line, line);
  EXPECT_EQ(keys.At(keys.Find("32768_cc")).Line, cached);

  // Lines read from the cache file are dragged nowhere, not even inside the cache.
  cache.Tree().Select(cache.Tree().First(), false);
  auto drag = cache.StartDrag();
  EXPECT_FALSE(cache.CodeDragOver(drag.get(), nullptr));
  EXPECT_FALSE(reopened->CodeDragOver(drag.get(), nullptr));
  cache.CodeDragDrop(drag.get(), nullptr);
  EXPECT_EQ(Shape(cache.Tree()), "8000(9000 9001 9002)");

  // A line whose offset the cache holds is not copied again; another one is.
  reopened->Tree().ClearSelection();
  reopened->Tree().Select(Item(*reopened, 0x8000), true);
  auto fromProject = reopened->StartDrag();
  cache.CodeDragDrop(fromProject.get(), nullptr);
  EXPECT_EQ(Shape(cache.Tree()), "8000(9000 9001 9002)");
  reopened->Tree().Select(Item(*reopened, 0x8005), false);
  auto another = reopened->StartDrag();
  cache.CodeDragDrop(another.get(), nullptr);
  EXPECT_EQ(Shape(cache.Tree()), "8000(9000 9001 9002) 8005");
  EXPECT_FALSE(reopened->IsSaved());
  EXPECT_TRUE(reopened->Saved());
}

TEST_F(CodeCacheTest, SaveProjectAsWritesTheCacheUnderTheNewName) {
  DropOnCache({Item(0x8005)});
  SaveAs("first");
  project_->ProjectFileName = dir_ + "/second.tfp";
  ASSERT_TRUE(project_->Save());
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/second.tcc"));
  EXPECT_NE(test::ReadFile(dir_ + "/second.tfp").find("second.tcc"), std::string::npos);
  auto reopened = OpenProject(dir_ + "/second.tfp", ui_, "");
  EXPECT_EQ(Shape(reopened->CodeCache()->Tree()), "8005");
}

}  // namespace
}  // namespace orvanel
