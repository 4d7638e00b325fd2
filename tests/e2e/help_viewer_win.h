// Wine's own help viewer, seen from outside: the windows that carry the help file's title.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The title hh.exe gives the window of the program's help file.
constexpr const char* kHelpTitle = "Kamolt-Hilfe";

// Visible top-level windows titled kHelpTitle, of any process.
std::vector<HWND> HelpWindows();

// Ends the help viewers a test opened when it goes out of scope, so none is left for the
// next test to count.
class HelpViewersEnded {
 public:
  HelpViewersEnded() = default;
  HelpViewersEnded(const HelpViewersEnded&) = delete;
  HelpViewersEnded& operator=(const HelpViewersEnded&) = delete;
  ~HelpViewersEnded();
};

}  // namespace e2e
