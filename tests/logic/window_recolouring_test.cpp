// Recolouring of the code tree's lines when the project settings are confirmed.
#include <gtest/gtest.h>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "logic/Recolouring.h"
#include "trace/LogLines.h"

namespace orvanel {
namespace {

constexpr TColor kBlue = 0x00FF0000;
constexpr TColor kYellow = 0x0000FFFF;
constexpr TColor kOlive = 0x00008080;
constexpr TColor kRed = 0x000000FF;

// How many records of the project's tree carry each colour.
size_t LinesIn(TProject& project, TColor colour) {
  size_t n = 0;
  for (const auto& line : project.Store().Lines()) n += line->TextColor() == colour;
  return n;
}

class Recolouring : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string log = test::ReadFile(test::TracePath("undisbeliever-wrmpyb-in-flight-snes9x.log"));
    project = test::ConvertedProject(ui, log);
    ASSERT_GT(LinesIn(*project, kOlive), 0u);  // back branches
    ASSERT_GT(LinesIn(*project, kRed), 0u);    // calls and returns
  }
  size_t Forward() { return LinesIn(*project, project->Palette.ForwardBranchColor); }

  test::TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
};

TEST_F(Recolouring, NoChangeLeavesEveryLineAsItWas) {
  std::vector<TColor> before;
  for (const auto& line : project->Store().Lines()) before.push_back(line->TextColor());
  ApplyRoleColours(*project, RoleColours(project->Palette));
  size_t i = 0;
  for (const auto& line : project->Store().Lines()) EXPECT_EQ(line->TextColor(), before[i++]);
}

TEST_F(Recolouring, BackBranchesTurnBlueAndThePaletteFollows) {
  const size_t olive = LinesIn(*project, kOlive);
  TRoleColours colours = RoleColours(project->Palette);
  colours[static_cast<size_t>(TColourRole::BackBranch)] = kBlue;
  ApplyRoleColours(*project, colours);
  EXPECT_EQ(LinesIn(*project, kOlive), 0u);
  EXPECT_EQ(LinesIn(*project, kBlue), olive);
  EXPECT_EQ(project->Palette.BackBranchColor, kBlue);
}

TEST_F(Recolouring, RolesThatShareAColourAllTakeTheEarliestRolesNewColour) {
  // With the defaults calls and returns are both red: a new return colour reaches no line.
  const size_t red = LinesIn(*project, kRed);
  TRoleColours colours = RoleColours(project->Palette);
  colours[static_cast<size_t>(TColourRole::Return)] = kBlue;
  ApplyRoleColours(*project, colours);
  EXPECT_EQ(LinesIn(*project, kRed), red);
  EXPECT_EQ(LinesIn(*project, kBlue), 0u);
  EXPECT_EQ(project->Palette.ReturnColor, kBlue);

  // Forward branches set to the back branches' colour, then back branches changed: both
  // kinds of line follow the forward branches, which come first.
  const size_t forward = Forward();
  const size_t olive = LinesIn(*project, kOlive);
  colours = RoleColours(project->Palette);
  colours[static_cast<size_t>(TColourRole::ForwardBranch)] = kOlive;
  ApplyRoleColours(*project, colours);
  EXPECT_EQ(LinesIn(*project, kOlive), olive + forward);
  colours = RoleColours(project->Palette);
  colours[static_cast<size_t>(TColourRole::BackBranch)] = kYellow;
  ApplyRoleColours(*project, colours);
  EXPECT_EQ(LinesIn(*project, kOlive), olive + forward);
  EXPECT_EQ(LinesIn(*project, kYellow), 0u);
}

TEST(RecolouredColour, FirstEqualRoleWinsAndOthersKeepTheirColour) {
  TRoleColours before = RoleColours(TPalette{});
  TRoleColours after = before;
  after[3] = kBlue;    // calls
  after[4] = kYellow;  // returns
  EXPECT_EQ(Recoloured(kRed, before, after), kBlue);
  EXPECT_EQ(Recoloured(0, before, after), 0);  // black lines equal no role
  EXPECT_EQ(ColourRoleCaptions()[6], "Cutted elements");
}

}  // namespace
}  // namespace orvanel
