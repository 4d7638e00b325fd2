#include "win/program_folder_win.h"

#include <windows.h>

namespace kamolt::win {

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::string program(path, length);
  return program.substr(0, program.find_last_of("\\/") + 1);
}

}  // namespace kamolt::win
