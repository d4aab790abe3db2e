// The main window's construction: its layout, the trees and the panels.
#include "window/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedLayout>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/AboutBox.h"
#include "project/SnesProject.h"
#include "trees/Breadcrumb.h"
#include "trees/CodeTreeView.h"
#include "trees/ScopeTreeView.h"
#include "window/LimitedMemo.h"

namespace orvanel::ui {

namespace {

constexpr int kCommentLimit = 200;

QLabel* RegisterLabel(QWidget* parent, const char* name, const char* caption) {
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QToolBar* NewToolBar(QWidget* parent, const char* name, const QString& title) {
  auto* bar = new QToolBar(title, parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setAccessibleName(title);
  bar->setIconSize(QSize(16, 16));
  bar->setMovable(false);
  bar->setFloatable(false);
  // The button that shows the buttons that do not fit has no text of its own.
  if (auto* more = bar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button")))
    more->setAccessibleName(QStringLiteral("More buttons"));
  return bar;
}

// A file dialog of the window's own, without a check box.
TFileDialog WindowFileDialog(TFileDialog::Kind kind, const char* title, const char* filter,
                             const char* defaultExt) {
  TFileDialog dialog;
  dialog.DialogKind = kind;
  dialog.Title = title;
  dialog.Filter = filter;
  dialog.DefaultExt = defaultExt;
  return dialog;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(CaptionText());
  resize(823, 632);

  ODProjectFile = WindowFileDialog(TFileDialog::Kind::Open, "Open Project File",
                                   "Orvanel project file|*.tfp", "tfp");
  SDProjectFile = WindowFileDialog(TFileDialog::Kind::Save, "Save Project As",
                                   "Orvanel project file|*.tfp", "tfp");
  ODConvLog = WindowFileDialog(TFileDialog::Kind::Open, "Open Converted Log File",
                               "Trace File Data|*.tfd", "tfd");

  CreateLayout();
  CreateMenus();
  CreateCodeTreePopup();
  CreateMappingsPopup();
  EnableProjectCommands(false);
  ui_.SetProgressBar(ProgressBar, codeTree_);
  aboutBox_ = new TAboutBox(this);
}

TForm1::~TForm1() {
  // The views and the lists let go of the project before it goes.
  FreeProject();
}

void TForm1::CreateLayout() {
  ToolBar3 = NewToolBar(this, "ToolBar3", QStringLiteral("Main tool bar"));
  ToolBar3->setFixedHeight(29);
  addToolBar(Qt::TopToolBarArea, ToolBar3);

  // Status bar: three text panels; only the first is written.
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->setSizeGripEnabled(true);
  const int widths[3] = {140, 150, 50};
  for (int i = 0; i < 3; ++i) {
    auto* panel = new QLabel(statusBar());
    panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
    panel->setFixedWidth(widths[i]);
    // The text is what a screen reader reads; the description says which panel it is.
    panel->setAccessibleDescription(QStringLiteral("Status panel %1").arg(i + 1));
    // Permanent: a tool button's status tip is shown beside the panels, never over them.
    statusBar()->addPermanentWidget(panel);
    statusPanels_[i] = panel;
  }

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(4);
  Splitter1->setChildrenCollapsible(false);
  setCentralWidget(Splitter1);

  // Centre: the code tree area, with the path of calls above the tree and the conversion's
  // progress bar below it.
  Panel1 = new QWidget(Splitter1);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  auto* panel1Layout = new QVBoxLayout(Panel1);
  panel1Layout->setContentsMargins(0, 0, 0, 0);
  panel1Layout->setSpacing(0);
  Breadcrumb = new TBreadcrumbBar(Panel1);
  Breadcrumb->setObjectName(QStringLiteral("Breadcrumb"));
  // Its accessible name is the path it shows.
  Breadcrumb->setAccessibleDescription(QStringLiteral("Calls leading to the line"));
  panel1Layout->addWidget(Breadcrumb);
  auto* stack = new QWidget(Panel1);
  auto* stackLayout = new QStackedLayout(stack);
  Panel1Caption = new QLabel(stack);
  Panel1Caption->setObjectName(QStringLiteral("Panel1Caption"));
  Panel1Caption->setAlignment(Qt::AlignCenter);
  stackLayout->addWidget(Panel1Caption);
  codeTree_ = new TCodeTreeView(stack);
  codeTree_->setObjectName(QStringLiteral("CodeTree"));
  codeTree_->setAccessibleName(QStringLiteral("Code tree"));
  stackLayout->addWidget(codeTree_);
  stackLayout->setCurrentWidget(Panel1Caption);
  panel1Layout->addWidget(stack, 1);
  ProgressBar = new QProgressBar(Panel1);
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setAccessibleName(QStringLiteral("Conversion progress"));
  ProgressBar->setFixedHeight(15);
  ProgressBar->setTextVisible(false);
  ProgressBar->hide();
  panel1Layout->addWidget(ProgressBar);

  // Hidden until used; placed on the code tree when shown.
  CBSetScope = new QComboBox(Panel1);
  CBSetScope->setObjectName(QStringLiteral("CBSetScope"));
  CBSetScope->setAccessibleName(QStringLiteral("Line scope"));
  CBSetScope->setFixedWidth(97);
  CBSetScope->hide();
  CBSetScope->installEventFilter(this);
  LBQuickTargetNav = new QListWidget(Panel1);
  LBQuickTargetNav->setObjectName(QStringLiteral("LBQuickTargetNav"));
  LBQuickTargetNav->setAccessibleName(QStringLiteral("Lines with the same target"));
  LBQuickTargetNav->resize(225, 57);
  LBQuickTargetNav->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  LBQuickTargetNav->hide();
  LBQuickTargetNav->installEventFilter(this);

  CreateRightPanels();
  Splitter1->addWidget(Panel1);
  Splitter1->addWidget(Panel2);
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);
  // The right-hand side is wide enough for its three tabs in the desktop's font.
  const int rightWidth = std::max(234, PCProjectOverview->tabBar()->sizeHint().width() + 8);
  Splitter1->setSizes({823 - rightWidth - 4, rightWidth});

  codeTree_->setContextMenuPolicy(Qt::CustomContextMenu);
  codeCacheTree_->setContextMenuPolicy(Qt::CustomContextMenu);
  scopeTree_->setContextMenuPolicy(Qt::CustomContextMenu);
  codeTree_->installEventFilter(this);
  codeCacheTree_->installEventFilter(this);

  connect(codeTree_, &TCodeTreeView::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowCodeTreePopup(codeTree_, pos); });
  connect(codeCacheTree_, &TCodeTreeView::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowCodeTreePopup(codeCacheTree_, pos); });
  connect(scopeTree_, &TScopeTreeView::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (!project_) return;
    RunCommand([this] { PopMappingsPopup(); });
    PopMappings->popup(scopeTree_->viewport()->mapToGlobal(pos));
  });
  connect(codeTree_, &TCodeTreeView::SelectedNodeChanged, this, [this](TTreeItem* node) {
    Breadcrumb->SetNode(node);
    RunCommand([this, node] { CodeTreeChange(node); });
  });
  Breadcrumb->FollowChanges(codeTree_);
  connect(Breadcrumb, &TBreadcrumbBar::AncestorClicked, this,
          [this](TTreeItem* node) { RunCommand([this, node] { codeTree_->SelectNode(node); }); });
  connect(codeTree_, &TCodeTreeView::QuickTargetRequested, this,
          [this] { RunCommand([this] { ShowQuickTargetList(); }); });
  for (TCodeTreeView* view : {codeTree_, codeCacheTree_})
    connect(view, &TCodeTreeView::CommandFailed, this,
            [this](const QString& message) { ui_.ShowMessage(message.toStdString()); });
  connect(LBQuickTargetNav, &QListWidget::itemClicked, this,
          [this] { RunCommand([this] { LBQuickTargetNavClick(); }); });
  connect(CBSetScope, &QComboBox::activated, this,
          [this](int index) { RunCommand([this, index] { CBSetScopeChange(index); }); });
}

void TForm1::CreateRightPanels() {
  Panel2 = new QWidget(Splitter1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setMinimumWidth(160);
  auto* panel2Layout = new QVBoxLayout(Panel2);
  panel2Layout->setContentsMargins(0, 0, 0, 0);
  panel2Layout->setSpacing(0);
  Splitter2 = new QSplitter(Qt::Vertical, Panel2);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setChildrenCollapsible(false);
  panel2Layout->addWidget(Splitter2, 1);

  // CPU status: nine register labels in two columns.
  PanelCPUGroup = new QWidget(Splitter2);
  PanelCPUGroup->setObjectName(QStringLiteral("PanelCPUGroup"));
  auto* cpuLayout = new QVBoxLayout(PanelCPUGroup);
  cpuLayout->setContentsMargins(2, 2, 2, 2);
  GroupBox1 = new QGroupBox(QStringLiteral("CPU Status"), PanelCPUGroup);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  cpuLayout->addWidget(GroupBox1);
  auto* grid = new QGridLayout(GroupBox1);
  grid->setVerticalSpacing(0);
  grid->setContentsMargins(8, 2, 8, 4);
  LabelA = RegisterLabel(GroupBox1, "LabelA", "A :");
  LabelX = RegisterLabel(GroupBox1, "LabelX", "X :");
  LabelY = RegisterLabel(GroupBox1, "LabelY", "Y :");
  LabelD = RegisterLabel(GroupBox1, "LabelD", "D :");
  LabelDB = RegisterLabel(GroupBox1, "LabelDB", "DB :");
  LabelS = RegisterLabel(GroupBox1, "LabelS", "S :");
  LabelPS = RegisterLabel(GroupBox1, "LabelPS", "PS :");
  LabelHC = RegisterLabel(GroupBox1, "LabelHC", "HC :");
  LabelVC = RegisterLabel(GroupBox1, "LabelVC", "VC :");
  QLabel* left[] = {LabelA, LabelX, LabelY, LabelD};
  QLabel* right[] = {LabelDB, LabelS, LabelPS, LabelHC, LabelVC};
  for (int i = 0; i < 4; ++i) grid->addWidget(left[i], i, 0);
  for (int i = 0; i < 5; ++i) grid->addWidget(right[i], i, 1);
  Splitter2->addWidget(PanelCPUGroup);

  // Mappings, labels and code cache on a page control with the tabs at the bottom.
  PanelMappings = new QWidget(Splitter2);
  PanelMappings->setObjectName(QStringLiteral("PanelMappings"));
  auto* mappingsLayout = new QVBoxLayout(PanelMappings);
  mappingsLayout->setContentsMargins(0, 0, 0, 0);
  PCProjectOverview = new QTabWidget(PanelMappings);
  PCProjectOverview->setObjectName(QStringLiteral("PCProjectOverview"));
  PCProjectOverview->setTabPosition(QTabWidget::South);
  PCProjectOverview->setDocumentMode(true);
  mappingsLayout->addWidget(PCProjectOverview);
  Splitter2->addWidget(PanelMappings);
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);

  TSMappings = new QWidget(PCProjectOverview);
  TSMappings->setObjectName(QStringLiteral("TSMappings"));
  auto* mapLayout = new QVBoxLayout(TSMappings);
  mapLayout->setContentsMargins(0, 0, 0, 0);
  mapLayout->setSpacing(0);
  scopeTree_ = new TScopeTreeView(TSMappings);
  scopeTree_->setObjectName(QStringLiteral("ScopeTree"));
  scopeTree_->setAccessibleName(QStringLiteral("Mappings"));
  mapLayout->addWidget(scopeTree_);
  ToolBar2 = NewToolBar(TSMappings, "ToolBar2", QStringLiteral("Mappings tool bar"));
  mapLayout->addWidget(ToolBar2);
  PCProjectOverview->addTab(TSMappings, QStringLiteral("Mappings"));

  TSLabels = new QWidget(PCProjectOverview);
  TSLabels->setObjectName(QStringLiteral("TSLabels"));
  auto* labelLayout = new QVBoxLayout(TSLabels);
  labelLayout->setContentsMargins(0, 0, 0, 0);
  labelLayout->setSpacing(0);
  labelTree_ = new TLabelTreeView(TSLabels);
  labelTree_->setObjectName(QStringLiteral("LabelTree"));
  labelTree_->setAccessibleName(QStringLiteral("Labels"));
  labelLayout->addWidget(labelTree_);
  TBLabels = NewToolBar(TSLabels, "TBLabels", QStringLiteral("Labels tool bar"));
  labelLayout->addWidget(TBLabels);
  PCProjectOverview->addTab(TSLabels, QStringLiteral("Labels"));

  TSCodeCache = new QWidget(PCProjectOverview);
  TSCodeCache->setObjectName(QStringLiteral("TSCodeCache"));
  auto* cacheLayout = new QVBoxLayout(TSCodeCache);
  cacheLayout->setContentsMargins(0, 0, 0, 0);
  codeCacheTree_ = new TCodeTreeView(TSCodeCache);
  codeCacheTree_->setObjectName(QStringLiteral("CodeCacheTree"));
  codeCacheTree_->setAccessibleName(QStringLiteral("Code cache"));
  cacheLayout->addWidget(codeCacheTree_);
  PCProjectOverview->addTab(TSCodeCache, QStringLiteral("Code Cache"));

  // The line comment: a memo and its save button.
  PanelComments = new QWidget(Panel2);
  PanelComments->setObjectName(QStringLiteral("PanelComments"));
  PanelComments->setFixedHeight(137);
  auto* commentsLayout = new QVBoxLayout(PanelComments);
  commentsLayout->setContentsMargins(2, 2, 2, 2);
  GroupBoxComments = new QGroupBox(QStringLiteral("Line Comment"), PanelComments);
  GroupBoxComments->setObjectName(QStringLiteral("GroupBoxComments"));
  commentsLayout->addWidget(GroupBoxComments);
  auto* groupLayout = new QVBoxLayout(GroupBoxComments);
  groupLayout->setContentsMargins(4, 2, 4, 2);
  groupLayout->setSpacing(0);
  MemoLineComment = new TLimitedMemo(kCommentLimit, GroupBoxComments);
  MemoLineComment->setObjectName(QStringLiteral("MemoLineComment"));
  MemoLineComment->setAccessibleName(QStringLiteral("Line Comment"));
  MemoLineComment->setTabChangesFocus(true);
  groupLayout->addWidget(MemoLineComment);
  ToolBar1 = NewToolBar(GroupBoxComments, "ToolBar1", QStringLiteral("Comment tool bar"));
  groupLayout->addWidget(ToolBar1);
  panel2Layout->addWidget(PanelComments);
}

void TForm1::ShowCodeTreePopup(TCodeTreeView* tree, const QPoint& pos) {
  if (!project_) return;  // the menu acts on the open project's trees only
  popupTree_ = tree;
  RunCommand([this] { PopupMenuCodeTreePopup(); });
  PopupMenuCodeTree->popup(tree->viewport()->mapToGlobal(pos));
}

TCodeTreeView* TForm1::PopupTree() const {
  return popupTree_ ? popupTree_.data() : codeTree_;
}

QString TForm1::StatusText(int panel) const {
  return panel >= 0 && panel < 3 ? statusPanels_[panel]->text() : QString();
}

void TForm1::SetStatusText(int panel, const QString& text) {
  if (panel >= 0 && panel < 3) statusPanels_[panel]->setText(text);
}

}  // namespace orvanel::ui
