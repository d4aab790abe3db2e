#include <gtest/gtest.h>

#include <QApplication>

#include "MainWindow.h"

namespace {

TEST(MainWindow, ShowsTheProgramCaption) {
  orvanel::ui::TForm1 window;
  window.show();
  EXPECT_EQ(window.windowTitle().toStdString(), "Velkor Ver1.0 Beta - Orvanel");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvanel"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
