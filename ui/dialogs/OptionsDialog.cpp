#include "dialogs/OptionsDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "window/QtUserInterface.h"

namespace orvanel::ui {

namespace {

constexpr int kColourRole = Qt::UserRole;

// Stores the entry's colour; screen readers and tool tips get it as a name.
void SetEntryColour(QListWidgetItem* item, TColor colour) {
  item->setData(kColourRole, static_cast<uint>(static_cast<uint32_t>(colour)));
  QString name = TformOption::ToQColor(colour).name();
  item->setData(Qt::AccessibleDescriptionRole, name);
  item->setToolTip(name);
}

// Each entry is written in its own colour on the list's background (the selection colour for
// the selected entry).
class TColourEntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(option.rect,
                      option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    auto colour = static_cast<TColor>(index.data(kColourRole).toUInt());
    painter->setPen(TformOption::ToQColor(colour));
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
      QStyleOptionFocusRect focus;
      focus.rect = option.rect;
      focus.palette = option.palette;
      QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width(), std::max(size.height(), 16)};
  }
};

}  // namespace

QColor TformOption::ToQColor(TColor colour) {
  auto bits = static_cast<uint32_t>(colour);
  if ((bits & 0xFF000000u) == 0xFF000000u) {
    QPalette palette = QApplication::palette();
    switch (bits & 0xFF) {
      case 0x11:  // grey text
        return palette.color(QPalette::Disabled, QPalette::WindowText);
      case 0x13:  // inactive caption text
        return palette.color(QPalette::Inactive, QPalette::PlaceholderText);
      default:
        return palette.color(QPalette::WindowText);
    }
  }
  return QColor(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
}

TColor TformOption::FromQColor(const QColor& c) {
  return static_cast<TColor>(static_cast<uint32_t>(c.red()) |
                             (static_cast<uint32_t>(c.green()) << 8) |
                             (static_cast<uint32_t>(c.blue()) << 16));
}

TformOption::TformOption(const TRoleColours& colours, const QString& projectName,
                         TQtUserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui) {
  setObjectName(QStringLiteral("formOption"));
  setWindowTitle(QStringLiteral("Project Settings"));

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameShape(QFrame::StyledPanel);
  LBItemColors = new QListWidget(Bevel1);
  LBItemColors->setObjectName(QStringLiteral("LBItemColors"));
  LBItemColors->setAccessibleName(QStringLiteral("Colours"));
  LBItemColors->setItemDelegate(new TColourEntryDelegate(LBItemColors));
  LBItemColors->setUniformItemSizes(true);
  const auto& captions = ColourRoleCaptions();
  for (size_t i = 0; i < kColourRoleCount; ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(captions[i]), LBItemColors);
    SetEntryColour(item, colours[i]);
  }
  LBItemColors->setFixedWidth(150);
  LBItemColors->setMinimumHeight(LBItemColors->sizeHintForRow(0) * 7 + 6);
  BtnDefColor = new QPushButton(QStringLiteral("Define.."), Bevel1);
  BtnDefColor->setObjectName(QStringLiteral("BtnDefColor"));
  BtnDefColor->setEnabled(false);
  BtnDefColor->setAutoDefault(false);
  auto* bevelLayout = new QHBoxLayout(Bevel1);
  bevelLayout->addWidget(LBItemColors);
  bevelLayout->addWidget(BtnDefColor, 0, Qt::AlignTop);
  bevelLayout->addStretch(1);

  LabelProjectName = new QLabel(QStringLiteral("Project Name"), this);
  LEProjectName = new QLineEdit(projectName, this);
  LEProjectName->setObjectName(QStringLiteral("LEProjectName"));
  LabelProjectName->setBuddy(LEProjectName);

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setAutoDefault(false);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(LBItemColors, &QListWidget::itemSelectionChanged, this, &TformOption::LBItemColorsClick);
  connect(BtnDefColor, &QPushButton::clicked, this, &TformOption::BtnDefColorClick);

  auto* left = new QVBoxLayout;
  left->addWidget(Bevel1);
  left->addWidget(LabelProjectName);
  left->addWidget(LEProjectName);
  auto* right = new QVBoxLayout;
  right->addWidget(OKBtn);
  right->addWidget(CancelBtn);
  right->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right);
}

void TformOption::LBItemColorsClick() {
  if (LBItemColors->currentItem()) BtnDefColor->setEnabled(true);
}

void TformOption::BtnDefColorClick() {
  QListWidgetItem* item = LBItemColors->currentItem();
  if (!item) return;
  QColorDialog dialog(lastColour_, this);
  dialog.setObjectName(QStringLiteral("CDSelectColor"));
  if (ui_.ExecDialog(dialog) != QDialog::Accepted) return;
  lastColour_ = dialog.currentColor();  // what it showed when it was confirmed
  SetEntryColour(item, FromQColor(lastColour_));
}

TRoleColours TformOption::Colours() const {
  TRoleColours colours{};
  for (size_t i = 0; i < kColourRoleCount; ++i)
    colours[i] =
        static_cast<TColor>(LBItemColors->item(static_cast<int>(i))->data(kColourRole).toUInt());
  return colours;
}

QString TformOption::ProjectName() const {
  return LEProjectName->text();
}

}  // namespace orvanel::ui
