// "Project Settings": the colour list, the "Define.." button, the colour dialog, and what OK
// and Cancel do to the project.
#include <QColorDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "WindowFixture.h"
#include "dialogs/MessagesDialog.h"
#include "dialogs/OptionsDialog.h"
#include "trees/CodeTreeView.h"

namespace orvanel::test {
namespace {

constexpr TColor kBlue = 0x00FF0000;
constexpr TColor kOlive = 0x00008080;

size_t LinesIn(TProject& project, TColor colour) {
  size_t n = 0;
  for (const auto& line : project.Store().Lines()) n += line->TextColor() == colour;
  return n;
}

void ClickEntry(QListWidget* list, int row) {
  QRect rect = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

class WindowOptionsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    NewProject();
    Project()->ProjectName = "before";
  }
};

TEST_F(WindowOptionsTest, ShowsTheRolesInTheirColoursAndDefineWaitsForAClick) {
  bool checked = false;
  onDialog = [&](QDialog& dialog) {
    auto& options = dynamic_cast<ui::TformOption&>(dialog);
    EXPECT_EQ(options.windowTitle(), "Project Settings");
    EXPECT_EQ(options.LBItemColors->count(), 7);
    if (options.LBItemColors->count() != 7) return int(QDialog::Rejected);
    EXPECT_EQ(options.LBItemColors->item(0)->text(), "Start Node");
    EXPECT_EQ(options.LBItemColors->item(6)->text(), "Cutted elements");
    EXPECT_EQ(options.Colours(), RoleColours(Project()->Palette));
    EXPECT_EQ(options.LEProjectName->text(), "before");
    // Each entry is drawn in its colour: red for the calls.
    options.show();
    QImage image = options.LBItemColors->viewport()->grab().toImage();
    QRect calls = options.LBItemColors->visualItemRect(options.LBItemColors->item(3));
    bool red = false;
    for (int x = calls.left(); x < calls.right() && !red; ++x)
      for (int y = calls.top(); y < calls.bottom() && !red; ++y)
        red = image.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_TRUE(red);
    EXPECT_FALSE(options.BtnDefColor->isEnabled());
    ClickEntry(options.LBItemColors, 2);
    EXPECT_TRUE(options.BtnDefColor->isEnabled());
    checked = true;
    return int(QDialog::Rejected);
  };
  Trigger("Options1");
  EXPECT_TRUE(checked);
}

TEST_F(WindowOptionsTest, CancelAfterChoosingColoursAndANameChangesNothing) {
  const TPalette before = Project()->Palette;
  const size_t olive = LinesIn(*Project(), kOlive);
  onDialog = [&](QDialog& dialog) {
    if (auto* colours = dynamic_cast<QColorDialog*>(&dialog)) {
      colours->setCurrentColor(Qt::blue);
      return int(QDialog::Accepted);
    }
    auto& options = dynamic_cast<ui::TformOption&>(dialog);
    ClickEntry(options.LBItemColors, 2);
    options.BtnDefColor->click();
    EXPECT_EQ(options.Colours()[2], kBlue);
    options.LEProjectName->setText("after");
    return int(QDialog::Rejected);
  };
  Trigger("Options1");
  EXPECT_EQ(RoleColours(Project()->Palette), RoleColours(before));
  EXPECT_EQ(Project()->ProjectName, "before");
  EXPECT_EQ(LinesIn(*Project(), kOlive), olive);
}

TEST_F(WindowOptionsTest, OkRecoloursTheLinesStoresTheNameAndMarksTheProjectModified) {
  SaveProject();
  const size_t olive = LinesIn(*Project(), kOlive);
  std::vector<QColor> startColours;
  onDialog = [&](QDialog& dialog) {
    if (auto* colours = dynamic_cast<QColorDialog*>(&dialog)) {
      // Black the first time, then the colour it returned last.
      startColours.push_back(colours->currentColor());
      colours->setCurrentColor(Qt::blue);
      return int(startColours.size() == 1 ? QDialog::Accepted : QDialog::Rejected);
    }
    auto& options = dynamic_cast<ui::TformOption&>(dialog);
    ClickEntry(options.LBItemColors, 2);
    options.BtnDefColor->click();
    ClickEntry(options.LBItemColors, 0);
    options.BtnDefColor->click();  // cancelled: the start node keeps its colour
    options.LEProjectName->setText("after");
    return int(QDialog::Accepted);
  };
  Trigger("Options1");
  ASSERT_EQ(startColours.size(), 2u);
  EXPECT_EQ(startColours[0], QColor(Qt::black));
  EXPECT_EQ(startColours[1], QColor(Qt::blue));
  EXPECT_EQ(Project()->Palette.BackBranchColor, kBlue);
  EXPECT_EQ(Project()->Palette.StartNodeColor, TPalette{}.StartNodeColor);
  EXPECT_EQ(LinesIn(*Project(), kBlue), olive);
  EXPECT_EQ(LinesIn(*Project(), kOlive), 0u);
  EXPECT_EQ(Project()->ProjectName, "after");
  // The lines keep their colours in the trace data file, the name is in the project file.
  EXPECT_FALSE(Project()->IsSaved());
  EXPECT_FALSE(Project()->LogSaved);
  EXPECT_EQ(fake.BusyDepth, 0);
}

TEST_F(WindowOptionsTest, BlueBackBranchesStillOfferGotoTargetNode) {
  TTreeItem* branch = nullptr;
  TTreeItem* plain = nullptr;
  Project()->Tree().ForEach([&](TTreeItem* item) {
    const TTraceFileLine* line = item->Line();
    if (!branch && line->HasTarget() && line->TextColor() == kOlive) branch = item;
    if (!plain && !line->IsComment() && line->TextColor() == 0) plain = item;
  });
  ASSERT_NE(branch, nullptr);
  ASSERT_NE(plain, nullptr);
  onDialog = [&](QDialog& dialog) {
    if (auto* colours = dynamic_cast<QColorDialog*>(&dialog)) {
      colours->setCurrentColor(Qt::blue);
      return int(QDialog::Accepted);
    }
    auto& options = dynamic_cast<ui::TformOption&>(dialog);
    ClickEntry(options.LBItemColors, 2);
    options.BtnDefColor->click();
    return int(QDialog::Accepted);
  };
  Trigger("Options1");
  ASSERT_EQ(branch->Line()->TextColor(), kBlue);
  auto menuOffers = [&](TTreeItem* item) {
    window->CodeTree()->SelectNode(item);
    emit window->CodeTree()->customContextMenuRequested(QPoint(2, 2));
    window->PopupMenuCodeTree->close();
    return window->FindTargetNode1->isVisible();
  };
  EXPECT_TRUE(menuOffers(branch));
  EXPECT_FALSE(menuOffers(plain));
}

TEST_F(WindowTest, ProgressBarStandsInForTheCodeTreeWhileItRuns) {
  NewProject();
  ASSERT_TRUE(window->CodeTree()->isVisible());
  window->Ui().ProgressStart(10);
  EXPECT_TRUE(window->ProgressBar->isVisible());
  EXPECT_FALSE(window->CodeTree()->isVisible());
  // Now and then the window gets to handle what is waiting (paint requests, timers).
  bool handled = false;
  QTimer::singleShot(0, [&] { handled = true; });
  QTest::qSleep(60);
  window->Ui().ProgressPosition(5);
  EXPECT_TRUE(handled);
  EXPECT_EQ(window->ProgressBar->value(), window->ProgressBar->maximum() / 2);
  window->Ui().ProgressEnd();
  EXPECT_FALSE(window->ProgressBar->isVisible());
  EXPECT_TRUE(window->CodeTree()->isVisible());
  EXPECT_EQ(fake.ProgressMaximum, 10);  // the script sees it too
}

TEST(MessagesDialog, ShowsTheCountAndEveryMessage) {
  std::vector<std::string> texts;
  for (int i = 0; i < 500; ++i) texts.push_back("line " + std::to_string(i) + " is bad");
  ui::TMessagesDialog dialog(texts);
  EXPECT_EQ(dialog.Summary(), "500 messages:");
  QStringList lines = dialog.ListText().split('\n');
  ASSERT_EQ(lines.size(), 500);
  EXPECT_EQ(lines.last(), "line 499 is bad");
  // Selected messages are copied in list order.
  auto* list = dialog.findChild<QListView*>(QStringLiteral("MessagesList"));
  ASSERT_NE(list, nullptr);
  list->selectionModel()->select(list->model()->index(3, 0), QItemSelectionModel::Select);
  list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
  EXPECT_EQ(dialog.SelectedText(), "line 1 is bad\nline 3 is bad");
}

TEST_F(WindowTest, CommentMemoTakesAtMost200TypedCharacters) {
  NewProject();
  QPlainTextEdit* memo = window->MemoLineComment;
  memo->setPlainText(QString(199, 'a'));
  memo->moveCursor(QTextCursor::End);
  QTest::keyClicks(memo, "bcd");
  EXPECT_EQ(memo->toPlainText().size(), 200);
  EXPECT_TRUE(memo->toPlainText().endsWith("ab"));
  // A longer comment set by the program is kept whole.
  memo->setPlainText(QString(300, 'x'));
  EXPECT_EQ(memo->toPlainText().size(), 300);
}

}  // namespace
}  // namespace orvanel::test
