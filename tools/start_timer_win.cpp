// Times a program's start under the platform itself, without the launcher's own start:
//   start_timer.exe <title start> <program> [arguments...]
//     from CreateProcess until a visible top-level window of that process whose title
//     starts with the text exists; the window is then closed
//   start_timer.exe - <program> [arguments...]
//     from CreateProcess until the program has ended
//   start_timer.exe noop
//     does nothing: the trivial program to time the bare start against
//   start_timer.exe --end-after <ms> <title start> <program> [arguments...]
//     as the first form, but the program is ended from outside that long after the window
//     shows, as a host may end it; then prints a second line, "clipboard <w>x<h>" with the
//     size of the picture the clipboard holds, or "clipboard empty"
// Prints "<ms>"; exit code 1 on a time-out (30 s), 2 on a usage problem.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "win/handles_win.h"

namespace {

struct Search {
  DWORD process;
  const char* title;
  HWND found;
};

BOOL CALLBACK Check(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char title[512];
  GetWindowTextA(window, title, sizeof title);
  if (owner == search->process && IsWindowVisible(window) &&
      std::strncmp(title, search->title, std::strlen(search->title)) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

void PrintClipboardPicture() {
  int width = 0, height = 0;
  if (OpenClipboard(nullptr)) {
    if (const HANDLE dib = GetClipboardData(CF_DIB)) {
      if (const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib))) {
        width = header->biWidth;
        height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
        GlobalUnlock(dib);
      }
    }
    CloseClipboard();
  }
  if (width > 0) {
    std::printf("clipboard %dx%d\n", width, height);
  } else {
    std::printf("clipboard empty\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "noop") == 0) return 0;
  int endAfter = -1;
  if (argc > 2 && std::strcmp(argv[1], "--end-after") == 0) {
    endAfter = std::atoi(argv[2]);
    argc -= 2;
    argv += 2;
  }
  if (argc < 3) return 2;
  std::string commandLine;
  for (int i = 2; i < argc; ++i) commandLine += std::string(i > 2 ? " \"" : "\"") + argv[i] + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    std::fprintf(stderr, "start_timer: cannot start %s\n", argv[2]);
    return 2;
  }
  const kamolt::win::KernelObject process(info.hProcess), thread(info.hThread);
  const bool waitForExit = std::strcmp(argv[1], "-") == 0;
  Search search{info.dwProcessId, argv[1], nullptr};
  const DWORD began = GetTickCount();
  for (;;) {
    if (waitForExit) {
      if (WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) break;
    } else {
      EnumWindows(Check, reinterpret_cast<LPARAM>(&search));
      if (search.found) break;
      if (WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) {
        std::fprintf(stderr, "start_timer: the program ended without the window\n");
        return 1;
      }
    }
    if (GetTickCount() - began > 30000) {
      TerminateProcess(process.Get(), 1);
      return 1;
    }
  }
  QueryPerformanceCounter(&now);
  std::printf("%.1f\n", 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart);
  std::fflush(stdout);
  if (search.found && endAfter >= 0) {
    Sleep(static_cast<DWORD>(endAfter));
    TerminateProcess(process.Get(), 9);
    WaitForSingleObject(process.Get(), 5000);
    PrintClipboardPicture();
  } else if (search.found) {
    PostMessageA(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process.Get(), 0);
  }
  return 0;
}
