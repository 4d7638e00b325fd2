#include "tools/virtual_scanner/source_host_win.h"

#include "base/file_io.h"

namespace kamolt::scanner {

WinSourceHost::WinSourceHost(HINSTANCE module)
    : module_(module),
      wakeMessage_(RegisterWindowMessageA("KamoltVirtualScannerNotice")),
      source_(*this),
      dialog_(module, source_) {}

TW_HANDLE WinSourceHost::AllocMemory(std::size_t bytes) { return GlobalAlloc(GHND, bytes); }
void* WinSourceHost::LockMemory(TW_HANDLE memory) { return GlobalLock(memory); }
void WinSourceHost::UnlockMemory(TW_HANDLE memory) { GlobalUnlock(memory); }
std::size_t WinSourceHost::MemorySize(TW_HANDLE memory) { return GlobalSize(memory); }
void WinSourceHost::FreeMemory(TW_HANDLE memory) { GlobalFree(memory); }

std::string WinSourceHost::ReadScript() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module_, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string script(path, length);
  script.erase(script.find_last_of("\\/") + 1);
  return ReadWholeFile(script + kScriptName).value_or("");
}

void WinSourceHost::WakeApplication(TW_HANDLE window) {
  const auto target = static_cast<HWND>(window);
  if (target != nullptr && IsWindow(target)) {
    PostMessageA(target, wakeMessage_, 0, 0);
  } else {
    PostThreadMessageA(GetCurrentThreadId(), wakeMessage_, 0, 0);
  }
}

bool WinSourceHost::IsWakeUp(const void* event) {
  return event != nullptr && static_cast<const MSG*>(event)->message == wakeMessage_;
}

bool WinSourceHost::HandleDialogEvent(const void* event) {
  return dialog_.Handle(static_cast<MSG*>(const_cast<void*>(event)));
}

bool WinSourceHost::OpenDialog(TW_HANDLE parent, const std::string& summary) {
  return dialog_.Open(static_cast<HWND>(parent), summary);
}

void WinSourceHost::CloseDialog() { dialog_.Close(); }

}  // namespace kamolt::scanner
