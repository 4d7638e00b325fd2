#pragma once
// The external converter i_view32.exe, which turns the temporary bitmap into PNG.
#include <windows.h>

#include <string>

namespace kamolt {

// The short form of the converter's full path: found by its bare name in the current
// folder, else in the program's folder, else in the Windows folder. Empty when it is in
// none of them, or when its path would not fit the record's 256 characters.
std::string LocateExternalConverter();

// Starts the command line hidden and waits for the program to end. false when it could
// not be started or had not ended after timeoutMs.
bool RunExternalConverter(const std::string& commandLine, DWORD timeoutMs);

}  // namespace kamolt
