#include "clip/clip_dialog_win.h"

namespace kamolt {

void OpenClipDialog(HWND) {}

}  // namespace kamolt
