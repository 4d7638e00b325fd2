#pragma once
// The virtual scanner's platform on Windows: global memory as applications free it, the
// script beside the .ds, a registered message to wake the application, and the dialog.
#include <windows.h>

#include <string>

#include "tools/virtual_scanner/scanner_dialog_win.h"
#include "tools/virtual_scanner/virtual_source.h"

namespace kamolt::scanner {

inline constexpr char kScriptName[] = "KamoltVirtualScanner.ini";

class WinSourceHost : public SourceHost {
 public:
  explicit WinSourceHost(HINSTANCE module);

  TW_HANDLE AllocMemory(std::size_t bytes) override;
  void* LockMemory(TW_HANDLE memory) override;
  void UnlockMemory(TW_HANDLE memory) override;
  std::size_t MemorySize(TW_HANDLE memory) override;
  void FreeMemory(TW_HANDLE memory) override;
  std::string ReadScript() override;
  void WakeApplication(TW_HANDLE window) override;
  bool IsWakeUp(const void* event) override;
  bool HandleDialogEvent(const void* event) override;
  bool OpenDialog(TW_HANDLE parent, const std::string& summary) override;
  void CloseDialog() override;

  VirtualSource& Source() { return source_; }

 private:
  HINSTANCE module_;
  UINT wakeMessage_;
  VirtualSource source_;
  ScannerDialog dialog_;
};

}  // namespace kamolt::scanner
