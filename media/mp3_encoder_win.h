#pragma once
// The outside MP3 encoder lame.exe, run through the command interpreter.
#include <string>

namespace kamolt {

// lame.exe in the program's own folder, else in the Windows folder, as a short path;
// empty when neither holds it.
std::string FindEncoder();

// Converts `source` to `target` and waits for the encoder. true only when it ended well and
// left a new, non-empty `target`: anything less must not cost the user the recording.
bool Encode(const std::string& encoder, const std::string& source, const std::string& target);

}  // namespace kamolt
