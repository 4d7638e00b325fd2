#pragma once
// Starting other programs: the help viewer, and a program that opens a picture.
#include <string>

namespace kamolt::win {

// Starts the command line shown normally and does not wait for it; false when it cannot be
// started (the platform's error code is then the thread's last error). Without a working
// folder the program inherits this one's.
bool StartProgramLine(const std::string& commandLine, const std::string& workingFolder = {});

// The help of every window, opened at its start page. Throws when hh.exe cannot be started.
void StartHelp();

}  // namespace kamolt::win
