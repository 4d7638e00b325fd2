#pragma once
// The platform's own words for an error code.
#include <windows.h>

#include <string>

namespace kamolt::win {

// Without the line break the platform ends its messages with; empty when it has no words.
std::string SystemMessage(DWORD code);

}  // namespace kamolt::win
