// Drives a real Windows program from the outside, the way a person at the
// keyboard would: start it, find its windows, read what they show, press keys
// and buttons, answer its message boxes, look at the files it wrote.
//
// All text is ANSI (code page 1252). Waits poll a condition until a timeout;
// they return false / null / nullopt when it runs out. Actions that cannot be
// carried out at all (no such control, a button that would not go away) throw
// std::runtime_error, which GoogleTest reports as a failure of the test.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using Clock = std::chrono::steady_clock;
constexpr auto kDefaultTimeout = std::chrono::seconds(10);

// Polls `condition` until it holds or `timeout` has passed; checks once more at
// the end, so a condition that became true at the last moment still counts.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = kDefaultTimeout);

// The folder Kamolt.exe lives in, from the environment variable KAMOLT_DIST
// (a Windows path). Throws when it is not set.
std::string DistFolder();
// The folder of the test tools, from KAMOLT_TOOLS. Throws when it is not set.
std::string ToolsFolder();

// A fresh empty folder under %TEMP%\kamolt-e2e\, removed with everything in
// it when the object goes away.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const;  // Path() + "\\" + name
  void Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// A started program. Going out of scope ends it if it still runs.
class App {
 public:
  // `arguments` is appended to the quoted exe path as the command line;
  // an empty `workingFolder` means the test's own.
  App(const std::string& exePath, const std::string& arguments, const std::string& workingFolder);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  DWORD ProcessId() const { return processId_; }
  HANDLE Process() const { return process_; }

  // The visible top-level window of this process with that class, or null.
  HWND WaitMainWindow(const std::string& className,
                      std::chrono::milliseconds timeout = kDefaultTimeout);
  // True once the process has ended.
  bool WaitExit(std::chrono::milliseconds timeout = kDefaultTimeout);
  // STILL_ACTIVE (259) while it runs.
  DWORD ExitCode() const;

 private:
  HANDLE process_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD processId_ = 0;
};

// Visible top-level windows of a process, topmost first.
std::vector<HWND> TopLevelWindows(DWORD processId);
// The first visible top-level window of the process whose class is
// `className` (null: any) and whose title satisfies `titleMatches` (null: any).
HWND FindTopLevel(DWORD processId, const char* className,
                  const std::function<bool(const std::string& title)>& titleMatches);

// WM_GETTEXT, so it also reads controls of other processes; "" when the
// window does not answer within a second.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
RECT WindowRect(HWND window);  // screen coordinates
RECT ClientRect(HWND window);  // client coordinates: left and top are 0
SIZE ClientSize(HWND window);

// Any descendant with that control id, or null.
HWND FindChild(HWND parent, int controlId);
// The nth (0-based, creation order) descendant of that class, or null.
HWND FindChildByClass(HWND parent, const char* className, int nth = 0);
// Text of the descendant with that id; throws when there is none.
std::string ControlText(HWND parent, int controlId);

// The window's big icon, else its small one, else its class icons; null if none.
HICON WindowIcon(HWND window);

struct MessageBoxSeen {
  HWND hwnd;
  std::string caption;
  std::string text;
};
// A visible dialog (#32770) of the process that carries a message box's text
// control (id 0xFFFF); caption and text as shown.
std::optional<MessageBoxSeen> WaitMessageBox(DWORD processId,
                                             std::chrono::milliseconds timeout = kDefaultTimeout);
// Clicks the button (IDOK, IDYES, ...) and waits until the box is gone.
void AnswerMessageBox(HWND box, int buttonId = IDOK);

// A key press through the system's input queue (SendInput) while `target`'s
// window is in the foreground with `target` focused, with Ctrl/Shift/Alt held as
// asked. Returns once the target's thread has taken the key up out of its
// queue and finished handling it.
void PressKey(HWND target, WORD virtualKey, bool ctrl = false, bool shift = false, bool alt = false);
// Types the characters one key at a time: real keys where the keyboard layout
// has them (\n is Enter, \t is Tab), Unicode input for the rest.
void TypeText(HWND target, const std::string& text);

// WM_COMMAND as a menu item sends it. Returns once the handler has returned,
// or once it has opened a new window (a modal dialog or message box), so a
// command that asks something does not block the test.
void SendCommand(HWND window, int commandId);

// True once the file exists and no one holds it open for writing.
bool WaitForFile(const std::string& path, std::chrono::milliseconds timeout = kDefaultTimeout);
// The whole file; throws when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);  // a file, not a folder

// Writes the whole screen as a 24-bit BMP; false when it could not.
bool SaveScreenshotBmp(const std::string& path);

}  // namespace e2e
