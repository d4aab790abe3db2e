// The window as the user meets it: the scope box and the quick target list beside the line
// and inside the view, the focus coming back, the indentation at the window's own size, the
// path of calls after edits, repaints, the context keys, the status bar and what a screen
// reader is told about the rows.
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <functional>

#include "TreesTestSupport.h"
#include "WindowFixture.h"
#include "base/TextUtils.h"
#include "records/Scope.h"
#include "trees/Breadcrumb.h"
#include "trees/CodeItemDelegate.h"
#include "trees/CodeTreeView.h"
#include "window/Form1NavigationPanels.h"

namespace orvanel::test {
namespace {

class WindowViewTest : public WindowTest {
 protected:
  // "New" on a generated log.
  void NewProjectOf(const std::string& log) {
    WriteFile(Path("generated.log"), log);
    fake.DialogFiles = {Path("generated.log"), Path("p.tfm")};
    if (Project())  // "New" saves the open project first
      fake.DialogFiles.insert(fake.DialogFiles.begin(),
                              {Path("p.tlm"), Path("p.tfd"), Path("p.tfp")});
    Trigger("SNESProjectFile1");
    ASSERT_NE(Project(), nullptr);
    tree = window->CodeTree();
    QApplication::processEvents();
  }
  void Activate() {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  template <typename Pick>
  std::vector<TTreeItem*> All(Pick pick) const {
    std::vector<TTreeItem*> found;
    Project()->Tree().ForEach([&](TTreeItem* it) {
      if (it->Line() && pick(*it)) found.push_back(it);
    });
    return found;
  }
  ui::TCodeTreeView* tree = nullptr;
};

TTreeItem* DeepestOf(TCodeTree& tree) {
  TTreeItem* deepest = tree.First();
  tree.ForEach([&](TTreeItem* it) {
    if (it->Level() > deepest->Level()) deepest = it;
  });
  return deepest;
}

// Both boxes open beside the line's text, inside the viewport, with the focus; Escape or a
// click elsewhere closes them, gives the keys back to the tree and changes nothing.
TEST_F(WindowViewTest, BoxesBesideTheLineTakeTheFocusAndGiveItBack) {
  NewProject();
  tree = window->CodeTree();
  Activate();
  std::vector<TTreeItem*> jumps = All([](const TTreeItem& it) {
    return it.Line()->HasTarget() && !it.Line()->IsCall() && it.Line()->IsFlow();
  });
  ASSERT_GE(jumps.size(), 2u);
  for (TTreeItem* jump : jumps)  // every jump's list holds a line
    Project()->TargetIndex().Add(jump->Line()->TargetOffset(), jump->Line());
  struct Case {
    const char* what;
    bool scopeBox;
    TTreeItem* line;
    bool escape;  // else a click on another line
  };
  const Case cases[] = {
      {"scope box, first line, Escape", true, jumps.front(), true},
      {"scope box, last line, click", true, jumps.back(), false},
      {"quick targets, first line, Escape", false, jumps.front(), true},
      {"quick targets, last line, click", false, jumps.back(), false},
  };
  for (const Case& c : cases) {
    tree->SelectNode(c.line);
    tree->setFocus();
    QApplication::processEvents();
    TScopeNode* scopeBefore = c.line->Line()->Scope();
    QWidget* box = c.scopeBox ? static_cast<QWidget*>(window->CBSetScope)
                              : static_cast<QWidget*>(window->LBQuickTargetNav);
    if (c.scopeBox)
      Trigger("SetLineScope1");
    else
      QTest::keyClick(tree, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(box->isVisible()) << c.what;
    const QRect area = tree->viewport()->rect();
    const QRect row = tree->NodeRect(c.line);
    EXPECT_TRUE(area.contains(box->geometry())) << c.what;
    EXPECT_TRUE(box->geometry().top() <= row.bottom() && box->geometry().bottom() >= row.top())
        << c.what << ": level with the line";
    const QRect text = tree->TextExtent(c.line);
    if (area.right() - text.right() >= box->width() || text.left() > box->width()) {
      EXPECT_FALSE(box->geometry().intersects(text)) << c.what << ": beside the text, not over it";
    }
    EXPECT_TRUE(box->hasFocus()) << c.what;

    if (c.escape) {
      QTest::keyClick(box, Qt::Key_Escape);
    } else {
      QModelIndex near = tree->indexAbove(tree->IndexOf(c.line));
      if (!near.isValid()) near = tree->indexBelow(tree->IndexOf(c.line));
      QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                        tree->TextRect(tree->NodeAt(near)).center());
    }
    EXPECT_FALSE(box->isVisible()) << c.what;
    EXPECT_TRUE(tree->hasFocus()) << c.what << ": the keys go to the tree again";
    // The keys move the selection, and apply no scope to any line.
    TTreeItem* selected = tree->SelectedNode();
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_NE(tree->SelectedNode(), selected) << c.what;
    EXPECT_EQ(c.line->Line()->Scope(), scopeBefore) << c.what;
    EXPECT_TRUE(window->NavigationPanels().State.ScopeLines().empty()) << c.what;
  }
}

// At the window's first size a tree of twelve levels reads with plain indentation, each
// level to the right of the one above; deeper trees carry badges; every text starts in the
// tree's left third.
TEST_F(WindowViewTest, IndentationAtTheDefaultSize) {
  ASSERT_EQ(window->size(), QSize(823, 632));
  struct Case {
    int depth;
    bool badge;
  };
  for (const Case& c : {Case{5, false}, Case{12, false}, Case{4000, true}}) {
    NewProjectOf(DeepLog(c.depth + 1));  // its calls and the line after the last one
    TTreeItem* deepest = DeepestOf(Project()->Tree());
    ASSERT_EQ(deepest->Level(), c.depth);
    tree->SelectNode(deepest);
    QApplication::processEvents();
    const int third = tree->viewport()->width() / 3;
    int lastArrow = -1;
    bool badges = false;
    for (TTreeItem* it = deepest; it; it = it->Parent()) {
      const ui::TCodeRowLayout layout = tree->RowLayout(it, tree->NodeRect(it));
      EXPECT_LT(layout.Text.left(), third) << "depth " << c.depth << ", level " << layout.Level;
      badges = badges || layout.Capped;
      if (!c.badge && lastArrow >= 0) {
        EXPECT_LT(layout.Arrow.left(), lastArrow) << "depth " << c.depth;
      }
      lastArrow = layout.Arrow.left();
    }
    EXPECT_EQ(badges, c.badge) << "depth " << c.depth;
  }
}

// The path above the tree follows the texts of the lines it shows after an edit.
TEST_F(WindowViewTest, BreadcrumbFollowsEditsOfTheLinesItShows) {
  NewProject();
  tree = window->CodeTree();
  ui::TBreadcrumbBar* bar = window->Breadcrumb;
  TTreeItem* inner =
      All([](const TTreeItem& it) {
        return it.Parent() && it.Parent()->Line()->IsCall() && !it.Line()->IsComment();
      }).front();
  tree->SelectNode(inner);
  QApplication::processEvents();
  ASSERT_GE(bar->Parts().size(), 2u);
  EXPECT_EQ(bar->accessibleName(), bar->PathText()) << "a screen reader reads the path";

  // What a bar freshly laid out for the line shows.
  auto fresh = [&] {
    ui::TBreadcrumbBar again;
    again.resize(bar->size());
    again.SetNode(inner);
    return again.PathText();
  };
  struct Edit {
    const char* what;
    std::function<void()> run;
  };
  const Edit edits[] = {
      {"a label at the line",
       [&] {
         AnswerDialog({{"LEMappingName", "HereItIs"}});
         Trigger("CreateOffsetLabelatLine1");
       }},
      {"the line's scope set",
       [&] {
         Project()->ScopeManager()->GetScope("Zone", false);
         Trigger("SetLineScope1");
         emit window->CBSetScope->activated(window->CBSetScope->findText("Zone"));
       }},
  };
  for (const Edit& edit : edits) {
    const QString before = bar->PathText();
    edit.run();
    QApplication::processEvents();
    ASSERT_NE(fresh(), before) << edit.what << ": the edit changes the texts shown";
    EXPECT_EQ(bar->PathText(), fresh()) << edit.what;
  }
}

// A new bookmark's mark is drawn at once: the tree repaints.
TEST_F(WindowViewTest, ANewBookmarkRepaintsTheTree) {
  NewProject();
  tree = window->CodeTree();
  TTreeItem* line = All([](const TTreeItem& it) { return !it.Line()->IsComment(); }).front();
  tree->SelectNode(line);
  QApplication::processEvents();
  struct TPaints : QObject {
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++Count;
      return false;
    }
  } paints;
  tree->viewport()->installEventFilter(&paints);
  AnswerDialog({{"LEBookmarkName", "Mark"}});
  Trigger("AddAtLine1");
  ASSERT_TRUE(line->Line()->IsBookmarked());
  QApplication::processEvents();
  EXPECT_GT(paints.Count, 0);
  tree->viewport()->removeEventFilter(&paints);
}

// Ctrl+T goes to the target whenever the line has one, also after the context menu hid its
// entry for another line.
TEST_F(WindowViewTest, CtrlTAfterTheMenuHidItsEntry) {
  NewProject();
  tree = window->CodeTree();
  Activate();
  TTreeItem* plain = All([](const TTreeItem& it) {
                       return !it.Line()->IsComment() && !it.Line()->HasTarget();
                     }).front();
  TTreeItem* jump =
      All([](const TTreeItem& it) {
        return it.Line()->HasTarget() && it.Line()->TargetNode() && !it.Line()->IsCall();
      }).front();
  tree->SelectNode(plain);
  emit tree->customContextMenuRequested(tree->NodeRect(plain).center());
  window->PopupMenuCodeTree->hide();
  ASSERT_FALSE(window->FindTargetNode1->isVisible());
  tree->SelectNode(jump);
  tree->setFocus();
  TTreeItem* expected = window->NavigationPanels().State.TargetNode(*jump->Line()).Item;
  ASSERT_NE(expected, nullptr);
  QTest::keyClick(tree, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(tree->SelectedNode(), expected);
}

// The offset panel stays while a status tip is shown; a failed open leaves no "Loading".
TEST_F(WindowViewTest, StatusPanelsStayAndAFailedOpenSaysNothingIsLoading) {
  NewProject();
  auto* offsetPanel = window->findChild<QLabel*>("StatusBar1Panel0");
  ASSERT_NE(offsetPanel, nullptr);
  window->statusBar()->showMessage(QStringLiteral("Open Project"));  // a tool button's tip
  EXPECT_TRUE(offsetPanel->isVisible());
  window->statusBar()->clearMessage();

  WriteFile(Path("broken.tfp"), "this is not XML at all");
  fake.DialogFiles = {Path("p.tlm"), Path("p.tfd"), Path("p.tfp"), Path("broken.tfp")};
  Trigger("OpenProjectFile1");
  ASSERT_EQ(Project(), nullptr);
  EXPECT_TRUE(window->Panel1Caption->text().isEmpty())
      << window->Panel1Caption->text().toStdString();
}

}  // namespace
}  // namespace orvanel::test
