#pragma once
// "About": the product's name and version.
#include <QDialog>

namespace orvanel::ui {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace orvanel::ui
