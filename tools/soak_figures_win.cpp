// The figures a long session must keep flat (thread-local slots in use, handles, GDI
// objects, committed private memory), read from outside the program while it works:
//   soak_figures.exe step <title part> <steps>
//     finds the visible window whose title holds the text, reads its process's
//     figures, presses Space <steps> times (each time waiting up to 20 s for the title to
//     change, as a user waits for the next picture), reads them again and closes the window;
//     a reading every 1,000 steps shows the way there.
//   soak_figures.exe runs <count> <program> [arguments...]
//     starts the program <count> times, one after the other, and reads each run's figures
//     every 50 ms while it runs; prints the last reading of the first and the last run and
//     how the runs ended (a run taking over two minutes is ended with exit code 99).
// Figures are printed as "tls <n> handles <n> gdi <n> committed_kb <n>", -1 for one that
// could not be read. Exit code 0 when every step or run completed, 1 otherwise, 2 for a
// usage problem.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "tools/process_figures_win.h"

namespace {

using kamolt::soak::MeasureProcess;
using kamolt::soak::ProcessFigures;

constexpr DWORD kLongestRun = 120000, kEndedByUs = 99;
constexpr int kStepsBetweenReadings = 1000;
constexpr DWORD kAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE | SYNCHRONIZE;

void Print(const char* label, const ProcessFigures& f) {
  std::printf("%-14s tls %lld handles %lld gdi %lld committed_kb %lld\n", label, f.tlsSlotsInUse, f.handles, f.gdiObjects,
              f.committedBytes < 0 ? -1 : f.committedBytes >> 10);
  std::fflush(stdout);
}

std::string Title(HWND window) {
  char title[512] = "";
  GetWindowTextA(window, title, sizeof title);
  return title;
}

struct Search {
  const char* text;
  HWND found;
};

BOOL CALLBACK Check(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || Title(window).find(search->text) == std::string::npos) return TRUE;
  search->found = window;
  return FALSE;
}

template <typename Condition>
bool WaitFor(Condition condition, DWORD milliseconds) {
  const DWORD began = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - began > milliseconds) return false;
    Sleep(2);
  }
  return true;
}

int Step(const char* titlePart, int steps) {
  Search search{titlePart, nullptr};
  if (!WaitFor([&] { return EnumWindows(Check, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; }, 30000)) {
    std::printf("no window with \"%s\" in its title\n", titlePart);
    return 1;
  }
  DWORD processId = 0;
  GetWindowThreadProcessId(search.found, &processId);
  const HANDLE process = OpenProcess(kAccess, FALSE, processId);
  if (process == nullptr) return 1;
  Sleep(500);  // the first picture's timers and paints are done
  Print("start", MeasureProcess(process));
  const LPARAM scanCode = static_cast<LPARAM>(MapVirtualKeyA(VK_SPACE, MAPVK_VK_TO_VSC)) << 16;
  const DWORD began = GetTickCount();
  int done = 0;
  for (; done < steps; ++done) {
    const std::string before = Title(search.found);
    PostMessageA(search.found, WM_KEYDOWN, VK_SPACE, scanCode | 1);
    PostMessageA(search.found, WM_KEYUP, VK_SPACE, scanCode | 1 | (LPARAM{3} << 30));
    if (!WaitFor([&] { return !IsWindow(search.found) || Title(search.found) != before; }, 20000)) break;
    if (!IsWindow(search.found)) break;
    // Readings on the way show the trend, and the last figures of a viewer that dies.
    if ((done + 1) % kStepsBetweenReadings == 0) Print(("step " + std::to_string(done + 1)).c_str(), MeasureProcess(process));
  }
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  if (!ended) Print("end", MeasureProcess(process));
  std::printf("%d of %d steps in %lu ms%s\n", done, steps, GetTickCount() - began,
              ended                ? ": the viewer ended"
              : done < steps       ? (": no next picture, title \"" + Title(search.found) + "\"").c_str()
                                   : "");
  if (!ended) PostMessageA(search.found, WM_CLOSE, 0, 0);
  CloseHandle(process);
  return done == steps ? 0 : 1;
}

std::string Quoted(const char* argument) {
  return std::strpbrk(argument, " \t") ? std::string("\"") + argument + "\"" : std::string(argument);
}

int Runs(int count, int argc, char** argv) {
  std::string commandLine = Quoted(argv[0]);
  for (int i = 1; i < argc; ++i) commandLine += " " + Quoted(argv[i]);
  std::map<DWORD, int> exitCodes;
  int failed = 0;
  const DWORD began = GetTickCount();
  for (int run = 1; run <= count; ++run) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
      std::printf("run %d did not start\n", run);
      return 1;
    }
    ProcessFigures last;
    const DWORD runBegan = GetTickCount();
    while (WaitForSingleObject(started.hProcess, 50) == WAIT_TIMEOUT) {
      const ProcessFigures reading = MeasureProcess(started.hProcess);
      // A reading taken while the process was ending may be half of one.
      if (WaitForSingleObject(started.hProcess, 0) == WAIT_TIMEOUT) last = reading;
      if (GetTickCount() - runBegan > kLongestRun) {
        std::printf("run %d took too long and was ended\n", run);
        TerminateProcess(started.hProcess, kEndedByUs);
        WaitForSingleObject(started.hProcess, INFINITE);
        ++failed;
      }
    }
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    ++exitCodes[code];
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    if (run == 1) Print("first run", last);
    if (run == count) Print("last run", last);
  }
  std::printf("%d runs in %lu ms; exit codes:", count, GetTickCount() - began);
  for (const auto& [code, times] : exitCodes) std::printf(" %lu x%d", code, times);
  std::printf("\n");
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "step") == 0) return Step(argv[2], std::atoi(argv[3]));
  if (argc >= 4 && std::strcmp(argv[1], "runs") == 0) return Runs(std::atoi(argv[2]), argc - 3, argv + 3);
  std::fprintf(stderr, "usage: soak_figures step <title part> <steps> | runs <count> <program> [arguments...]\n");
  return 2;
}
