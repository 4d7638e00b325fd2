#include "media/mp3_encoder_win.h"

#include <windows.h>

#include <optional>

#include "media/sound_recorder_rules.h"
#include "win/handles_win.h"
#include "win/program_folder_win.h"

namespace kamolt {
namespace {

constexpr DWORD kPathBuffer = 256;

std::optional<WIN32_FILE_ATTRIBUTE_DATA> FileData(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  return data;
}

std::string InterpreterProgram() {
  char interpreter[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("ComSpec", interpreter, sizeof interpreter);
  return length > 0 && length < sizeof interpreter ? std::string(interpreter, length) : "cmd.exe";
}

}  // namespace

std::string FindEncoder() {
  std::string folders = win::ProgramFolder();
  char windows[kPathBuffer];
  const UINT windowsLength = GetWindowsDirectoryA(windows, kPathBuffer);
  if (windowsLength > 0 && windowsLength < kPathBuffer) folders += ";" + std::string(windows, windowsLength);

  char found[MAX_PATH];
  const DWORD foundLength = SearchPathA(folders.c_str(), "lame.exe", nullptr, sizeof found, found, nullptr);
  if (foundLength == 0 || foundLength >= sizeof found) return "";
  char shortPath[kPathBuffer];
  const DWORD shortLength = GetShortPathNameA(found, shortPath, kPathBuffer);
  return shortLength > 0 && shortLength < kPathBuffer ? std::string(shortPath, shortLength) : std::string(found);
}

bool Encode(const std::string& encoder, const std::string& source, const std::string& target) {
  const std::optional<WIN32_FILE_ATTRIBUTE_DATA> before = FileData(target);
  std::string commandLine = "\"" + InterpreterProgram() + "\" /c " + EncoderCommand(encoder, source, target);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return false;
  }
  const win::KernelObject process(started.hProcess);
  const win::KernelObject thread(started.hThread);
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD exitCode = 1;
  if (!GetExitCodeProcess(process.Get(), &exitCode) || exitCode != 0) return false;

  const std::optional<WIN32_FILE_ATTRIBUTE_DATA> after = FileData(target);
  if (!after || (after->nFileSizeHigh == 0 && after->nFileSizeLow == 0)) return false;
  // An MP3 left from an earlier session does not count as this one's.
  return !before || CompareFileTime(&before->ftLastWriteTime, &after->ftLastWriteTime) != 0;
}

}  // namespace kamolt
