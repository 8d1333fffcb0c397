// The real settings dialog (Dear ImGui on an SDL window) driven by scripted clicks and keys.
// Runs headless through SDL's offscreen driver, and under Xvfb for the window path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/dialog.h"
#include "platform/platform.h"

namespace {

using app::DialogSettings;
using platform::DialogInput;
using Kind = platform::DialogInput::Kind;

class DialogScript : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && std::string(driver) == "offscreen") unsetenv("DISPLAY");
    std::string error;
    if (!platform::startVideo(error)) GTEST_SKIP() << "no video driver: " << error;
  }
  void TearDown() override { platform::stopVideo(); }

  int run(const std::vector<DialogInput>& script) {
    const int result = app::showSettingsDialog(settings, &script);
    if (result == -1) ADD_FAILURE() << "the dialog could not be created";
    return result;
  }
  DialogSettings settings;
};

DialogInput click(int id) { return {Kind::Click, id}; }

TEST_F(DialogScript, RunUntouchedGives640x480Windowed) {
  EXPECT_EQ(run({click(platform::kDialogRun)}), 1);
  EXPECT_EQ(settings.width, 640);
  EXPECT_EQ(settings.height, 480);
  EXPECT_FALSE(settings.fullScreen);
}

TEST_F(DialogScript, ChoicesMadeWithTheMouseReachTheSettingsEscapeIsIgnored) {
  EXPECT_EQ(run({click(platform::kDialogRes1024),
                 click(platform::kDialogFullscreen),
                 {Kind::Escape, 0},
                 click(platform::kDialogRun)}),
            1);
  EXPECT_EQ(settings.width, 1024);
  EXPECT_EQ(settings.height, 768);
  EXPECT_TRUE(settings.fullScreen);
}

TEST_F(DialogScript, RadioButtonsAreExclusiveAndTheCheckBoxToggles) {
  EXPECT_EQ(run({click(platform::kDialogRes1024), click(platform::kDialogRes800),
                 click(platform::kDialogFullscreen), click(platform::kDialogFullscreen),
                 click(platform::kDialogRun)}),
            1);
  EXPECT_EQ(settings.width, 800);
  EXPECT_EQ(settings.height, 600);
  EXPECT_FALSE(settings.fullScreen);
}

TEST_F(DialogScript, ExitEndsWithZeroAndKeepsTheSettings) {
  EXPECT_EQ(run({click(platform::kDialogRes800), click(platform::kDialogExit)}), 0);
  EXPECT_EQ(settings.width, 640);
  EXPECT_EQ(settings.height, 480);
}

TEST_F(DialogScript, TheSystemCloseCommandBehavesLikeExit) {
  EXPECT_EQ(run({click(platform::kDialogRes1024), {Kind::Close, 0}}), 0);
  EXPECT_EQ(settings.width, 640);
}

TEST_F(DialogScript, EnterClicksTheDefaultButton) {
  EXPECT_EQ(run({click(platform::kDialogRes800), {Kind::Enter, 0}}), 1);
  EXPECT_EQ(settings.width, 800);
}

TEST_F(DialogScript, EscapeAloneLeavesTheDialogOpen) {
  EXPECT_EQ(run({{Kind::Escape, 0}, {Kind::Escape, 0}}), platform::kDialogScriptExhausted);
}

}  // namespace
