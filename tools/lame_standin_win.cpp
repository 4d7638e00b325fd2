// Stands in for an MP3 encoder that fails: it leaves an empty target and reports an error,
// the way a crashing or refusing encoder can.
//   lame.exe <source> <target>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc >= 3) {
    const HANDLE target = CreateFileA(argv[argc - 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (target != INVALID_HANDLE_VALUE) CloseHandle(target);
  }
  return 3;
}
