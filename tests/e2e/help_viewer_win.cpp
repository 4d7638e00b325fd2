#include "help_viewer_win.h"

#include "harness_win.h"

namespace e2e {
namespace {

BOOL CALLBACK CollectHelpWindow(HWND window, LPARAM found) {
  if (IsWindowVisible(window) && WindowText(window) == kHelpTitle) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> HelpWindows() {
  std::vector<HWND> found;
  EnumWindows(CollectHelpWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

HelpViewersEnded::~HelpViewersEnded() {
  for (HWND window : HelpWindows()) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId)) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
}

}  // namespace e2e
