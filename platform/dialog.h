// The settings dialog: a small borderless box with a greeting, three resolution choices, a
// full-screen check box and the Run and Exit buttons, shown modally before the show window
// exists. What the controls mean is decided by a procedure the caller passes in, the way a
// dialog procedure answers a dialog's messages; this layer only shows the controls and turns
// clicks and keys into messages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Control ids of the dialog template.
constexpr int kDialogFullscreen = 1000;  // automatic check box "Fullscreen"
constexpr int kDialogRun = 1001;         // default push button "Run"
constexpr int kDialogRes640 = 1002;      // automatic radio button "640 x 480"
constexpr int kDialogExit = 1003;        // push button "Exit"
constexpr int kDialogRes800 = 1004;      // automatic radio button "800 x 600"
constexpr int kDialogRes1024 = 1005;     // automatic radio button "1024 x 768"
constexpr int kDialogCancel = 2;         // the command the Escape key sends

enum class DialogMessage {
  Init,     // once, before the dialog is first drawn
  Command,  // a control was clicked (word parameter: the control id) or a key was pressed
  Close,    // the window was closed by the system
};

// Check states of the dialog's check box and radio buttons.
struct DialogControls {
  bool fullScreen = false;
  bool res640 = false;
  bool res800 = false;
  bool res1024 = false;

  // Check state of a control by id; false for ids that have none.
  bool isChecked(int id) const;
  // Sets the check state of a control by id; ids without one are ignored.
  void setChecked(int id, bool checked);
};

// The procedure's answer: end the dialog with result, or keep it open.
struct DialogReply {
  bool end = false;
  int result = 0;
};

using DialogProcedure =
    std::function<DialogReply(DialogMessage message, uint32_t wordParam, DialogControls& controls)>;

// One step of scripted input (tests): the dialog runs them in order, a few frames apart, through
// the same paths as a person's input.
struct DialogInput {
  enum class Kind {
    Click,   // press and release the left button at the centre of control `control`
    Escape,  // the Escape key
    Enter,   // the Enter key
    Close,   // the system's close command for the window
  };
  Kind kind = Kind::Click;
  int control = 0;
};

// Result when a script ran out without the dialog ending.
constexpr int kDialogScriptExhausted = -2;

// Shows the dialog modally until the procedure ends it; returns the procedure's result, or -1
// when the dialog cannot be created (no video, no window, no context). With a script, input
// comes from the script only, and the dialog gives up with kDialogScriptExhausted a few frames
// after the last step.
int runSettingsDialog(const std::string& greeting, const DialogProcedure& procedure,
                      const std::vector<DialogInput>* script = nullptr);

}  // namespace platform
