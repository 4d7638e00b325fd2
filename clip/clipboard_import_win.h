#pragma once
// Writes the clipboard's picture to a file in the chosen format, asking a capture
// application to copy its current picture first when the clipboard holds none.
#include <windows.h>

#include <cstddef>
#include <string>

namespace kamolt {

inline constexpr char kClipboardCaption[] = "Zelvo-Zwischenablage";

// The longest name the clip and grab side takes: the writer's record holds no more.
inline constexpr std::size_t kFileNameBufferMax = 255;

// true when the name fits; otherwise tells the user and returns false, so a long name is
// refused rather than cut to a different one.
bool FileNameFits(const std::string& fileName);

// The top-level window titled `title` (not looked for when empty), else "CapTestApp",
// else "Capture Test App"; null when none of them runs.
HWND FindCaptureWindow(const std::string& title);

// Brings the capture application to the front, sends it Ctrl+C as character and key
// messages, waits up to 20 x 200 ms for a picture on the clipboard, then brings the
// clip/grab dialog back to the front. Does nothing when no capture application runs.
void RequestCaptureCopy(const std::string& windowTitle);

// Writes the clipboard's picture (a DIB, or a picture offered only as a V5 DIB or a
// bitmap) through the writer under fileName, which returns as the name written. A 1-bit
// picture is inverted first when `invert` is set. The clipboard is emptied once the writer
// has had the picture. true when the file was written.
bool SaveClipboardPicture(std::string& fileName, int formatCode, const std::string& windowTitle, bool invert);

}  // namespace kamolt
