#pragma once
// Where the running program lies: its settings, its hand-off file and the programs it
// starts are looked for beside it.
#include <string>

namespace kamolt::win {

// The program's folder with its closing backslash; empty when its path is too long to read.
std::string ProgramFolder();

}  // namespace kamolt::win
