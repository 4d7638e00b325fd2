#include "scan/twain_platform_win.h"

#include "base/file_io.h"
#include "win/message_box_win.h"

namespace kamolt {

void Win32TwainPlatform::ShowStatusBox(TwainWindow owner, const std::string& text, const std::string& caption) {
  win::ShowMessage(static_cast<HWND>(owner), text, caption, MB_OK);
}

void Win32TwainPlatform::ShowAssertionBox(const std::string& text, const std::string& caption) {
  win::ShowMessage(nullptr, text, caption, MB_RETRYCANCEL | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

void Win32TwainPlatform::DebugOutput(const std::string& text) { OutputDebugStringA(text.c_str()); }

void Win32TwainPlatform::BreakIntoDebugger() {
  // Without a debugger the break would end the program.
  if (IsDebuggerPresent()) DebugBreak();
}

LogAppendResult Win32TwainPlatform::AppendToLog(const std::string& path, std::string_view text) {
  win::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  LogAppendResult result;
  if (!file) return result;
  result.seekOk = SetFilePointer(file.Get(), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
  DWORD written = 0;
  result.writeOk = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                   written == text.size();
  result.closeOk = file.Reset();
  return result;
}

std::string Win32TwainPlatform::WindowsFolder() {
  char folder[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  return length > 0 && length < sizeof folder ? std::string(folder, length) : std::string();
}

bool Win32TwainPlatform::FileExists(const std::string& path) { return IsFile(path); }

DSMENTRYPROC Win32TwainPlatform::LoadSourceManager(const std::string& name) {
  win::Library library(LoadLibraryA(name.c_str()));
  if (!library || reinterpret_cast<UINT_PTR>(library.Get()) < 32) return nullptr;
  const FARPROC entry = GetProcAddress(library.Get(), MAKEINTRESOURCEA(1));
  if (entry == nullptr) return nullptr;
  manager_ = std::move(library);
  return reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(entry));
}

void Win32TwainPlatform::UnloadSourceManager() { manager_.Reset(); }

TW_HANDLE Win32TwainPlatform::AllocMemory(std::size_t bytes) { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes); }
void* Win32TwainPlatform::LockMemory(TW_HANDLE memory) { return GlobalLock(memory); }
void Win32TwainPlatform::UnlockMemory(TW_HANDLE memory) { GlobalUnlock(memory); }
void Win32TwainPlatform::FreeMemory(TW_HANDLE memory) { GlobalFree(memory); }
std::size_t Win32TwainPlatform::MemorySize(TW_HANDLE memory) { return GlobalSize(memory); }

void Win32TwainPlatform::SendTransferDone(TwainWindow window, TW_HANDLE image, TW_UINT16 pending) {
  SendMessageA(static_cast<HWND>(window), PM_XFERDONE, reinterpret_cast<WPARAM>(image), pending);
}

void Win32TwainPlatform::PostClose(TwainWindow window) { PostMessageA(static_cast<HWND>(window), WM_CLOSE, 0, 0); }

void Win32TwainPlatform::ShowWaitCursor(bool wait) { SetCursor(LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW)); }

bool Win32TwainPlatform::EndRequested() {
  // Left in the queue for the loops that unwind the run.
  MSG quit;
  return PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

TwainSession& ProcessTwainSession() {
  static Win32TwainPlatform platform;
  static TwainDiagnostics diagnostics(platform);
  static TwainSession session(diagnostics);
  return session;
}

}  // namespace kamolt
