// Stands in for Ghostscript's Windows console program where only the Linux Ghostscript is
// installed: the Linux program does the drawing, with the Windows file names of the command
// line turned into Linux ones, and its exit code is this program's.
//   gswin32c.exe <Ghostscript arguments>
// Wine does not report when a Linux program ends or how, so the shell that runs it writes
// its exit code into a file, which is waited for.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(__cdecl*)(const WCHAR*);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  WCHAR wide[MAX_PATH];
  if (!toUnix || !MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH)) return windowsPath;
  char* unix = toUnix(wide);
  if (!unix) return windowsPath;
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

std::string ShellWord(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

int main(int argc, char** argv) {
  static constexpr char kOutput[] = "-sOutputFile=";
  std::string gs = "/usr/bin/gs";
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.rfind(kOutput, 0) == 0) {
      argument = kOutput + UnixPath(argument.substr(sizeof kOutput - 1));
    } else if (!argument.empty() && argument[0] != '-') {
      argument = UnixPath(argument);
    }
    gs += " " + ShellWord(argument);
  }
  char folder[MAX_PATH], status[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, "gss", 0, status)) return 90;
  std::string line = "Z:\\bin\\sh -c \"" + gs + " >/dev/null 2>&1; echo $? >" + ShellWord(UnixPath(status)) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 91;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  int code = 92;
  for (int waited = 0; waited < 60000; waited += 20) {
    const HANDLE file = CreateFileA(status, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    char text[16] = {};
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE) {
      ReadFile(file, text, sizeof text - 1, &read, nullptr);
      CloseHandle(file);
    }
    if (read > 0 && text[read - 1] == '\n') {
      code = atoi(text);
      break;
    }
    Sleep(20);
  }
  DeleteFileA(status);
  return code;
}
