#pragma once
// The external converter i_view32.exe, which turns the temporary bitmap into PNG.
#include <windows.h>

#include <cstdint>
#include <string>

#include "convert/child_process_win.h"

namespace kamolt {

// The short form of the converter's full path: found by its bare name in the current
// folder, else in the program's folder, else in the Windows folder. Empty when it is in
// none of them, or when its path would not fit the record's 256 characters.
std::string LocateExternalConverter();

// Runs the command line hidden and waits for the converter, for a time that grows with the
// size of its source file; a converter still running then is ended.
ChildOutcome RunExternalConverter(const std::string& commandLine, std::uint64_t sourceBytes);

}  // namespace kamolt
