#pragma once
// The sound recorder "Zelvo-Multi-Media": records one sound from the default input into a
// wave file named after the viewer's title, plays it, and on Eject finishes the file (in
// MP3 mode through the outside encoder) and ends the program. A switch on a serial port
// can start and pause the recording.
#include <windows.h>

namespace kamolt {

inline constexpr char kSoundRecorderClass[] = "TDMedia";

// Creates the recorder over the viewer and returns when it is over; the program then ends.
void OpenSoundRecorder(HWND viewer);

}  // namespace kamolt
