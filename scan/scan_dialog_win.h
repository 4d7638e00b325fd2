#pragma once
#include <windows.h>

namespace kamolt {

// Creates a new window of the scan dialog over the viewer; it reads the command line for its own
// options and either does its work at once or runs modally. Until that window is built,
// the viewer stays as it is.
void OpenScanDialog(HWND viewer);

}  // namespace kamolt
