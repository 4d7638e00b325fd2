#pragma once
// The two-character counter in front of a picture's extension that a grab series or a key
// trigger moves on from picture to picture.
#include <string>
#include <string_view>

namespace kamolt {

// The last character before the extension's dot counts 0..9, A..Z (and on by character
// code); past Z it restarts at 0 and carries into the character before it, which has no
// carry of its own (so ZZ is followed by [0). A name without an extension counts on its
// last two characters, and nothing is appended. Only the file part counts: a name with one
// character before the dot gets a counter character in front of it when it carries, and a
// name with none gets a 1. Characters a file name cannot hold are stepped over.
std::string AdvanceFileName(std::string_view name);

}  // namespace kamolt
