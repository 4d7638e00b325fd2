#pragma once
#include <windows.h>

namespace kamolt {

// Creates a new window of the sound recorder over the viewer; it reads the command line for its own
// options and either does its work at once or runs modally. Until that window is built,
// the viewer stays as it is.
void OpenSoundRecorder(HWND viewer);

}  // namespace kamolt
