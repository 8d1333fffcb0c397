// The settings dialog's procedure: which resolution, full screen, and the result.
#include <gtest/gtest.h>

#include "app/dialog.h"

namespace {

using app::DialogSettings;
using platform::DialogMessage;

// Steps: a command with that word parameter, or one of these two messages.
constexpr uint32_t kInit = 0xFFFF0000, kClose = 0xFFFF0001;
constexpr uint32_t kFull = platform::kDialogFullscreen, kRun = platform::kDialogRun,
                   kExit = platform::kDialogExit, k640 = platform::kDialogRes640,
                   k800 = platform::kDialogRes800, k1024 = platform::kDialogRes1024;

TEST(DialogProcedure, ScriptedMessages) {
  struct Row {
    const char* label;
    DialogSettings start;
    bool both800And1024Checked;
    std::vector<uint32_t> steps;
    bool end;
    int result;
    DialogSettings after;
  };
  // clang-format off
  const Row rows[] = {
      {"run untouched", {}, false, {kInit, kRun}, true, 1, {640, 480, false}},
      {"1024 full screen", {}, false, {kInit, k1024, kFull, kRun}, true, 1, {1024, 768, true}},
      {"800", {}, false, {kInit, k800, kRun}, true, 1, {800, 600, false}},
      {"first checked wins", {}, true, {kRun}, true, 1, {800, 600, false}},
      {"none checked keeps the size", {333, 222, false}, false, {kRun}, true, 1, {333, 222, false}},
      {"full screen never cleared", {640, 480, true}, false, {kInit, kRun}, true, 1, {640, 480, true}},
      {"exit changes nothing", {}, false, {kInit, k800, kFull, kExit}, true, 0, {640, 480, false}},
      {"close changes nothing", {}, false, {kInit, k800, kFull, kClose}, true, 0, {640, 480, false}},
      // Escape's cancel command; Run and Exit with a notification code in the high word.
      {"only plain clicks count", {}, false,
       {kInit, platform::kDialogCancel, (6u << 16) | kRun, (5u << 16) | kExit, 0, 1}, false, 0,
       {640, 480, false}},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    platform::DialogControls controls;
    controls.res800 = controls.res1024 = r.both800And1024Checked;
    DialogSettings settings = r.start;
    platform::DialogReply reply;
    for (size_t i = 0; i < r.steps.size(); ++i) {
      const uint32_t s = r.steps[i];
      // The automatic radio buttons and check box change their own state before the command.
      if (s == k640 || s == k800 || s == k1024)
        controls.res640 = s == k640, controls.res800 = s == k800, controls.res1024 = s == k1024;
      if (s == kFull) controls.fullScreen = !controls.fullScreen;
      const DialogMessage m = s == kInit    ? DialogMessage::Init
                              : s == kClose ? DialogMessage::Close
                                            : DialogMessage::Command;
      reply = app::settingsDialogProcedure(m, s, controls, settings);
      EXPECT_TRUE(!reply.end || i + 1 == r.steps.size()) << "ended at step " << i;
      // Init checks 640 x 480 only.
      EXPECT_TRUE(s != kInit || (controls.res640 && !controls.res800 && !controls.res1024 &&
                                 !controls.fullScreen));
    }
    EXPECT_EQ(reply.end, r.end);
    EXPECT_EQ(reply.result, r.result);
    EXPECT_EQ(settings.width, r.after.width);
    EXPECT_EQ(settings.height, r.after.height);
    EXPECT_EQ(settings.fullScreen, r.after.fullScreen);
  }
}

}  // namespace
