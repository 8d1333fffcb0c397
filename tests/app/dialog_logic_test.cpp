// The settings dialog's procedure: which resolution, full screen, and the result.
#include <gtest/gtest.h>

#include "app/dialog.h"

namespace {

using app::DialogSettings;
using platform::DialogControls;
using platform::DialogMessage;
using platform::DialogReply;

struct Dialog {
  DialogControls controls;
  DialogSettings settings;
  DialogReply send(DialogMessage m, uint32_t w = 0) {
    return app::settingsDialogProcedure(m, w, controls, settings);
  }
  void click(int id) {
    if (id == platform::kDialogRes640 || id == platform::kDialogRes800 ||
        id == platform::kDialogRes1024) {
      controls.res640 = id == platform::kDialogRes640;
      controls.res800 = id == platform::kDialogRes800;
      controls.res1024 = id == platform::kDialogRes1024;
    }
    if (id == platform::kDialogFullscreen) controls.fullScreen = !controls.fullScreen;
  }
};

TEST(DialogProcedure, InitChecks640x480AndDoesNotEnd) {
  Dialog d;
  const DialogReply r = d.send(DialogMessage::Init);
  EXPECT_FALSE(r.end);
  EXPECT_TRUE(d.controls.res640);
  EXPECT_FALSE(d.controls.res800);
  EXPECT_FALSE(d.controls.res1024);
  EXPECT_FALSE(d.controls.fullScreen);
}

TEST(DialogProcedure, RunUntouchedIs640x480Windowed) {
  Dialog d;
  d.settings = {};
  d.send(DialogMessage::Init);
  const DialogReply r = d.send(DialogMessage::Command, platform::kDialogRun);
  EXPECT_TRUE(r.end);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(d.settings.width, 640);
  EXPECT_EQ(d.settings.height, 480);
  EXPECT_FALSE(d.settings.fullScreen);
}

TEST(DialogProcedure, RunTakesTheCheckedResolutionAndFullScreen) {
  Dialog d;
  d.send(DialogMessage::Init);
  d.click(platform::kDialogRes1024);
  d.click(platform::kDialogFullscreen);
  EXPECT_FALSE(d.send(DialogMessage::Command, platform::kDialogRes1024).end);
  EXPECT_FALSE(d.send(DialogMessage::Command, platform::kDialogFullscreen).end);
  const DialogReply r = d.send(DialogMessage::Command, platform::kDialogRun);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(d.settings.width, 1024);
  EXPECT_EQ(d.settings.height, 768);
  EXPECT_TRUE(d.settings.fullScreen);

  Dialog e;
  e.send(DialogMessage::Init);
  e.click(platform::kDialogRes800);
  e.send(DialogMessage::Command, platform::kDialogRun);
  EXPECT_EQ(e.settings.width, 800);
  EXPECT_EQ(e.settings.height, 600);
}

TEST(DialogProcedure, TheFirstCheckedResolutionWinsAndNoneKeepsTheSettings) {
  Dialog d;
  d.controls.res800 = d.controls.res1024 = true;
  d.send(DialogMessage::Command, platform::kDialogRun);
  EXPECT_EQ(d.settings.width, 800);

  Dialog none;
  none.settings = {333, 222, false};
  none.send(DialogMessage::Command, platform::kDialogRun);
  EXPECT_EQ(none.settings.width, 333);
  EXPECT_EQ(none.settings.height, 222);
}

TEST(DialogProcedure, FullScreenIsNeverClearedByRun) {
  Dialog d;
  d.settings.fullScreen = true;
  d.send(DialogMessage::Init);
  d.send(DialogMessage::Command, platform::kDialogRun);
  EXPECT_TRUE(d.settings.fullScreen);
}

TEST(DialogProcedure, ExitAndCloseEndWithZeroAndChangeNothing) {
  for (bool viaClose : {false, true}) {
    Dialog d;
    d.send(DialogMessage::Init);
    d.click(platform::kDialogRes800);
    d.click(platform::kDialogFullscreen);
    const DialogReply r = viaClose ? d.send(DialogMessage::Close)
                                   : d.send(DialogMessage::Command, platform::kDialogExit);
    EXPECT_TRUE(r.end);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(d.settings.width, 640);
    EXPECT_FALSE(d.settings.fullScreen);
  }
}

TEST(DialogProcedure, EscapeAndNotificationsOtherThanAClickDoNothing) {
  Dialog d;
  d.send(DialogMessage::Init);
  // The cancel command that Escape sends.
  EXPECT_FALSE(d.send(DialogMessage::Command, platform::kDialogCancel).end);
  // Run and Exit with a non-zero notification code in the high word (focus, double click).
  EXPECT_FALSE(d.send(DialogMessage::Command, (6u << 16) | platform::kDialogRun).end);
  EXPECT_FALSE(d.send(DialogMessage::Command, (5u << 16) | platform::kDialogExit).end);
  EXPECT_FALSE(d.send(DialogMessage::Command, 0).end);
  EXPECT_FALSE(d.send(DialogMessage::Command, 1).end);
  EXPECT_EQ(d.settings.width, 640);
}

}  // namespace
