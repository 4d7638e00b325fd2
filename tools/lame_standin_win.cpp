// Stands in for an MP3 encoder that fails: it leaves an empty target and reports an error,
// the way a crashing or refusing encoder can. With KAMOLT_LAME_HANG set it writes the start
// of a target, keeps it open and never ends, the way a hung encoder does.
//   lame.exe <source> <target>
#include <windows.h>

int main(int argc, char** argv) {
  const bool hang = GetEnvironmentVariableA("KAMOLT_LAME_HANG", nullptr, 0) > 0;
  if (argc >= 3) {
    const HANDLE target = CreateFileA(argv[argc - 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (hang) {
      DWORD written = 0;
      WriteFile(target, "ID3", 3, &written, nullptr);
      Sleep(INFINITE);
    }
    if (target != INVALID_HANDLE_VALUE) CloseHandle(target);
  }
  return 3;
}
