// The navigation, search, comment and scope commands bound into the main window: enabling,
// shortcuts, dialogs, focus, selection and placement, on the project of a real trace.
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "WindowFixture.h"
#include "base/TextUtils.h"
#include "dialogs/FindDialog.h"
#include "records/ItemRegisters.h"
#include "records/Scope.h"
#include "trees/CodeTreeView.h"
#include "trees/ScopeTreeView.h"
#include "window/Form1NavigationPanels.h"

namespace orvanel::test {
namespace {

class NavigationWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    NewProject();
    tree = window->CodeTree();
  }
  TTreeItem* Selected() const { return tree->SelectedNode(); }
  // The first item, in display order, for which `pick` holds.
  template <typename Pick>
  TTreeItem* Find(Pick pick) const {
    TTreeItem* found = nullptr;
    Project()->Tree().ForEach([&](TTreeItem* it) {
      if (!found && it->Line() && pick(*it)) found = it;
    });
    return found;
  }
  TTreeItem* Instruction(size_t skip = 0) const {
    return Find([&](const TTreeItem& it) { return !it.Line()->IsComment() && skip-- == 0; });
  }
  ui::TFindDialog* FindDialog(const char* name) const {
    return window->findChild<ui::TFindDialog*>(QString::fromLatin1(name));
  }
  ui::TCodeTreeView* tree = nullptr;
};

TEST_F(NavigationWindowTest, BackAndForwardFollowTheSelections) {
  TTreeItem* a = Instruction(0);
  TTreeItem* b = Instruction(1);
  tree->SelectNode(a);
  EXPECT_FALSE(Enabled("TBBackward")) << "the first visit leaves Back disabled";
  tree->SelectNode(b);
  EXPECT_TRUE(Enabled("TBBackward"));
  EXPECT_FALSE(Enabled("TBForward"));
  Trigger("TBBackward");
  EXPECT_EQ(Selected(), a);
  EXPECT_FALSE(Enabled("TBBackward"));
  EXPECT_TRUE(Enabled("TBForward"));
  Trigger("TBForward");
  EXPECT_EQ(Selected(), b);
  EXPECT_FALSE(Enabled("TBForward"));
  EXPECT_EQ(window->NavigationPanels().State.History().Count(), 2u)
      << "Back and Forward record nothing";
  // Closing the project forgets the history.
  SaveProject();
  Trigger("CloseProject1");
  ASSERT_EQ(Project(), nullptr);
  EXPECT_FALSE(Enabled("TBBackward"));
  EXPECT_EQ(window->NavigationPanels().State.History().Count(), 0u);
}

TEST_F(NavigationWindowTest, StatusBarRegistersAndMemoShowTheSelectedLine) {
  TTreeItem* node = Instruction(3);
  node->Line()->SetComment("first\r\nsecond");
  tree->SelectNode(node);
  const TTraceFileLine& line = *node->Line();
  EXPECT_EQ(window->StatusText(0).toStdString(), "Offset :" + line.OffsetText());
  EXPECT_TRUE(window->LabelA->text().startsWith("A : $"));
  EXPECT_EQ(window->LabelA->text().size(), 9);
  EXPECT_EQ(window->LabelDB->text().size(), 8) << "two digits";
  EXPECT_TRUE(window->LabelHC->text().startsWith("HC : "));
  EXPECT_EQ(window->MemoLineComment->toPlainText(), "first\nsecond");
  EXPECT_EQ(tree->toolTip().toStdString(), line.RegisterInfo());

  // A comment line keeps everything; saving then writes the shown text into it.
  Project()->Tree().Select(node, false);
  TTreeItem* comment = Project()->InsertComment();
  ASSERT_NE(comment, nullptr);
  tree->SelectNode(comment);
  EXPECT_EQ(window->StatusText(0).toStdString(), "Offset :" + line.OffsetText());
  EXPECT_EQ(window->MemoLineComment->toPlainText(), "first\nsecond");
  Project()->SetSaved(true);
  Trigger("TBSaveComment");
  EXPECT_EQ(comment->Line()->Comment(), "first\r\nsecond");
  EXPECT_FALSE(Project()->Saved());
}

// Two executions of one instruction (one record, two items) each show their own registers.
TEST_F(NavigationWindowTest, TheCpuStatusPanelShowsTheSelectedExecutionsOwnRegisters) {
  TTreeItem* first = Instruction(0);
  TTreeItem* again = nullptr;
  Project()->Tree().ForEach([&](TTreeItem* it) {
    if (!again && it != first && it->Line() == first->Line() && it->Registers() &&
        !(*it->Registers() == *first->Registers()))
      again = it;
  });
  ASSERT_NE(again, nullptr) << "the trace runs its first instruction again with other registers";
  tree->SelectNode(first);
  const QString firstTexts = window->LabelA->text() + window->LabelX->text() +
                             window->LabelHC->text() + window->LabelVC->text();
  EXPECT_EQ(window->LabelHC->text().toStdString(), StatusTexts(*first->Registers()).HC);
  tree->SelectNode(again);
  const TStatusTexts t = StatusTexts(*again->Registers());
  EXPECT_EQ(window->LabelHC->text().toStdString(), t.HC);
  EXPECT_EQ(window->LabelVC->text().toStdString(), t.VC);
  EXPECT_EQ(window->LabelA->text().toStdString(), t.A);
  EXPECT_NE(window->LabelA->text() + window->LabelX->text() + window->LabelHC->text() +
                window->LabelVC->text(),
            firstTexts);
}

TEST_F(NavigationWindowTest, GotoCommandsAndTheirMessages) {
  EXPECT_EQ(Action("GotoNextOpCode1")->shortcut(), QKeySequence("Ctrl+N"));
  EXPECT_EQ(Action("GotopreviousOpcode1")->shortcut(), QKeySequence("Ctrl+P"));
  EXPECT_EQ(Action("FindTargetNode1")->shortcut(), QKeySequence("Ctrl+T"));
  EXPECT_EQ(Action("FindStartNode1")->shortcut(), QKeySequence("Ctrl+S"));

  TTreeItem* noTarget =
      Find([](const TTreeItem& it) { return !it.Line()->IsComment() && !it.Line()->TargetNode(); });
  ASSERT_NE(noTarget, nullptr);
  tree->SelectNode(noTarget);
  Trigger("FindTargetNode1");
  EXPECT_EQ(fake.Messages.back(), "No target associated!");
  EXPECT_EQ(Selected(), noTarget);

  TTreeItem* withNext = Find([](const TTreeItem& it) { return it.Line()->Successor() != nullptr; });
  ASSERT_NE(withNext, nullptr);
  tree->SelectNode(withNext);
  Trigger("GotoNextOpCode1");
  ASSERT_NE(Selected(), nullptr);
  EXPECT_EQ(Selected()->Line()->Offset(),
            withNext->Line()->Offset() + withNext->Line()->OpcodeLen());
  EXPECT_TRUE(tree->hasFocus() || !window->isActiveWindow());
  Trigger("GotopreviousOpcode1");
  EXPECT_EQ(Selected()->Line()->Offset() + Selected()->Line()->OpcodeLen(),
            withNext->Line()->Offset() + withNext->Line()->OpcodeLen());

  Trigger("FindStartNode1");
  ASSERT_NE(Selected(), nullptr);
  EXPECT_TRUE(Selected()->Line()->IsFirstLine());

  // The context menu offers "Goto Target Node" by the line's colour.
  TTreeItem* branch = Find([&](const TTreeItem& it) {
    return it.Line()->HasTarget() && it.Line()->TextColor() == Project()->Palette.CallColor;
  });
  ASSERT_NE(branch, nullptr);
  tree->SelectNode(branch);
  QMetaObject::invokeMethod(window.get(), "PopupMenuCodeTreePopup");
  EXPECT_TRUE(Action("FindTargetNode1")->isVisible());
  tree->SelectNode(noTarget);
  QMetaObject::invokeMethod(window.get(), "PopupMenuCodeTreePopup");
  EXPECT_FALSE(Action("FindTargetNode1")->isVisible());
}

TEST_F(NavigationWindowTest, OffsetSearchMessagesAndNumbers) {
  EXPECT_EQ(Action("ByOffset1")->shortcut(), QKeySequence("Ctrl+Alt+O"));
  Trigger("ByOffset1");
  ui::TFindDialog* find = FindDialog("FDOffset");
  ASSERT_NE(find, nullptr);
  EXPECT_TRUE(find->isVisible());
  EXPECT_TRUE(find->CBMatchCase->isHidden());
  find->SetFindText("-1");
  find->BtnFindNext->click();
  EXPECT_EQ(fake.Messages.back(), "Offset FFFFFFFFFFFFFFFF not present.");
  find->SetFindText("zz");
  find->BtnFindNext->click();
  EXPECT_EQ(fake.Messages.back(), "'zz' is not a valid integer value");
  find->SetFindText("");
  find->BtnFindNext->click();
  EXPECT_EQ(fake.Messages.back(), "'' is not a valid integer value");

  // Repeated presses walk from one line with the offset to the next.
  TTreeItem* first = Instruction(0);
  const int64_t offset = first->Line()->Offset();
  find->SetFindText(QString::fromStdString(DollarHex(offset)));
  window->NavigationPanels().State.SearchPos = -1;
  find->BtnFindNext->click();
  EXPECT_EQ(Selected(), Project()->FindNodeByOffset(1, 0, offset));
  EXPECT_EQ(window->NavigationPanels().State.SearchPos,
            static_cast<int32_t>(Project()->Tree().PositionOf(Selected())));
  find->BtnCancel->click();
  EXPECT_FALSE(find->FindNextOn());
}

TEST_F(NavigationWindowTest, GotosBorrowTheOffsetSearchDirectionAndFindNextState) {
  TTreeItem* from = Find([&](const TTreeItem& it) {
    return it.Line()->Successor() && it.Line()->Offset() + it.Line()->OpcodeLen() !=
                                         Project()->Tree().First()->Line()->Offset();
  });
  ASSERT_NE(from, nullptr);
  const int64_t next = from->Line()->Offset() + from->Line()->OpcodeLen();
  const size_t n = Project()->Tree().Count();
  Trigger("ByOffset1");
  ui::TFindDialog* find = FindDialog("FDOffset");
  find->SetUp(true);
  find->SetFindText(QString::fromStdString(DollarHex(next)));
  find->BtnFindNext->click();  // find-next is on from here
  ASSERT_TRUE(find->FindNextOn());
  // Up from the line above SearchPos: the last line with that offset before it.
  window->NavigationPanels().State.SearchPos = static_cast<int32_t>(n - 1);
  tree->SelectNode(from);
  Trigger("GotoNextOpCode1");
  EXPECT_EQ(Selected(), Project()->FindNodeByOffset(-1, n - 2, next));
  // Closed with up chosen: the gotos look from the first node down, as before the dialog.
  find->BtnCancel->click();
  tree->SelectNode(from);
  const size_t messages = fake.Messages.size();
  Trigger("GotoNextOpCode1");
  EXPECT_EQ(Selected(), Project()->FindNodeByOffset(1, 0, next));
  EXPECT_EQ(fake.Messages.size(), messages) << "no \"not present\"";
}

TEST_F(NavigationWindowTest, TextSearchSelectsAndReportsTheEnd) {
  EXPECT_EQ(Action("ext1")->shortcut(), QKeySequence("Ctrl+Alt+E"));
  Trigger("ext1");
  ui::TFindDialog* find = FindDialog("FDText");
  ASSERT_NE(find, nullptr);
  TTreeItem* node = Instruction(5);
  node->Line()->SetComment("Look Here");
  find->SetFindText("look here");
  find->BtnFindNext->click();
  EXPECT_EQ(Selected(), node);
  find->SetFindText("not in any line at all");
  find->BtnFindNext->click();
  EXPECT_EQ(fake.Messages.back(), "Code Tree Searched!");
  EXPECT_EQ(window->NavigationPanels().State.SearchPos, 0);

  Trigger("Register1");
  ui::TFindDialog* target = FindDialog("FDFindTarget");
  ASSERT_NE(target, nullptr);
  target->SetFindText("x1");
  target->BtnFindNext->click();
  EXPECT_EQ(fake.Messages.back(), "'x1' is not a valid integer value");
}

TEST_F(NavigationWindowTest, QuickTargetListBesideTheLineClosesOnEscapeAndSelection) {
  TTreeItem* jump = Find([](const TTreeItem& it) {
    return it.Line()->HasTarget() && !it.Line()->IsCall() && it.Line()->IsFlow();
  });
  ASSERT_NE(jump, nullptr);
  TTreeItem* other = Instruction(0);
  Project()->TargetIndex().Add(jump->Line()->TargetOffset(), jump->Line());
  Project()->TargetIndex().Add(jump->Line()->TargetOffset(), other->Line());
  tree->SelectNode(jump);
  emit tree->QuickTargetRequested();
  QListWidget* list = window->LBQuickTargetNav;
  ASSERT_TRUE(list->isVisible());
  EXPECT_EQ(list->parentWidget(), tree->viewport());
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text().toStdString(), jump->Line()->DisplayText());
  const QRect r = tree->NodeRect(jump);
  EXPECT_TRUE(list->pos().y() == r.top() || list->pos().y() == r.bottom() + 1 - list->height());
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_FALSE(list->isVisible());

  emit tree->QuickTargetRequested();
  ASSERT_TRUE(list->isVisible());
  tree->SelectNode(other);
  EXPECT_FALSE(list->isVisible()) << "a selection change closes the list";

  // A click outside any item only closes the list.
  tree->SelectNode(jump);
  emit tree->QuickTargetRequested();
  ASSERT_TRUE(list->isVisible());
  TTreeItem* before = Selected();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    QPoint(5, list->viewport()->height() - 2));
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(Selected(), before);

  // A click on an item goes to the first line with its offset.
  tree->SelectNode(jump);
  emit tree->QuickTargetRequested();
  list->setCurrentRow(1);
  emit list->itemClicked(list->item(1));
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(Selected(), Project()->FindNodeByOffset(1, 0, other->Line()->Offset()));

  // A call shows nothing.
  TTreeItem* call = Find([](const TTreeItem& it) { return it.Line()->IsCall(); });
  ASSERT_NE(call, nullptr);
  tree->SelectNode(call);
  emit tree->QuickTargetRequested();
  EXPECT_FALSE(list->isVisible());
}

TEST_F(NavigationWindowTest, SetLineScopeOverThreeSiblingsWithChildren) {
  // Three siblings that each have lines below them.
  std::vector<TTreeItem*> parents;
  Find([&](const TTreeItem& it) {
    parents.clear();
    for (TTreeItem* child : it.Children())
      if (child->HasChildren() && parents.size() < 3) parents.push_back(child);
    return parents.size() == 3;
  });
  ASSERT_EQ(parents.size(), 3u);
  TScopeNode* zone = Project()->ScopeManager()->GetScope("Zone", false);
  tree->SelectNode(parents[0]);
  Project()->Tree().Select(parents[1], true);  // Ctrl-clicks
  Project()->Tree().Select(parents[2], true);
  ASSERT_EQ(tree->SelectedNodes().size(), 3u);
  Project()->SetSaved(true);
  Trigger("SetLineScope1");
  QComboBox* box = window->CBSetScope;
  ASSERT_TRUE(box->isVisible());
  EXPECT_EQ(box->parentWidget(), tree->viewport());
  const auto& scopes = Project()->ScopeManager()->Scopes();
  ASSERT_EQ(box->count(), static_cast<int>(scopes.size()));
  EXPECT_EQ(box->itemText(0), "Global");
  const int zoneIndex = box->findText("Zone");
  emit box->activated(zoneIndex);
  EXPECT_FALSE(box->isVisible());
  EXPECT_FALSE(Project()->Saved());
  for (TTreeItem* p : parents) {
    EXPECT_EQ(p->Line()->Scope(), zone);
    for (TTreeItem* it = p; it && TCodeTree::IsSelfOrAncestor(p, it);
         it = Project()->Tree().NextInOrder(it))
      EXPECT_EQ(it->Line()->Scope(), zone);
  }

  // Another line selected while the box is open hides it and forgets the lines.
  tree->SelectNode(parents[0]);
  Trigger("SetLineScope1");
  ASSERT_TRUE(box->isVisible());
  tree->SelectNode(Instruction(0) == parents[0] ? Instruction(1) : Instruction(0));
  EXPECT_FALSE(box->isVisible());
  EXPECT_TRUE(window->NavigationPanels().State.ScopeLines().empty());
}

TEST_F(NavigationWindowTest, CreateMappingAtLineUsesTheTreeWithTheFocus) {
  // A line copied into the code cache.
  TTreeItem* source = Instruction(2);
  Project()->Tree().Select(source, false);
  auto drag = Project()->StartDrag();
  TSNESCodeCache* cache = Project()->CodeCache();
  cache->CodeDragDrop(drag.get(), nullptr);
  ASSERT_FALSE(cache->Tree().Empty());
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ui::TCodeTreeView* cacheTree = window->CodeCacheTree();
  window->PCProjectOverview->setCurrentIndex(2);
  cacheTree->SelectNode(cache->Tree().First());
  cacheTree->setFocus();
  Project()->SetSaved(true);
  cache->SetSaved(true);
  AnswerDialog({{"LEMapOffset", "$7E0010"}, {"LEMappingName", "CacheName"}});
  Trigger("ForTargetOffset1");
  ASSERT_EQ(dialogsShown.back(), "formNewMapping");
  EXPECT_FALSE(cache->Saved()) << "the mapping went through the code cache";
  EXPECT_TRUE(Project()->Saved());
  auto* mappings = Project()->ScopeManager()->FindAddressList("$7E0010");
  ASSERT_NE(mappings, nullptr);
  EXPECT_EQ(mappings->back()->MappingName(), "CacheName");

  // With the focus in the code tree, the project takes it.
  tree->SelectNode(source);
  tree->setFocus();
  AnswerDialog({{"LEMapOffset", "$7E0012"}, {"LEMappingName", "TreeName"}});
  Trigger("ForTargetOffset1");
  EXPECT_FALSE(Project()->Saved());
}

TEST_F(NavigationWindowTest, ScopesBookmarksAndLabels) {
  // "Create New Scope" refuses a name in use, letter case ignored; a new scope goes into the
  // map file, so the project is modified.
  Project()->SetSaved(true);
  AnswerDialog({{"LEScopeName", "global"}});
  QMetaObject::invokeMethod(window.get(), "TBNewScopeClick");
  EXPECT_EQ(fake.Messages.back(), "Scope \"global\" already defined!");
  EXPECT_TRUE(Project()->Saved());
  AnswerDialog({{"LEScopeName", "Zone"}});
  QMetaObject::invokeMethod(window.get(), "TBNewScopeClick");
  EXPECT_NE(Project()->ScopeManager()->FindScopeByName("Zone"), nullptr);
  EXPECT_FALSE(Project()->Saved());

  // "Add New": the bookmark joins the menu; the same offset again is refused.
  const int before = window->Bookmarks1->actions().size();
  AnswerDialog({{"LEBookmarkName", "Here"}, {"LEROMOffset", "8000"}});
  Trigger("Add1");
  EXPECT_EQ(window->Bookmarks1->actions().size(), before + 1);
  EXPECT_EQ(window->Bookmarks1->actions().back()->text(), "Here");
  AnswerDialog({{"LEBookmarkName", "Again"}, {"LEROMOffset", "$8000"}});
  Trigger("Add1");
  EXPECT_EQ(fake.Messages.back(), "Bookmark for offset $8000 alreay defined");
  EXPECT_EQ(window->Bookmarks1->actions().size(), before + 1);

  // "Add At Line" takes the line's offset.
  TTreeItem* node = Instruction(4);
  tree->SelectNode(node);
  AnswerDialog({{"LEBookmarkName", "AtLine"}});
  Trigger("AddAtLine1");
  EXPECT_NE(Project()->BookmarkList().Find(node->Line()->OffsetText()), nullptr);

  // "Create Offset Label at Line": the line's offset, fixed.
  AnswerDialog({{"LEMappingName", "LabelHere"}});
  Trigger("CreateOffsetLabelatLine1");
  ASSERT_NE(Project()->FindLabel(node->Line()->Offset()), nullptr);
  EXPECT_EQ(Project()->FindLabel(node->Line()->Offset())->MappingName(), "LabelHere");
}

TEST_F(NavigationWindowTest, MappingsTreeCommands) {
  TSNESScopeManager* scopes = Project()->ScopeManager();
  TScopeNode* zone = scopes->GetScope("Zone", false);
  TTreeItem* first = Instruction(6);
  TTreeItem* later = Instruction(7);
  const bool firstLower = first->Line()->Offset() < later->Line()->Offset();
  first->Line()->AttachScope(zone);
  later->Line()->AttachScope(zone);
  TMappingNode* mapping = Project()->CreateMapping("$7E0010", "Player", false, 1, "Zone");
  ASSERT_NE(mapping, nullptr);
  Project()->SetSaved(true);
  ui::TScopeTreeView* view = window->ScopeTree();

  // "Goto" only on a scope that is not Global.
  view->SelectNode(scopes->GlobalScope());
  QMetaObject::invokeMethod(window.get(), "PopMappingsPopup");
  EXPECT_FALSE(window->Goto1->menuAction()->isEnabled());
  view->SelectNode(mapping);
  QMetaObject::invokeMethod(window.get(), "PopMappingsPopup");
  EXPECT_FALSE(window->Goto1->menuAction()->isEnabled());
  view->SelectNode(zone);
  QMetaObject::invokeMethod(window.get(), "PopMappingsPopup");
  EXPECT_TRUE(window->Goto1->menuAction()->isEnabled());
  const TTraceFileLine* low = firstLower ? first->Line() : later->Line();
  const TTraceFileLine* high = firstLower ? later->Line() : first->Line();
  Trigger("StartOffset1");
  EXPECT_EQ(Selected(), Project()->FindNodeByOffset(1, 0, low->Offset()));
  Trigger("EndOffset1");
  EXPECT_EQ(Selected(), Project()->FindNodeByOffset(1, 0, high->Offset()));

  // "Mapping to Scope": the scope is preset and fixed.
  onDialog = [](QDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QComboBox*>("CBScopes")->currentText(), "Zone");
    EXPECT_FALSE(dialog.findChild<QComboBox*>("CBScopes")->isEnabled());
    dialog.findChild<QLineEdit*>("LEMapOffset")->setText("$7E0020");
    dialog.findChild<QLineEdit*>("LEMappingName")->setText("Enemy");
    dialog.findChild<QPushButton*>("OKBtn")->click();
    return dialog.result();
  };
  Trigger("MappingtoScope1");
  ASSERT_EQ(zone->Mappings().size(), 2u);
  EXPECT_EQ(zone->Mappings().back()->MappingName(), "Enemy");

  // "Delete Mapping": nothing for a scope; the last mapping takes its scope along.
  Project()->SetSaved(true);
  view->SelectNode(zone);
  Trigger("TBDeleteScopeMapping");
  EXPECT_EQ(zone->Mappings().size(), 2u);
  view->SelectNode(zone->Mappings().back().get());
  Trigger("TBDeleteScopeMapping");
  view->SelectNode(zone->Mappings().back().get());
  Trigger("TBDeleteScopeMapping");
  EXPECT_EQ(scopes->FindScopeByName("Zone"), nullptr);
  EXPECT_FALSE(Project()->Saved()) << "the map file lost a mapping";

  // "Delete Label" marks the project modified.
  TMappingNode* label = Project()->CreateLabel("$008000", "Reset");
  Project()->SetSaved(true);
  window->LabelTree()->SelectNode(label);
  Trigger("TBDeleteLabel");
  EXPECT_EQ(Project()->FindLabel(0x8000), nullptr);
  EXPECT_FALSE(Project()->Saved());
}

}  // namespace
}  // namespace orvanel::test
