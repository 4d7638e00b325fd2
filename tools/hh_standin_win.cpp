// A stand-in for the help viewer hh.exe, for tests: there is no compiled help file to show
// here, so it only writes down how it was started, adding a line to "hh-started.txt" in its
// working folder: the command line, a tab, the working folder.
#include <windows.h>

#include <cstdio>

int main() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  if (std::FILE* record = std::fopen("hh-started.txt", "a")) {
    std::fprintf(record, "%s\t%s\n", GetCommandLineA(), folder);
    std::fclose(record);
  }
  return 0;
}
