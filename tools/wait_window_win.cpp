// Waits until a top-level window whose title starts with the given text exists, so that
// shell scripts can wait for a program under Wine without guessing a time.
//   wait_window.exe <title start> [timeout in ms, default 10000]
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

const char* wantedTitle = "";

BOOL CALLBACK CheckWindow(HWND window, LPARAM found) {
  char title[512];
  GetWindowTextA(window, title, sizeof title);
  if (IsWindowVisible(window) && std::strncmp(title, wantedTitle, std::strlen(wantedTitle)) == 0) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  wantedTitle = argv[1];
  const DWORD timeout = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 10000;
  const DWORD start = GetTickCount();
  do {
    bool found = false;
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&found));
    if (found) return 0;
    Sleep(50);
  } while (GetTickCount() - start < timeout);
  return 1;
}
