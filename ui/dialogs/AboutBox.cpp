#include "dialogs/AboutBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvanel::ui {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  auto* layout = new QVBoxLayout(this);
  auto* product = new QLabel(QStringLiteral("Orvanel"), this);
  product->setObjectName(QStringLiteral("ProductName"));
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  product->setFont(big);
  layout->addWidget(product);
  auto* version = new QLabel(QStringLiteral("Version 1.0 Beta"), this);
  version->setObjectName(QStringLiteral("Version"));
  layout->addWidget(version);
  layout->addWidget(new QLabel(
      QStringLiteral("A reader of SNES9x trace logs of the 65C816 main processor."), this));
  layout->addWidget(new QLabel(
      QStringLiteral("It turns a log into a code tree of calls, branches and returns."), this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace orvanel::ui
