#pragma once
// The virtual scanner's own window for MSG_ENABLEDS with ShowUI: what it is set to scan,
// and the buttons "Scan" and "Cancel". It is modeless, as the application's message loop
// keeps running and hands the source every message first.
#include <windows.h>

#include <string>

namespace kamolt::scanner {

class VirtualSource;

class ScannerDialog {
 public:
  ScannerDialog(HINSTANCE module, VirtualSource& source) : module_(module), source_(source) {}
  ~ScannerDialog() { Close(); }
  ScannerDialog(const ScannerDialog&) = delete;
  ScannerDialog& operator=(const ScannerDialog&) = delete;

  bool Open(HWND owner, const std::string& summary);
  void Close();
  // Keyboard navigation and the dialog's own messages; false for anybody else's.
  bool Handle(MSG* message);

  // Forgets the window class when the source is unloaded from a running process.
  static void Unregister(HINSTANCE module);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(HWND window);

  HINSTANCE module_;
  VirtualSource& source_;
  HWND window_ = nullptr;
  std::string summary_;
};

}  // namespace kamolt::scanner
