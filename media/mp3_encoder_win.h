#pragma once
// The outside MP3 encoder lame.exe, run through the command interpreter.
#include <string>

namespace kamolt {

// lame.exe in the program's own folder, else in the Windows folder, as a short path;
// empty when neither holds it.
std::string FindEncoder();

enum class EncodeResult { Encoded, Failed, TimedOut };

// Converts `source` to `target` and waits for the encoder, for a time that grows with the
// recording's size; an encoder still running then is ended. Encoded only when it ended well
// and left a new, non-empty `target`: anything less must not cost the user the recording.
// When it is not Encoded, what the encoder left is removed and an MP3 that was there
// before is back as it was.
EncodeResult Encode(const std::string& encoder, const std::string& source, const std::string& target);

}  // namespace kamolt
