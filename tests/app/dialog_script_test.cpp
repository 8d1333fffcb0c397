// The real settings dialog (Dear ImGui on an SDL window) driven by scripted clicks and keys.
// Runs headless through SDL's offscreen driver, and under Xvfb for the window path.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/dialog.h"
#include "platform/platform.h"

namespace {

using Kind = platform::DialogInput::Kind;

TEST(DialogScript, ClicksAndKeysReachTheSettings) {
  std::string error;
  if (!platform::startVideo(error)) GTEST_SKIP() << "no video driver: " << error;
  const platform::DialogInput run{Kind::Click, platform::kDialogRun},
      exit{Kind::Click, platform::kDialogExit}, full{Kind::Click, platform::kDialogFullscreen},
      r800{Kind::Click, platform::kDialogRes800}, r1024{Kind::Click, platform::kDialogRes1024},
      escape{Kind::Escape, 0}, enter{Kind::Enter, 0}, close{Kind::Close, 0};
  // Label, script, result, width, height, full screen.
  const std::tuple<const char*, std::vector<platform::DialogInput>, int, int, int, bool> rows[] = {
      // clang-format off
      {"run untouched", {run}, 1, 640, 480, false},
      {"mouse choices reach the settings, Escape ignored", {r1024, full, escape, run}, 1, 1024, 768, true},
      {"radio buttons exclusive, check box toggles", {r1024, r800, full, full, run}, 1, 800, 600, false},
      {"exit keeps the settings", {r800, exit}, 0, 640, 480, false},
      {"the system's close is Exit", {r1024, close}, 0, 640, 480, false},
      {"Enter clicks the default button", {r800, enter}, 1, 800, 600, false},
      {"Escape alone leaves it open", {escape, escape}, platform::kDialogScriptExhausted, 640, 480, false},
      // clang-format on
  };
  for (const auto& [label, script, result, width, height, fullScreen] : rows) {
    app::DialogSettings s;
    EXPECT_EQ(app::showSettingsDialog(s, &script), result) << label;
    EXPECT_EQ(std::tie(s.width, s.height, s.fullScreen), std::tie(width, height, fullScreen))
        << label;
  }
  platform::stopVideo();
}

}  // namespace
