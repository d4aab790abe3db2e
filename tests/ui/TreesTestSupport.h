#pragma once
// What the tree view tests share: generated logs of known shapes, a shown code tree view, and
// a walk that compares what Qt sees with the model's tree.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QTreeView>
#include <memory>
#include <string>

#include "../support/ConvertedProject.h"
#include "../support/FakeUserInterface.h"
#include "../support/LogBuilder.h"
#include "project/Project.h"
#include "trees/CodeTreeModel.h"
#include "trees/CodeTreeView.h"

namespace orvanel::test {

// `routines` calls from the top level, each to a routine of `body` plain lines and a call of
// a leaf routine of two lines; between the calls plain lines.
inline std::string NestedLog(int routines, int body) {
  TLogBuilder log;
  int64_t at = 0x8000;
  for (int r = 0; r < routines; ++r) {
    const int64_t routine = 0x9000 + 0x100 * r;
    log.Nop(at);
    log.Jsr(at + 1, routine);
    int64_t in = routine;
    for (int b = 0; b < body; ++b, in += 3) log.Lda(in, 0x7E0010 + b);
    log.Jsr(in, 0xA000);
    log.Nop(0xA000);
    log.Rts(0xA001);
    log.Rts(in + 3);
    at += 4;
  }
  log.Nop(at);
  log.Wai(at + 1);
  return log.Text();
}

// A chain of calls `levels` deep: the deepest line stands at that level.
inline std::string DeepLog(int levels) {
  TLogBuilder log;
  log.Nop(0x8000);
  for (int i = 0; i < levels; ++i) {
    const int64_t bank = 0x010000 * (1 + i / 8000);
    log.Jsr(bank + 0x8000 + 8 * (i % 8000), bank + 0x8000 + 8 * (i % 8000 + 1));
  }
  log.Nop(0x0F8000);
  log.Wai(0x0F8001);
  return log.Text();
}

// Every row Qt can reach matches the model's tree: counts, items, parents.
inline void ExpectSameAsTree(const QAbstractItemModel& model, TCodeTree& tree) {
  std::vector<std::pair<QModelIndex, TTreeItem*>> stack{{QModelIndex(), nullptr}};
  size_t seen = 0;
  while (!stack.empty()) {
    auto [index, item] = stack.back();
    stack.pop_back();
    const auto& children = item ? item->Children() : tree.TopLevel();
    ASSERT_EQ(model.rowCount(index), static_cast<int>(children.size()));
    for (size_t r = 0; r < children.size(); ++r) {
      QModelIndex child = model.index(static_cast<int>(r), 0, index);
      ASSERT_EQ(child.internalPointer(), children[r]);
      ASSERT_EQ(model.parent(child), index);
      ++seen;
      if (children[r]->HasChildren()) stack.emplace_back(child, children[r]);
    }
  }
  EXPECT_EQ(seen, tree.Count());
}

// A code tree view of the project, shown offscreen at a usual size.
inline std::unique_ptr<ui::TCodeTreeView> ShownView(TProject* project, int width = 600,
                                                    int height = 400) {
  auto view = std::make_unique<ui::TCodeTreeView>();
  view->resize(width, height);
  view->SetProject(project);
  view->show();
  return view;
}

}  // namespace orvanel::test
