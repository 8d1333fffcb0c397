// The system-independent half of the Win32 settings dialog.
#include "platform/win32/dialog_logic.h"

namespace platform::win32 {

Translated translateDialogMessage(uint32_t message, uint64_t wordParam) {
  Translated t;
  switch (message) {
    case kMessageInitDialog:
      t.relevant = true;
      t.message = DialogMessage::Init;
      break;
    case kMessageCommand:
      t.relevant = true;
      t.message = DialogMessage::Command;
      t.wordParam = static_cast<uint32_t>(wordParam);
      break;
    case kMessageClose:
      t.relevant = true;
      t.message = DialogMessage::Close;
      break;
    default:
      break;
  }
  return t;
}

intptr_t dialogProcedureResult(const Translated& translated, const DialogReply& reply) {
  if (!translated.relevant || translated.message != DialogMessage::Command) return 0;
  return reply.end && reply.result == 1 ? 1 : 0;
}

}  // namespace platform::win32
