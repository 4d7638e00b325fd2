// A stand-in for the help viewer hh.exe, for tests: there is no compiled help file to show
// here, so it only writes down how it was started, in "hh-started.txt" of its working folder:
// the command line on the first line, the working folder on the second.
#include <windows.h>

#include <cstdio>

int main() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  if (std::FILE* record = std::fopen("hh-started.txt", "w")) {
    std::fprintf(record, "%s\n%s\n", GetCommandLineA(), folder);
    std::fclose(record);
  }
  return 0;
}
