#include "harness_win.h"

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

constexpr UINT kAnswerTimeoutMs = 1000;
constexpr auto kPollInterval = std::chrono::milliseconds(5);

std::string LastErrorText(const std::string& what) {
  return what + " failed (error " + std::to_string(GetLastError()) + ")";
}

bool ProcessEnded(HANDLE process) {
  return WaitForSingleObject(process, 0) != WAIT_TIMEOUT;
}

bool ClassIs(HWND window, const char* className) {
  return className == nullptr || lstrcmpiA(ClassName(window).c_str(), className) == 0;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// Moving the focus inside another program needs our thread to share its
// input state for a moment.
void SetFocusIn(DWORD targetThread, HWND target) {
  const DWORD self = GetCurrentThreadId();
  const bool attached = targetThread != self && AttachThreadInput(self, targetThread, TRUE);
  SetFocus(target);
  if (attached) AttachThreadInput(self, targetThread, FALSE);
}

HWND FocusOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool IsSelfOrDescendant(HWND window, HWND ancestor) {
  return window != nullptr && (window == ancestor || IsChild(ancestor, window));
}

// Makes `target`'s top-level window the foreground one and puts the keyboard
// focus on `target` unless it already sits on it or one of its children
// (pressing a key on a main window must reach the control that has focus).
void BringToFront(HWND target) {
  HWND top = GetAncestor(target, GA_ROOT);
  if (top == nullptr) throw std::runtime_error("PressKey: target window does not exist");
  const DWORD thread = GetWindowThreadProcessId(target, nullptr);
  if (!WaitUntil([&] {
        if (GetForegroundWindow() != top) {
          SetForegroundWindow(top);
          return false;
        }
        if (!IsSelfOrDescendant(FocusOf(thread), target)) {
          SetFocusIn(thread, target);
          return false;
        }
        return true;
      }, std::chrono::seconds(3))) {
    throw std::runtime_error("PressKey: could not bring window '" + WindowText(top) +
                             "' to the foreground with the focus on the target");
  }
}

INPUT KeyInput(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, 0 /* MAPVK_VK_TO_VSC */));
  switch (virtualKey) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_DIVIDE: case VK_NUMLOCK:
    case VK_RCONTROL: case VK_RMENU: case VK_LWIN: case VK_RWIN: case VK_APPS:
      input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    default:
      break;
  }
  if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
  return input;
}

// Returns once the target's thread has read every input message queued so
// far and handled it. A thread takes a WM_PAINT out of its queue only when no
// input is waiting, so a freshly invalidated window that is painted again
// proves the keys before it were read. Twice, because a key handler that
// calls UpdateWindow paints while later keys of the same press still wait.
void WaitUntilInputRead(HWND target) {
  HWND painted = IsWindowVisible(target) ? target : GetAncestor(target, GA_ROOT);
  for (int round = 0; round < 2; ++round) {
    if (!IsWindow(painted)) return;  // the key closed it
    if (IsWindowVisible(painted)) {
      InvalidateRect(painted, nullptr, FALSE);
      const bool read = WaitUntil([&] {
        // A window the key hid or closed gets no more paint messages.
        return !IsWindow(painted) || !IsWindowVisible(painted) ||
               !GetUpdateRect(painted, nullptr, FALSE);
      }, std::chrono::seconds(5));
      if (!read) {
        throw std::runtime_error("PressKey: window '" + WindowText(GetAncestor(target, GA_ROOT)) +
                                 "' did not read its keyboard input within 5 s");
      }
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(painted, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  }
}

// Presses `virtualKey` (or sends `unicode` when non-zero) with the given
// modifiers held, through the system's input queue, and returns once the
// target has read these events and handled them.
void PressThroughInputQueue(HWND target, WORD virtualKey, wchar_t unicode,
                            bool ctrl, bool shift, bool alt = false) {
  if (!IsWindow(target)) throw std::runtime_error("PressKey: target window does not exist");
  BringToFront(target);

  std::vector<INPUT> inputs;
  if (ctrl) inputs.push_back(KeyInput(VK_CONTROL, false));
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
  if (alt) inputs.push_back(KeyInput(VK_MENU, false));
  if (unicode != 0) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<WORD>(unicode);
    input.ki.dwFlags = KEYEVENTF_UNICODE;
    inputs.push_back(input);
    input.ki.dwFlags |= KEYEVENTF_KEYUP;
    inputs.push_back(input);
  } else {
    inputs.push_back(KeyInput(virtualKey, false));
    inputs.push_back(KeyInput(virtualKey, true));
  }
  if (alt) inputs.push_back(KeyInput(VK_MENU, true));
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
  if (ctrl) inputs.push_back(KeyInput(VK_CONTROL, true));

  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) throw std::runtime_error(LastErrorText("SendInput"));
  WaitUntilInputRead(target);
}

struct EnumState {
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == state->processId && IsWindowVisible(window)) state->windows.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&children));
  return children;
}

unsigned scratchCounter = 0;

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(kPollInterval);
  }
  return condition();
}

std::string ToolsFolder() {
  const char* tools = std::getenv("KAMOLT_TOOLS");
  if (!tools) throw std::runtime_error("KAMOLT_TOOLS names no folder with the test tools");
  return tools;
}

std::string DistFolder() {
  const char* dist = std::getenv("KAMOLT_DIST");
  if (dist == nullptr || *dist == '\0') {
    throw std::runtime_error("KAMOLT_DIST is not set (the Windows path of the dist folder)");
  }
  std::string folder = dist;
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

// ---------------------------------------------------------------- files

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length > MAX_PATH) throw std::runtime_error(LastErrorText("GetTempPath"));
  std::string base = temp;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  base += "\\kamolt-e2e";
  CreateDirectoryA(base.c_str(), nullptr);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = base + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount()) + "-" +
                                  std::to_string(scratchCounter++);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error(LastErrorText("creating a scratch folder under " + base));
}

ScratchFolder::~ScratchFolder() {
  // A program that was just ended may hold its files for a moment longer.
  WaitUntil([&] {
    RemoveTree(path_);
    return GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES;
  }, std::chrono::seconds(3));
}

std::string ScratchFolder::File(const std::string& name) const { return path_ + "\\" + name; }

void ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = File(name);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error(LastErrorText("creating " + path));
  DWORD written = 0;
  const BOOL ok = bytes.empty() ||
                  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes.size()) throw std::runtime_error(LastErrorText("writing " + path));
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WaitForFile(const std::string& path, std::chrono::milliseconds timeout) {
  return WaitUntil([&] {
    if (!FileExists(path)) return false;
    // Sharing only reading fails while a writer still has the file open.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  }, timeout);
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error(LastErrorText("opening " + path));
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// ---------------------------------------------------------------- processes

App::App(const std::string& exePath, const std::string& arguments,
         const std::string& workingFolder) {
  std::string commandLine = "\"" + exePath + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(exePath.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
    throw std::runtime_error(LastErrorText("starting " + commandLine));
  }
  process_ = info.hProcess;
  thread_ = info.hThread;
  processId_ = info.dwProcessId;
}

App::~App() {
  if (process_ != nullptr) {
    if (!ProcessEnded(process_)) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }
  if (thread_ != nullptr) CloseHandle(thread_);
}

HWND App::WaitMainWindow(const std::string& className, std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil([&] {
    found = FindTopLevel(processId_, className.c_str(), nullptr);
    return found != nullptr || ProcessEnded(process_);
  }, timeout);
  return found;
}

bool App::WaitExit(std::chrono::milliseconds timeout) {
  return WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD App::ExitCode() const {
  DWORD code = 0;
  if (!GetExitCodeProcess(process_, &code)) return 0xFFFFFFFF;
  return code;
}

// ---------------------------------------------------------------- windows

std::vector<HWND> TopLevelWindows(DWORD processId) {
  EnumState state{processId, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&state));
  return state.windows;
}

HWND FindTopLevel(DWORD processId, const char* className,
                  const std::function<bool(const std::string& title)>& titleMatches) {
  for (HWND window : TopLevelWindows(processId)) {
    if (!ClassIs(window, className)) continue;
    if (titleMatches && !titleMatches(WindowText(window))) continue;
    return window;
  }
  return nullptr;
}

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                           &length)) {
    return "";
  }
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &copied)) {
    return "";
  }
  text.resize(copied < text.size() ? copied : text.size() - 1);
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT ClientRect(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

SIZE ClientSize(HWND window) {
  const RECT rect = ClientRect(window);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

HWND FindChild(HWND parent, int controlId) {
  if (HWND direct = GetDlgItem(parent, controlId)) return direct;
  for (HWND child : Descendants(parent)) {
    if (GetDlgCtrlID(child) == controlId) return child;
  }
  return nullptr;
}

HWND FindChildByClass(HWND parent, const char* className, int nth) {
  for (HWND child : Descendants(parent)) {
    if (ClassIs(child, className) && nth-- == 0) return child;
  }
  return nullptr;
}

std::string ControlText(HWND parent, int controlId) {
  HWND control = FindChild(parent, controlId);
  if (control == nullptr) {
    throw std::runtime_error("no control with id " + std::to_string(controlId) + " in window '" +
                             WindowText(parent) + "'");
  }
  return WindowText(control);
}

HICON WindowIcon(HWND window) {
  for (WPARAM kind : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}, WPARAM{ICON_SMALL2}}) {
    DWORD_PTR icon = 0;
    if (SendMessageTimeoutA(window, WM_GETICON, kind, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                            &icon) &&
        icon != 0) {
      return reinterpret_cast<HICON>(icon);
    }
  }
  if (auto icon = GetClassLongPtrA(window, GCLP_HICON)) return reinterpret_cast<HICON>(icon);
  return reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICONSM));
}

// ---------------------------------------------------------------- message boxes

std::optional<MessageBoxSeen> WaitMessageBox(DWORD processId, std::chrono::milliseconds timeout) {
  constexpr int kTextId = 0xFFFF;
  std::optional<MessageBoxSeen> seen;
  WaitUntil([&] {
    for (HWND window : TopLevelWindows(processId)) {
      if (!ClassIs(window, "#32770")) continue;
      HWND text = GetDlgItem(window, kTextId);
      if (text == nullptr) continue;
      seen = MessageBoxSeen{window, WindowText(window), WindowText(text)};
      return true;
    }
    return false;
  }, timeout);
  return seen;
}

void AnswerMessageBox(HWND box, int buttonId) {
  if (!IsWindow(box)) throw std::runtime_error("AnswerMessageBox: the box is already gone");
  // EndDialog hides the box at once and destroys it when its loop returns;
  // only the latter means the program has gone on.
  const auto gone = [box] { return !IsWindow(box); };
  HWND button = GetDlgItem(box, buttonId);
  if (button != nullptr && IsWindowEnabled(button)) {
    SetForegroundWindow(box);
    PostMessageA(button, BM_CLICK, 0, 0);
    if (WaitUntil(gone, std::chrono::seconds(2))) return;
  }
  // What the dialog itself does on a click; also answers boxes whose button
  // has no control of that id (IDCANCEL closes a box that only shows OK).
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  if (!WaitUntil(gone, std::chrono::seconds(5))) {
    throw std::runtime_error("AnswerMessageBox: box '" + WindowText(box) +
                             "' still open after pressing button " + std::to_string(buttonId));
  }
}

// ---------------------------------------------------------------- input

void PressKey(HWND target, WORD virtualKey, bool ctrl, bool shift, bool alt) {
  PressThroughInputQueue(target, virtualKey, 0, ctrl, shift, alt);
}

void TypeText(HWND target, const std::string& text) {
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      PressKey(target, VK_RETURN);
      continue;
    }
    if (c == '\t') {
      PressKey(target, VK_TAB);
      continue;
    }
    const SHORT scan = VkKeyScanA(c);
    const int modifiers = (scan >> 8) & 0xFF;
    if (scan != -1 && (modifiers & ~1) == 0) {
      PressKey(target, static_cast<WORD>(scan & 0xFF), false, (modifiers & 1) != 0);
      continue;
    }
    wchar_t wide = 0;
    if (MultiByteToWideChar(1252, 0, &c, 1, &wide, 1) != 1) {
      throw std::runtime_error("TypeText: character not in code page 1252");
    }
    PressThroughInputQueue(target, 0, wide, false, false);
  }
}

namespace {
// Replies arrive only while this thread reads its queue, so plain flags do; a
// reply that comes after SendCommand gave up frees the record itself.
struct CommandReply {
  bool done = false;
  bool abandoned = false;
};

void CALLBACK CommandDone(HWND, UINT, ULONG_PTR param, LRESULT) {
  auto* reply = reinterpret_cast<CommandReply*>(param);
  if (reply->abandoned) {
    delete reply;
  } else {
    reply->done = true;
  }
}
}  // namespace

void SendCommand(HWND window, int commandId) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const auto before = TopLevelWindows(processId);
  const std::set<HWND> known(before.begin(), before.end());
  auto* reply = new CommandReply;
  if (!SendMessageCallbackA(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0, CommandDone,
                            reinterpret_cast<ULONG_PTR>(reply))) {
    delete reply;
    throw std::runtime_error(LastErrorText("SendCommand"));
  }
  WaitUntil([&] {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (reply->done || !IsWindow(window)) return true;
    for (HWND shown : TopLevelWindows(processId)) {
      if (!known.count(shown)) return true;  // a dialog opened and runs its own loop
    }
    return false;
  });
  if (reply->done) {
    delete reply;
  } else {
    reply->abandoned = true;
  }
}

// ---------------------------------------------------------------- screen

bool SaveScreenshotBmp(const std::string& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT) != 0;
    GdiFlush();
    if (ok) {
      const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
      const DWORD imageSize = stride * static_cast<DWORD>(height);
      BITMAPFILEHEADER file{};
      file.bfType = 0x4D42;  // "BM"
      file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
      file.bfSize = file.bfOffBits + imageSize;
      info.bmiHeader.biSizeImage = imageSize;
      HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
      ok = out != INVALID_HANDLE_VALUE;
      if (ok) {
        DWORD written = 0;
        ok = WriteFile(out, &file, sizeof file, &written, nullptr) && written == sizeof file &&
             WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
             written == sizeof info.bmiHeader &&
             WriteFile(out, bits, imageSize, &written, nullptr) && written == imageSize;
        CloseHandle(out);
      }
    }
    SelectObject(memory, previous);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace e2e
