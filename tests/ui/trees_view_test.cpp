// The code tree view as the user meets it: the sibling-only selection in the order it was made,
// the keys, renaming comment lines, the colours and pictures of the lines.
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "TreesTestSupport.h"
#include "trees/CodeImages.h"
#include "trees/CodeItemDelegate.h"

namespace orvanel::test {
namespace {

struct ViewFixture {
  ViewFixture() : project(ConvertedProject(ui, NestedLog(4, 2))) {
    view = ShownView(project.get());
    view->expandAll();
    QApplication::processEvents();
  }
  TCodeTree& Tree() { return project->Tree(); }
  void Click(TTreeItem* item, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QRect text = view->TextRect(item);
    ASSERT_TRUE(text.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, text.center());
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(view.get(), static_cast<Qt::Key>(key), mods);
  }
  TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  std::unique_ptr<ui::TCodeTreeView> view;
};

TEST(TreesView, SelectionHoldsSiblingsOnlyInTheOrderOfSelecting) {
  ViewFixture f;
  const auto& top = f.Tree().TopLevel();
  TTreeItem* call = top[1];
  ASSERT_TRUE(call->HasChildren());
  QSignalSpy changes(f.view.get(), &ui::TCodeTreeView::SelectedNodeChanged);
  f.Click(top[4]);
  f.Click(top[0], Qt::ControlModifier);
  f.Click(top[2], Qt::ControlModifier);
  EXPECT_EQ(f.view->SelectedNodes(), (std::vector<TTreeItem*>{top[4], top[0], top[2]}));
  EXPECT_EQ(f.view->SelectedNode(), top[2]);
  ASSERT_EQ(changes.size(), 3);
  EXPECT_EQ(changes.back()[0].value<TTreeItem*>(), top[2]);
  // Qt's own selection stays empty: the model's tree holds it.
  EXPECT_FALSE(f.view->selectionModel()->hasSelection());
  // Ctrl-click on a selected node takes it out.
  f.Click(top[0], Qt::ControlModifier);
  EXPECT_EQ(f.view->SelectedNodes(), (std::vector<TTreeItem*>{top[4], top[2]}));
  // A node of another parent starts the selection again.
  f.Click(call->Children().front(), Qt::ControlModifier);
  EXPECT_EQ(f.view->SelectedNodes(), std::vector<TTreeItem*>{call->Children().front()});
  // Shift extends from the last selected node over the siblings between.
  f.Click(top[2]);
  f.Click(top[5], Qt::ShiftModifier);
  EXPECT_EQ(f.view->SelectedNodes(), (std::vector<TTreeItem*>{top[2], top[3], top[4], top[5]}));
  // A plain click inside a multi-selection keeps it for a drag until the button is released.
  QTest::mousePress(f.view->viewport(), Qt::LeftButton, {}, f.view->TextRect(top[3]).center());
  EXPECT_EQ(f.view->SelectedNodes().size(), 4u);
  QTest::mouseRelease(f.view->viewport(), Qt::LeftButton, {}, f.view->TextRect(top[3]).center());
  EXPECT_EQ(f.view->SelectedNodes(), std::vector<TTreeItem*>{top[3]});
  // Arrow keys move the selection with the current row.
  f.Key(Qt::Key_Down);
  EXPECT_EQ(f.view->SelectedNode(), top[3]->HasChildren() ? top[3]->Children().front() : top[4]);
}

TEST(TreesView, KeysDeleteAfterTheQuestionInsertCommentsAndAskForQuickTargets) {
  ViewFixture f;
  const size_t before = f.Tree().TopLevel().size();
  TTreeItem* first = f.Tree().TopLevel()[0];
  f.view->SelectNode(f.Tree().TopLevel()[2]);
  f.ui.Answers.push_back(TAnswer::No);
  f.Key(Qt::Key_Delete);
  ASSERT_EQ(f.ui.Questions.size(), 1u);
  EXPECT_EQ(f.ui.Questions[0], "Would you like to delete the selected nodes?");
  EXPECT_EQ(f.Tree().TopLevel().size(), before);
  f.Key(Qt::Key_Delete);  // Yes
  EXPECT_EQ(f.Tree().TopLevel().size(), before - 1);
  EXPECT_EQ(f.view->SelectedNode(), nullptr);
  ExpectSameAsTree(*f.view->model(), f.Tree());

  f.view->SelectNode(first);
  f.Key(Qt::Key_Insert);
  ASSERT_EQ(f.Tree().TopLevel().size(), before);
  TTreeItem* comment = f.Tree().TopLevel()[0];
  EXPECT_TRUE(comment->Line()->IsComment());
  EXPECT_EQ(f.Tree().TopLevel()[1], first);
  ExpectSameAsTree(*f.view->model(), f.Tree());

  QSignalSpy quick(f.view.get(), &ui::TCodeTreeView::QuickTargetRequested);
  f.Key(Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(quick.size(), 1);
  // Ctrl held chooses the drop mode until it is released.
  QTest::keyPress(f.view.get(), Qt::Key_Control);
  EXPECT_TRUE(f.project->ControlDown);
  QTest::keyRelease(f.view.get(), Qt::Key_Control);
  EXPECT_FALSE(f.project->ControlDown);
}

TEST(TreesView, OnlyCommentLinesAreRenamedInPlace) {
  ViewFixture f;
  TTreeItem* line = f.Tree().TopLevel()[0];
  f.view->SelectNode(line);
  f.Key(Qt::Key_Insert);
  TTreeItem* comment = f.Tree().TopLevel()[0];
  QAbstractItemModel& model = *f.view->model();
  // An instruction line opens no editor and takes no text.
  f.view->edit(f.view->IndexOf(line));
  EXPECT_EQ(f.view->viewport()->findChild<QLineEdit*>(), nullptr);
  f.view->setFocus();
  f.Key(Qt::Key_F2);
  EXPECT_EQ(f.view->viewport()->findChild<QLineEdit*>(), nullptr);
  EXPECT_FALSE(model.setData(f.view->IndexOf(line), "no", Qt::EditRole));
  EXPECT_NE(line->Line()->Comment(), "no");
  // Through the editor the user types into.
  f.view->edit(f.view->IndexOf(comment));
  auto* editor = f.view->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_LT(editor->geometry().left(), f.view->viewport()->width() / 3);
  editor->setText("wait for vblank");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the delegate commits after the key
  EXPECT_EQ(comment->Line()->Comment(), "wait for vblank");
  EXPECT_EQ(model.data(f.view->IndexOf(comment)).toString(), "wait for vblank");
}

// The colour most like `want` among the pixels of the rectangle.
int Nearest(const QImage& image, const QRect& rect, const QColor& want) {
  int best = 1 << 30;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= std::min(rect.right(), rect.left() + 120); ++x) {
      QColor c = image.pixelColor(x, y);
      int d = std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
              std::abs(c.blue() - want.blue());
      best = std::min(best, d);
    }
  return best;
}

// A comment of several lines takes one row: its first line and an ellipsis; the tool tip
// holds all of it.
TEST(TreesView, ACommentOfSeveralLinesShowsItsFirstLine) {
  ViewFixture f;
  TTreeItem* plain = f.Tree().TopLevel()[4];
  f.view->SelectNode(plain);
  f.Key(Qt::Key_Insert);
  TTreeItem* comment = plain->PrevSibling();
  ASSERT_TRUE(comment->Line()->IsComment());
  const QFontMetrics metrics = f.view->fontMetrics();
  struct Case {
    std::string comment;
    QString shown;
    bool tip;  // the whole text as the tool tip
  };
  const Case cases[] = {
      {"one line", "one line", false},
      {"first\nsecond", "first…", true},
      {"first\r\nsecond\nthird", "first…", true},
      {"\nafter a break", "…", true},
  };
  for (const Case& c : cases) {
    comment->Line()->SetComment(c.comment);
    EXPECT_EQ(ui::TCodeItemDelegate::ShownText(metrics, *comment->Line(), 400), c.shown)
        << c.comment;
    const QVariant tip = f.view->model()->data(f.view->IndexOf(comment), Qt::ToolTipRole);
    if (c.tip) {
      EXPECT_EQ(tip.toString().toStdString(), c.comment);
    }
    const int rowHeight = f.view->NodeRect(comment).height();
    EXPECT_EQ(rowHeight, f.view->NodeRect(plain).height()) << "one row like any other";
  }
}

TEST(TreesView, LinesAreDrawnInTheCutCommentOrTheirOwnColour) {
  ViewFixture f;
  const auto& top = f.Tree().TopLevel();
  TTreeItem* plain = top[4];  // the first line is the start node, in its own colour
  TTreeItem* call = top[1];
  TTreeItem* cut = top[2];
  f.view->SelectNode(plain);
  f.Key(Qt::Key_Insert);  // a comment line before it
  TTreeItem* comment = plain->PrevSibling();
  ASSERT_TRUE(comment->Line()->IsComment());
  comment->Line()->SetComment("a comment");
  f.project->Palette.CutColor = 0x0000FF00;      // lime
  f.project->Palette.CommentColor = 0x00FF0000;  // blue
  call->Line()->SetTextColor(0x000000FF);        // red
  cut->Cut = true;
  f.Tree().ClearSelection();
  f.view->RepaintNodes();
  const ui::TCodeTreeModel& model = *f.view->CodeModel();
  EXPECT_EQ(model.TextColor(cut), QColor(0, 255, 0));
  EXPECT_EQ(model.TextColor(comment), QColor(0, 0, 255));
  EXPECT_EQ(model.TextColor(call), QColor(255, 0, 0));
  EXPECT_EQ(model.TextColor(plain), QColor(0, 0, 0));
  EXPECT_EQ(model.data(f.view->IndexOf(cut), Qt::ForegroundRole).value<QColor>(),
            QColor(0, 255, 0));
  // What the screen shows: each text in its colour.
  QImage shot = f.view->viewport()->grab().toImage();
  EXPECT_LT(Nearest(shot, f.view->TextRect(cut), QColor(0, 255, 0)), 60);
  EXPECT_LT(Nearest(shot, f.view->TextRect(comment), QColor(0, 0, 255)), 60);
  EXPECT_LT(Nearest(shot, f.view->TextRect(call), QColor(255, 0, 0)), 60);
  EXPECT_GT(Nearest(shot, f.view->TextRect(plain), QColor(255, 0, 0)), 200);
  // The system colours of the defaults follow the palette.
  EXPECT_EQ(ui::TCodeTreeModel::ToQColor(0x000000FF), QColor(255, 0, 0));
  EXPECT_EQ(ui::TCodeTreeModel::ToQColor(0x00008080), QColor(128, 128, 0));
  EXPECT_EQ(ui::TCodeTreeModel::ToQColor(static_cast<int32_t>(0xFF000011u)),
            QApplication::palette().color(QPalette::Disabled, QPalette::Text));
}

TEST(TreesView, PicturesAndToolTipsFollowTheLine) {
  ViewFixture f;
  TTreeItem* plain = f.Tree().TopLevel()[0];
  TTraceFileLine& line = *plain->Line();
  EXPECT_EQ(ui::TCodeTreeModel::ImageIndex(line), line.Successor() ? -1 : 2);
  line.SetSuccessor(nullptr);
  EXPECT_EQ(ui::TCodeTreeModel::ImageIndex(line), 2);
  EXPECT_EQ(ui::TCodeTreeModel::StateImageIndex(line), -1);
  line.SetFlags(line.Flags() | lfIsBookmarked);
  EXPECT_EQ(ui::TCodeTreeModel::StateImageIndex(line), 3);
  line.SetFlags(line.Flags() | lfIsCodeCacheLine);
  EXPECT_EQ(ui::TCodeTreeModel::ImageIndex(line), 4);
  EXPECT_EQ(ui::TCodeTreeModel::StateImageIndex(line), -1);  // no mark on a code cache line
  TTreeItem* call = f.Tree().TopLevel()[1];
  TTreeItem* ret = call->Children().back();
  ASSERT_TRUE(ret->Line()->IsReturn());
  EXPECT_EQ(ui::TCodeTreeModel::ImageIndex(*ret->Line()), -1);
  call->Line()->SetTargetNode(nullptr);
  EXPECT_EQ(ui::TCodeTreeModel::ImageIndex(*call->Line()), 1);  // its target was not met
  for (int i = 1; i <= 4; ++i) EXPECT_FALSE(ui::TCodeImages::Fallback(i, 16).isNull());
  EXPECT_TRUE(ui::TCodeImages::Fallback(0, 16).isNull());

  line.SetRegisterInfo("INIDISP: screen display");
  EXPECT_EQ(f.view->model()->data(f.view->IndexOf(plain), Qt::ToolTipRole).toString(),
            "INIDISP: screen display");
}

// A drop event on the view as the toolkit delivers it at the point, with the modifiers.
bool DropAt(ui::TCodeTreeView& view, QMimeData* data, QPoint at, Qt::KeyboardModifiers mods) {
  QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, mods);
  QApplication::sendEvent(view.viewport(), &enter);  // makes the view the drop target
  QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, mods);
  QApplication::sendEvent(view.viewport(), &move);
  if (!move.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, mods);
  QApplication::sendEvent(view.viewport(), &drop);
  return drop.isAccepted();
}

TEST(TreesView, DropsMoveBeforeTheTargetOrWithCtrlAfterItsLastChild) {
  ViewFixture f;
  std::vector<TTreeItem*> top = f.Tree().TopLevel();
  TTreeItem* call = top[3];
  ASSERT_TRUE(call->HasChildren());
  const size_t children = call->Children().size();
  // Three nodes selected in the order 8, 0, 6, dropped with Ctrl on a call with children.
  f.Click(top[8]);
  f.Click(top[0], Qt::ControlModifier);
  f.Click(top[6], Qt::ControlModifier);
  std::unique_ptr<QMimeData> data(f.view->CodeModel()->mimeData({}));
  ASSERT_TRUE(DropAt(*f.view, data.get(), f.view->TextRect(call).center(), Qt::ControlModifier));
  ASSERT_EQ(call->Children().size(), children + 3);
  EXPECT_EQ(std::vector<TTreeItem*>(call->Children().end() - 3, call->Children().end()),
            (std::vector<TTreeItem*>{top[8], top[0], top[6]}));
  EXPECT_FALSE(f.project->ControlDown);
  EXPECT_TRUE(f.view->isExpanded(f.view->IndexOf(call)));
  ExpectSameAsTree(*f.view->model(), f.Tree());
  // Without Ctrl the nodes go in front of the node under the drop point.
  f.view->SelectNode(top[8]);
  data.reset(f.view->CodeModel()->mimeData({}));
  ASSERT_TRUE(DropAt(*f.view, data.get(), f.view->TextRect(top[2]).center(), {}));
  EXPECT_EQ(top[8]->NextSibling(), top[2]);
  // With Ctrl on empty space below the last line: to the end of the top level.
  f.view->collapseAll();
  f.view->SelectNode(top[4]);
  data.reset(f.view->CodeModel()->mimeData({}));
  const QPoint below(20, f.view->viewport()->height() - 3);
  ASSERT_FALSE(f.view->indexAt(below).isValid());
  ASSERT_TRUE(DropAt(*f.view, data.get(), below, Qt::ControlModifier));
  EXPECT_EQ(f.Tree().TopLevel().back(), top[4]);
  ExpectSameAsTree(*f.view->model(), f.Tree());
}

TEST(TreesView, AConversionUnderTheViewIsOneReset) {
  TFakeUserInterface ui;
  auto project = ConvertedProject(ui, NestedLog(2, 1));
  auto view = ShownView(project.get());
  QSignalSpy resets(view->model(), &QAbstractItemModel::modelReset);
  QSignalSpy inserts(view->model(), &QAbstractItemModel::rowsInserted);
  project->LogLines() = TLogLines::FromBytes(NestedLog(40, 5));
  project->ImportLog();
  EXPECT_EQ(resets.size(), 1);
  EXPECT_EQ(inserts.size(), 0);
  ExpectSameAsTree(*view->model(), project->Tree());
}

// QTreeView's own list of shown rows keeps little spare room once the rows settle, after a
// wide branch opens and after it closes, and the rows stay whole.
TEST(TreesView, AWideBranchOpenedAndClosedLeavesLittleSpareRowRoom) {
  if (!ui::TCodeTreeView::TrimsRowRoom()) GTEST_SKIP() << "built without Qt's private headers";
  TFakeUserInterface ui;
  auto project = ConvertedProject(ui, NestedLog(2, 20000));
  auto view = ShownView(project.get());
  const auto& top = project->Tree().TopLevel();
  TTreeItem* wide = top[1];
  ASSERT_GT(wide->Children().size(), 20000u);
  auto expectLittleSpare = [&](size_t shown) {
    QApplication::processEvents();
    const auto [rows, room] = view->RowRoom();
    EXPECT_EQ(static_cast<size_t>(rows), shown);
    EXPECT_LE(room, rows + rows / 2 + 1024) << rows << " rows";
  };
  for (int pass = 0; pass < 2; ++pass) {
    view->expand(view->IndexOf(wide));
    expectLittleSpare(top.size() + wide->Children().size());
    TTreeItem* last = wide->Children().back();
    view->SelectNode(last);
    QApplication::processEvents();
    EXPECT_TRUE(view->TextRect(last).isValid());
    EXPECT_EQ(view->indexBelow(view->IndexOf(last)), view->IndexOf(top[2]));
    view->collapse(view->IndexOf(wide));
    expectLittleSpare(top.size());
  }
}

}  // namespace
}  // namespace orvanel::test
