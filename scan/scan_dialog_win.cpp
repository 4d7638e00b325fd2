#include "scan/scan_dialog_win.h"

namespace kamolt {

void OpenScanDialog(HWND) {}

}  // namespace kamolt
