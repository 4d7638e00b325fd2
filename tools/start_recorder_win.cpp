// A stand-in for a program the user names to open a picture, for tests: it only writes down
// how it was started, adding a line to "started.txt" in its working folder: the command
// line, a tab, the working folder.
#include <windows.h>

#include <cstdio>

int main() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  if (std::FILE* record = std::fopen("started.txt", "a")) {
    std::fprintf(record, "%s\t%s\n", GetCommandLineA(), folder);
    std::fclose(record);
  }
  return 0;
}
