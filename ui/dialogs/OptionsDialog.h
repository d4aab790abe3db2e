#pragma once
// "Project Settings": the project's seven colour roles, each drawn in its colour, and the
// project's name. The window reads the result after OK.
#include <QColor>
#include <QDialog>

#include "logic/Recolouring.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orvanel::ui {

class TQtUserInterface;

class TformOption : public QDialog {
  Q_OBJECT
 public:
  TformOption(const TRoleColours& colours, const QString& projectName, TQtUserInterface& ui,
              QWidget* parent = nullptr);

  TRoleColours Colours() const;
  QString ProjectName() const;

  // A toolkit colour ($00BBGGRR, or $FF000000 plus a system colour index) as a Qt colour, and
  // a Qt colour as a plain toolkit colour.
  static QColor ToQColor(TColor colour);
  static TColor FromQColor(const QColor& colour);

  QFrame* Bevel1 = nullptr;
  QListWidget* LBItemColors = nullptr;
  QPushButton* BtnDefColor = nullptr;
  QLabel* LabelProjectName = nullptr;
  QLineEdit* LEProjectName = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 private slots:
  void LBItemColorsClick();
  void BtnDefColorClick();

 private:
  TQtUserInterface& ui_;
  QColor lastColour_{Qt::black};  // where the colour dialog starts
};

}  // namespace orvanel::ui
