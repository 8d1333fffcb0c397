// The system-independent half of the Win32 settings dialog: which dialog messages reach the
// caller's procedure, as what, and what the system's dialog procedure returns for them.
#pragma once

#include <cstdint>

#include "platform/dialog.h"

namespace platform::win32 {

// Message numbers of the dialog messages the procedure answers.
constexpr uint32_t kMessageClose = 0x0010;
constexpr uint32_t kMessageInitDialog = 0x0110;
constexpr uint32_t kMessageCommand = 0x0111;

// What a system dialog message means to the procedure: relevant is false for the messages it
// never sees. The word parameter is passed whole (notification code in the high half), so
// only plain clicks match a control id.
struct Translated {
  bool relevant = false;
  DialogMessage message = DialogMessage::Init;
  uint32_t wordParam = 0;
};
Translated translateDialogMessage(uint32_t message, uint64_t wordParam);

// Value the system's dialog procedure returns: 0 for the initialise message (the system then
// leaves the keyboard focus alone), 1 for a command that ended the dialog with 1, else 0.
intptr_t dialogProcedureResult(const Translated& translated, const DialogReply& reply);

}  // namespace platform::win32
