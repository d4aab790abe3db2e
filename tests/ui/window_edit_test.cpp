// Cut, copy and paste of code tree nodes, and the code trees' shortcuts taking precedence
// over the main menu's while a code tree has the focus.
#include <QSignalSpy>
#include <QTest>

#include "WindowFixture.h"
#include "trees/CodeTreeView.h"
#include "trees/ScopeTreeView.h"

namespace orvanel::test {
namespace {

class WindowEditTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    NewProject();
    // Six siblings to move around.
    TCodeTree& tree = Project()->Tree();
    for (TTreeItem* item = tree.First(); item && !parent; item = tree.NextInOrder(item))
      if (item->Children().size() >= 6) parent = item;
    ASSERT_NE(parent, nullptr);
    c = parent->Children();
    c.resize(6);
  }
  std::vector<TTreeItem*> Children() const {
    const auto& all = parent->Children();
    return std::vector<TTreeItem*>(all.begin(), all.begin() + 6);
  }
  void SelectOnly(TTreeItem* item) { Project()->Tree().Select(item, false); }
  void SelectAlso(TTreeItem* item) { Project()->Tree().Select(item, true); }

  TTreeItem* parent = nullptr;
  std::vector<TTreeItem*> c;
};

TEST_F(WindowEditTest, CutThenPasteMovesInReverseOrderOnce) {
  SelectOnly(c[1]);
  SelectAlso(c[2]);
  Trigger("Cut1");
  EXPECT_TRUE(c[1]->Cut);
  EXPECT_TRUE(c[2]->Cut);
  SelectOnly(c[4]);
  Trigger("Paste1");
  std::vector<TTreeItem*> expected = {c[0], c[3], c[2], c[1], c[4], c[5]};
  EXPECT_EQ(Children(), expected);
  EXPECT_FALSE(c[1]->Cut);  // pasted: the marks are gone
  EXPECT_TRUE(window->Clipboard().Nodes().empty());
  SelectOnly(c[0]);
  Trigger("Paste2");  // a second paste has nothing to move
  EXPECT_EQ(Children(), expected);
  EXPECT_EQ(fake.BusyDepth, 0);
}

TEST_F(WindowEditTest, CopyThenPasteTwiceMovesTheSameNodesTwice) {
  SelectOnly(c[1]);
  SelectAlso(c[2]);
  Trigger("Copy1");
  EXPECT_FALSE(c[1]->Cut);
  SelectOnly(c[5]);
  Trigger("Paste1");
  EXPECT_EQ(Children(), (std::vector<TTreeItem*>{c[0], c[3], c[4], c[2], c[1], c[5]}));
  SelectOnly(c[0]);
  Trigger("Paste1");
  EXPECT_EQ(Children(), (std::vector<TTreeItem*>{c[2], c[1], c[0], c[3], c[4], c[5]}));
  EXPECT_EQ(window->Clipboard().Nodes().size(), 2u);
}

TEST_F(WindowEditTest, PasteWithNothingRememberedOrNothingSelectedDoesNothing) {
  SelectOnly(c[3]);
  Trigger("Paste1");
  EXPECT_EQ(Children(), c);
  SelectOnly(c[1]);
  Trigger("Copy1");
  Project()->Tree().ClearSelection();
  Trigger("Paste1");
  Trigger("PasteAsChildrenOfselectednode1");
  EXPECT_EQ(Children(), c);
}

TEST_F(WindowEditTest, PasteAsSubnodesTakesTheTreeTheMenuWasOpenedOn) {
  // Put a copy of a node into the code cache and select it there.
  SelectOnly(c[0]);
  auto drag = Project()->StartDrag();
  TSNESCodeCache* cache = Project()->CodeCache();
  cache->CodeDragDrop(drag.get(), nullptr);
  ASSERT_FALSE(cache->Tree().Empty());
  cache->Tree().Select(cache->Tree().First(), false);

  SelectOnly(c[1]);
  SelectAlso(c[2]);
  Trigger("Copy1");
  SelectOnly(c[4]);

  // Opened on the code cache: its selected node is the target; nodes of the code tree cannot
  // go there, so nothing moves.
  emit window->CodeCacheTree()->customContextMenuRequested(QPoint(2, 2));
  window->PopupMenuCodeTree->close();
  Trigger("PasteAsChildrenOfselectednode1");
  EXPECT_EQ(Children(), c);
  // Ctrl+Alt+S on the code tree still means the tree the menu was opened on last.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  window->CodeTree()->setFocus();
  QTest::keyClick(window->CodeTree(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(Children(), c);

  // Opened on the code tree: the nodes become the last children of its selected node.
  emit window->CodeTree()->customContextMenuRequested(QPoint(2, 2));
  window->PopupMenuCodeTree->close();
  SelectOnly(c[4]);
  Trigger("PasteAsChildrenOfselectednode1");
  ASSERT_GE(c[4]->Children().size(), 2u);
  EXPECT_EQ(c[4]->Children()[c[4]->Children().size() - 2], c[1]);
  EXPECT_EQ(c[4]->Children().back(), c[2]);
}

TEST_F(WindowEditTest, CodeTreeShortcutsWinOverTheMainMenuOnlyWhileATreeHasTheFocus) {
  // Only which entry fires is of interest here, not what its handler does.
  for (QAction* action : {window->AddAtLine1, window->CreateOffsetLabelatLine1})
    QObject::disconnect(action, &QAction::triggered, window.get(), nullptr);
  QSignalSpy label(window->CreateOffsetLabelatLine1, &QAction::triggered);
  QSignalSpy bookmark(window->AddAtLine1, &QAction::triggered);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

  for (ui::TCodeTreeView* tree : {window->CodeTree(), window->CodeCacheTree()}) {
    window->PCProjectOverview->setCurrentWidget(window->TSCodeCache);
    tree->setFocus();
    ASSERT_TRUE(tree->hasFocus());
    QTest::keyClick(tree, Qt::Key_L, Qt::ControlModifier);
  }
  EXPECT_EQ(label.count(), 2);
  EXPECT_EQ(bookmark.count(), 0);

  window->PCProjectOverview->setCurrentWidget(window->TSMappings);
  window->ScopeTree()->setFocus();
  ASSERT_TRUE(window->ScopeTree()->hasFocus());
  QTest::keyClick(window->ScopeTree(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(label.count(), 2);
  EXPECT_EQ(bookmark.count(), 1);

  // Ctrl+X cuts from either menu.
  SelectOnly(c[1]);
  window->CodeTree()->setFocus();
  QTest::keyClick(window->CodeTree(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(c[1]->Cut);
  SelectOnly(c[2]);
  window->ScopeTree()->setFocus();
  QTest::keyClick(window->ScopeTree(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(c[2]->Cut);
  EXPECT_FALSE(c[1]->Cut);
}

}  // namespace
}  // namespace orvanel::test
