// The settings dialog on Win32: dialog resource 120 shown modally with the system's dialog
// manager. The system draws the controls and keeps their check states; the dialog procedure
// here hands the messages the caller's procedure answers to it, with the check states read from
// the controls before and written back after.
#include "platform/dialog.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win32/dialog_logic.h"

namespace platform {

namespace {

constexpr int kDialogResource = 120;
constexpr UINT_PTR kScriptTimer = 1;
constexpr UINT kScriptStepMs = 150;
constexpr UINT_PTR kReportTimer = 2;
constexpr int kControlIds[] = {kDialogFullscreen, kDialogRes640, kDialogRes800, kDialogRes1024};
constexpr int kAllControls[] = {kDialogFullscreen, kDialogRun,    kDialogExit,
                                kDialogRes640,     kDialogRes800, kDialogRes1024};

struct DialogState {
  const std::string* greeting = nullptr;
  const DialogProcedure* procedure = nullptr;
  const std::vector<DialogInput>* script = nullptr;
  size_t step = 0;
  int idleSteps = 0;
  DialogControls controls;
};

void readControls(HWND dialog, DialogControls& controls) {
  for (int id : kControlIds) controls.setChecked(id, IsDlgButtonChecked(dialog, id) == BST_CHECKED);
}

void writeControls(HWND dialog, const DialogControls& controls) {
  for (int id : kControlIds)
    CheckDlgButton(dialog, id, controls.isChecked(id) ? BST_CHECKED : BST_UNCHECKED);
}

BOOL CALLBACK setGreeting(HWND child, LPARAM text) {
  char cls[16] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    SetWindowTextA(child, reinterpret_cast<const char*>(text));
    return FALSE;
  }
  return TRUE;
}

// Test hook: the screen position of each control's centre, so that a script outside the
// process can click them with real input.
void reportControls(HWND dialog) {
  for (int id : kAllControls) {
    RECT r;
    if (!GetWindowRect(GetDlgItem(dialog, id), &r)) continue;
    std::fprintf(stderr, "glimmer: dialog control %d at %ld %ld\n", id, (r.left + r.right) / 2,
                 (r.top + r.bottom) / 2);
  }
  std::fflush(stderr);
}

// One scripted step, through the paths a person's input takes: a click on a button, a key
// press posted to the dialog, or the system's close command.
void scriptStep(HWND dialog, const DialogInput& in) {
  switch (in.kind) {
    case DialogInput::Kind::Click:
      SendMessageA(GetDlgItem(dialog, in.control), BM_CLICK, 0, 0);
      break;
    case DialogInput::Kind::Escape:
      PostMessageA(GetDlgItem(dialog, kDialogRun), WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessageA(GetDlgItem(dialog, kDialogRun), WM_KEYUP, VK_ESCAPE, 0);
      break;
    case DialogInput::Kind::Enter:
      PostMessageA(GetDlgItem(dialog, kDialogRun), WM_KEYDOWN, VK_RETURN, 0);
      PostMessageA(GetDlgItem(dialog, kDialogRun), WM_KEYUP, VK_RETURN, 0);
      break;
    case DialogInput::Kind::Close:
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (!state) return FALSE;
  if (message == WM_INITDIALOG) {
    EnumChildWindows(dialog, setGreeting, reinterpret_cast<LPARAM>(state->greeting->c_str()));
    if (state->script) SetTimer(dialog, kScriptTimer, kScriptStepMs, nullptr);
    const char* report = std::getenv("GLIMMER_TEST_DIALOG_REPORT");
    if (report && *report) SetTimer(dialog, kReportTimer, 300, nullptr);
  }
  if (message == WM_TIMER && wParam == kReportTimer) {
    KillTimer(dialog, kReportTimer);
    reportControls(dialog);
    return TRUE;
  }
  if (message == WM_TIMER && wParam == kScriptTimer) {
    const std::vector<DialogInput>& script = *state->script;
    if (state->step < script.size()) {
      scriptStep(dialog, script[state->step++]);
    } else if (++state->idleSteps > 2) {
      KillTimer(dialog, kScriptTimer);
      EndDialog(dialog, kDialogScriptExhausted);
    }
    return TRUE;
  }
  const win32::Translated t = win32::translateDialogMessage(message, wParam);
  if (!t.relevant) return FALSE;
  readControls(dialog, state->controls);
  const DialogReply reply = (*state->procedure)(t.message, t.wordParam, state->controls);
  writeControls(dialog, state->controls);
  if (reply.end) EndDialog(dialog, reply.result);
  return win32::dialogProcedureResult(t, reply);
}

}  // namespace

int runSettingsDialog(const std::string& greeting, const DialogProcedure& procedure,
                      const std::vector<DialogInput>* script) {
  DialogState state;
  state.greeting = &greeting;
  state.procedure = &procedure;
  state.script = script;
  const INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogResource), nullptr,
                      dialogProcedure, reinterpret_cast<LPARAM>(&state));
  return static_cast<int>(result);
}

}  // namespace platform
