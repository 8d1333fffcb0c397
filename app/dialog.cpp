// The settings dialog's procedure and the call that shows it.
#include "app/dialog.h"

namespace app {

const char* const kDialogGreeting = "Welcome to glimmer";

platform::DialogReply settingsDialogProcedure(platform::DialogMessage message, uint32_t wordParam,
                                              platform::DialogControls& controls,
                                              DialogSettings& settings) {
  using platform::DialogMessage;
  switch (message) {
    case DialogMessage::Init:
      controls.setChecked(platform::kDialogRes640, true);
      return {false, 0};
    case DialogMessage::Command:
      if (wordParam == platform::kDialogRun) {
        if (controls.isChecked(platform::kDialogRes640)) {
          settings.width = 640;
          settings.height = 480;
        } else if (controls.isChecked(platform::kDialogRes800)) {
          settings.width = 800;
          settings.height = 600;
        } else if (controls.isChecked(platform::kDialogRes1024)) {
          settings.width = 1024;
          settings.height = 768;
        }
        if (controls.isChecked(platform::kDialogFullscreen)) settings.fullScreen = true;
        return {true, 1};
      }
      if (wordParam == platform::kDialogExit) return {true, 0};
      return {false, 0};
    case DialogMessage::Close:
      return {true, 0};
  }
  return {false, 0};
}

int showSettingsDialog(DialogSettings& settings, const std::vector<platform::DialogInput>* script) {
  return platform::runSettingsDialog(
      kDialogGreeting,
      [&settings](platform::DialogMessage m, uint32_t w, platform::DialogControls& c) {
        return settingsDialogProcedure(m, w, c, settings);
      },
      script);
}

}  // namespace app
