// Times the viewer's step to the next picture, as the Space key starts it: finds the visible
// top-level window whose title starts with the first text, posts it the key as the keyboard
// would (down, up), and waits until its title starts with the second text; then closes it.
//   step_timer.exe <title start> <next title start>
// Prints "<ms>"; exit code 1 on a time-out (30 s), 2 on a usage problem.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

bool StartsWith(HWND window, const char* text) {
  char title[512];
  GetWindowTextA(window, title, sizeof title);
  return std::strncmp(title, text, std::strlen(text)) == 0;
}

struct Search {
  const char* title;
  HWND found;
};

BOOL CALLBACK Check(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || !StartsWith(window, search->title)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  Search search{argv[1], nullptr};
  const DWORD began = GetTickCount();
  while (EnumWindows(Check, reinterpret_cast<LPARAM>(&search)), !search.found) {
    if (GetTickCount() - began > 30000) return 1;
    Sleep(5);
  }
  // Settled: the first picture's timers and paints are done.
  Sleep(500);
  const LPARAM spaceScanCode = static_cast<LPARAM>(MapVirtualKeyA(VK_SPACE, MAPVK_VK_TO_VSC)) << 16;
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  PostMessageA(search.found, WM_KEYDOWN, VK_SPACE, spaceScanCode | 1);
  PostMessageA(search.found, WM_KEYUP, VK_SPACE, spaceScanCode | 1 | (LPARAM{3} << 30));
  const DWORD stepped = GetTickCount();
  while (!StartsWith(search.found, argv[2])) {
    if (GetTickCount() - stepped > 30000) return 1;
    Sleep(0);
  }
  QueryPerformanceCounter(&now);
  std::printf("%.1f\n", 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart);
  std::fflush(stdout);
  PostMessageA(search.found, WM_CLOSE, 0, 0);
  return 0;
}
