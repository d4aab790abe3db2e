#pragma once
// A main window shown offscreen whose messages, questions and file dialogs are answered by a
// scripted user interface, and whose own dialogs go to a handler the test sets.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FakeUserInterface.h"
#include "TestData.h"
#include "project/SnesProject.h"
#include "window/MainWindow.h"

namespace orvanel::test {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<ui::TForm1>();
    window->Ui().SetScript(&fake);
    window->Ui().SetDialogRunner([this](QDialog& dialog) {
      dialogsShown.push_back(dialog.objectName().toStdString());
      return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
    });
    window->show();
    dir = ScratchDir();
  }
  void TearDown() override { window.reset(); }

  QAction* Action(const char* name) const {
    QAction* action = window->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  void Trigger(const char* name) const { Action(name)->trigger(); }
  bool Enabled(const char* name) const { return Action(name)->isEnabled(); }
  TSNESProject* Project() const { return window->CurrentProject(); }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  // "New" with the real trace and a map file in the scratch folder.
  void NewProject(const char* entry = "SNESProjectFile1") {
    fake.DialogFiles = {TracePath("undisbeliever-wrmpyb-in-flight-snes9x.log"), Path("p.tfm")};
    Trigger(entry);
    ASSERT_NE(Project(), nullptr);
  }
  // "Save Project" naming every file that has no name yet in the scratch folder.
  void SaveProject() {
    fake.DialogFiles = {Path("p.tlm"), Path("p.tfd"), Path("p.tfp")};
    Trigger("SaveProjectFile1");
    fake.DialogFiles.clear();
    ASSERT_TRUE(Project()->IsSaved());
    ASSERT_TRUE(Exists(Path("p.tfp")));
  }

  // Fills the named text boxes of the next dialog and presses its OK button.
  void AnswerDialog(std::vector<std::pair<const char*, QString>> texts) {
    onDialog = [texts](QDialog& dialog) {
      for (const auto& [name, text] : texts) dialog.findChild<QLineEdit*>(name)->setText(text);
      dialog.setResult(QDialog::Rejected);
      dialog.findChild<QPushButton*>("OKBtn")->click();
      return dialog.result();
    };
  }

  TFakeUserInterface fake;
  std::unique_ptr<ui::TForm1> window;
  std::function<int(QDialog&)> onDialog;
  std::vector<std::string> dialogsShown;
  std::string dir;
};

}  // namespace orvanel::test
