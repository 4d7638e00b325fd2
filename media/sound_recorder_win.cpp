#include "media/sound_recorder_win.h"

namespace kamolt {

void OpenSoundRecorder(HWND) {}

}  // namespace kamolt
