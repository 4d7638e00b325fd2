#pragma once
// The JPEG copy of the picture in the viewer, rewritten after every load.
#include <string>

#include "app/picture_win.h"

namespace kamolt {

inline constexpr int kJpegCopyQuality = 90;

// Writes picture to path as a baseline 24-bit JPEG, replacing any file there; the old file
// stays whole when the new one cannot be put in place. An empty picture writes nothing.
// Throws std::runtime_error with the platform's reason when the file cannot be written.
void WriteJpegCopy(const Picture& picture, const std::string& path);

}  // namespace kamolt
