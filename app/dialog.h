// The settings dialog's decisions: which resolution, whether full screen, and the result.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dialog.h"

namespace app {

struct DialogSettings {
  int width = 640;
  int height = 480;
  bool fullScreen = false;
};

// The dialog procedure. Init checks "640 x 480". Run (a command whose whole word parameter is
// 1001, so only plain clicks and Enter count) takes the first checked of 640 x 480, 800 x 600,
// 1024 x 768 (none checked: the settings stay), sets fullScreen when "Fullscreen" is checked
// (never clears it) and ends with 1. Exit (1003) and the close command end with 0. Everything
// else, the cancel command sent by Escape included, does nothing.
platform::DialogReply settingsDialogProcedure(platform::DialogMessage message, uint32_t wordParam,
                                              platform::DialogControls& controls,
                                              DialogSettings& settings);

// The greeting line at the top of the dialog.
extern const char* const kDialogGreeting;

// Shows the dialog and applies its answers to settings. Returns 1 (Run), 0 (Exit or closed), or
// -1 when the dialog could not be created (the settings stay as they were).
int showSettingsDialog(DialogSettings& settings,
                       const std::vector<platform::DialogInput>* script = nullptr);

}  // namespace app
