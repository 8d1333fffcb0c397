// Check states of the settings dialog's controls, kept by id as the dialog's buttons keep theirs.
#include "platform/dialog.h"

namespace platform {

bool DialogControls::isChecked(int id) const {
  switch (id) {
    case kDialogFullscreen:
      return fullScreen;
    case kDialogRes640:
      return res640;
    case kDialogRes800:
      return res800;
    case kDialogRes1024:
      return res1024;
    default:
      return false;
  }
}

void DialogControls::setChecked(int id, bool checked) {
  switch (id) {
    case kDialogFullscreen:
      fullScreen = checked;
      break;
    case kDialogRes640:
      res640 = checked;
      break;
    case kDialogRes800:
      res800 = checked;
      break;
    case kDialogRes1024:
      res1024 = checked;
      break;
    default:
      break;
  }
}

}  // namespace platform
