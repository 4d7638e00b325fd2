// The virtual scanner as the scan tests meet it: where the source manager finds it, and
// its script for one test.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "harness_win.h"

namespace e2e {

// The folder the source manager loads its sources from, in the Windows folder.
inline std::string SourceFolder() {
  char windows[MAX_PATH] = "";
  GetWindowsDirectoryA(windows, MAX_PATH);
  return std::string(windows) + (sizeof(void*) == 8 ? "\\twain_64" : "\\twain_32");
}

inline bool VirtualScannerInstalled() {
  const std::string source = SourceFolder() + "\\sane.ds";
  if (!FileExists(source)) return false;
  return ReadFileBytes(source).find("Kamolt Virtual Scanner") != std::string::npos;
}

// The virtual scanner's script for one test, gone with it.
class ScannerScript {
 public:
  explicit ScannerScript(const std::string& text) : path_(SourceFolder() + "\\KamoltVirtualScanner.ini") {
    const HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path_);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }
  ~ScannerScript() { DeleteFileA(path_.c_str()); }
  ScannerScript(const ScannerScript&) = delete;
  ScannerScript& operator=(const ScannerScript&) = delete;

 private:
  std::string path_;
};

}  // namespace e2e
