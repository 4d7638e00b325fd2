#include "win/start_program_win.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "win/handles_win.h"
#include "win/system_message_win.h"

namespace kamolt::win {

bool StartProgramLine(const std::string& commandLine) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');  // CreateProcessA may write into its command line
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  const KernelObject thread(process.hThread);
  const KernelObject started(process.hProcess);
  return true;
}

void StartHelp() {
  // The help viewer is found on the search path and the help file in the working folder.
  if (StartProgramLine("hh.exe Kamolt.chm")) return;
  const DWORD code = GetLastError();
  const std::string reason = SystemMessage(code);
  throw std::runtime_error("hh.exe kann nicht gestartet werden: " +
                           (reason.empty() ? "Fehler " + std::to_string(code) : reason));
}

}  // namespace kamolt::win
