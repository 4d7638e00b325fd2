// Starts a Linux program under Wine on behalf of a test: run_linux.exe Z:\usr\bin\tool args...
// A Windows process that starts a Linux program directly loses its screen once the program
// has ended, so the tests keep their own process clear of that and let this one take it.
#include <windows.h>

#include <cstring>

int main() {
  // Everything after this program's own name is the Linux program's command line.
  const char* line = GetCommandLineA();
  const bool quoted = *line == '"';
  line = std::strchr(line + (quoted ? 1 : 0), quoted ? '"' : ' ');
  if (!line) return 2;
  line += quoted ? 1 : 0;
  while (*line == ' ') ++line;
  char command[32768];
  lstrcpynA(command, line, sizeof command);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
