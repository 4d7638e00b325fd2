#pragma once
// The scan dialog "Scan": target name, format, resolution, colour depth, paper size and the
// scanner's options. It runs modally over the viewer, or with /X scans at once without
// showing itself.
#include <windows.h>

namespace kamolt {

inline constexpr char kScanDialogClass[] = "TScan";

// Creates a new dialog window over the viewer and returns when it is over.
void OpenScanDialog(HWND viewer);

}  // namespace kamolt
