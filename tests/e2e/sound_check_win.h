// Sound files for and from the recorder's tests: a tone written as a wave file, and what
// SoX, an independent reader, finds in a recording.
#pragma once

#include <string>

namespace e2e {

// A 440 Hz tone as an 8-bit mono PCM wave file at 11025 Hz, the recorder's own format.
std::string ToneWaveFile(double seconds);

struct ToneSeen {
  double seconds = 0;
  double frequency = 0;  // SoX's rough frequency
};
// Throws when SoX cannot read the file.
ToneSeen ReadToneWithSox(const std::string& windowsPath);

}  // namespace e2e
