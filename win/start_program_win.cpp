#include "win/start_program_win.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "win/handles_win.h"
#include "win/program_folder_win.h"
#include "win/system_message_win.h"

namespace kamolt::win {

bool StartProgramLine(const std::string& commandLine, const std::string& workingFolder) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');  // CreateProcessA may write into its command line
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process)) {
    return false;
  }
  const KernelObject thread(process.hThread);
  const KernelObject started(process.hProcess);
  return true;
}

void StartHelp() {
  // hh.exe looks for a bare file name in its working folder. The viewer's working folder
  // follows the pictures, so the help viewer starts in the program's folder, where the help
  // file lies; the viewer itself is found on the search path.
  if (StartProgramLine("hh.exe Kamolt.chm", ProgramFolder())) return;
  const DWORD code = GetLastError();
  const std::string reason = SystemMessage(code);
  throw std::runtime_error("hh.exe kann nicht gestartet werden: " +
                           (reason.empty() ? "Fehler " + std::to_string(code) : reason));
}

}  // namespace kamolt::win
