#pragma once
// Windows bitmap files written straight from a DIB handle.
#include <windows.h>

#include <string>

namespace kamolt {

// 0 when written; -2 when the file cannot be created or put in place, -3 when the DIB
// cannot be locked or is not a DIB we can measure, -4 when a write fails (the codes of
// convert/dib_writing.h). On failure the file that was at path is left as it was.
// Stores the image size into the DIB's biSizeImage.
int WriteDIBtoBMP(HGLOBAL dib, const std::string& path);

}  // namespace kamolt
