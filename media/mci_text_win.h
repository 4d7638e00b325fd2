#pragma once
// Texts to and from MCI: its own words for its error codes, for the messages the user sees,
// and names in the wide form its commands take.
#include <windows.h>

#include <mmsystem.h>

#include <string>

namespace kamolt {

std::string MciErrorText(MCIERROR error);

// A name in the ANSI code page as UTF-16.
std::wstring WideText(const std::string& text);

}  // namespace kamolt
