#pragma once
// The clip/grab dialog "Ablage": the target name, the format, the window to capture (none:
// the clipboard's picture), a grab switch, a trigger key, sounds and inversion. It runs
// modally over the viewer, or with /X does its work at once without showing itself.
#include <windows.h>

namespace kamolt {

inline constexpr char kClipDialogClass[] = "TAblage";

// Creates a new dialog window over the viewer and returns when it is over.
void OpenClipDialog(HWND viewer);

}  // namespace kamolt
