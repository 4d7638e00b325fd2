#pragma once
// The TWAIN side's platform on Windows, and the one diagnostics and session of the process:
// the session outlives a scan run, so that a source chosen once is opened again by name.
#include <windows.h>

#include "scan/twain_platform.h"
#include "scan/twain_session.h"
#include "win/handles_win.h"

namespace kamolt {

class Win32TwainPlatform final : public TwainPlatform {
 public:
  void ShowStatusBox(TwainWindow owner, const std::string& text, const std::string& caption) override;
  void ShowAssertionBox(const std::string& text, const std::string& caption) override;
  void DebugOutput(const std::string& text) override;
  void BreakIntoDebugger() override;
  LogAppendResult AppendToLog(const std::string& path, std::string_view text) override;
  std::string WindowsFolder() override;
  bool FileExists(const std::string& path) override;
  DSMENTRYPROC LoadSourceManager(const std::string& name) override;
  void UnloadSourceManager() override;
  TW_HANDLE AllocMemory(std::size_t bytes) override;
  void* LockMemory(TW_HANDLE memory) override;
  void UnlockMemory(TW_HANDLE memory) override;
  void FreeMemory(TW_HANDLE memory) override;
  std::size_t MemorySize(TW_HANDLE memory) override;
  void SendTransferDone(TwainWindow window, TW_HANDLE image, TW_UINT16 pending) override;
  void PostClose(TwainWindow window) override;
  void ShowWaitCursor(bool wait) override;
  bool EndRequested() override;

 private:
  win::Library manager_;
};

// The scan module window's message for a finished transfer: wParam the picture's block or
// 0, lParam the transfers still pending.
inline constexpr UINT PM_XFERDONE = WM_USER;

TwainSession& ProcessTwainSession();

}  // namespace kamolt
