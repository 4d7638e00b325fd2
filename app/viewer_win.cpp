#include "app/viewer_win.h"

#include <stdexcept>
#include <utility>

#include "app/viewer_menu.h"
#include "base/settings_keys.h"
#include "clip/clip_dialog_win.h"
#include "media/sound_recorder_win.h"
#include "scan/scan_dialog_win.h"
#include "win/message_box_win.h"
#include "win/program_folder_win.h"

namespace kamolt {
namespace {

constexpr int kDesignClientWidth = 363;
constexpr int kDesignClientHeight = 307;
constexpr int kDesignLeft = 189;
constexpr int kDesignTop = 129;
constexpr int kDesignImageWidth = 353;
constexpr int kDesignImageHeight = 281;
// Posted when the viewer has become visible, so that a dialog opens over a viewer that is there.
constexpr UINT kShownMessage = WM_APP + 1;
constexpr DWORD kViewerStyle = WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN;

struct MenuItem {
  int id;
  const char* caption;
};
constexpr MenuItem kViewMenu[] = {
    {viewer_menu::kOriginalSize, "Originalgröße                   &*"},
    {viewer_menu::kFitToScreen, "Ganzer Bildschirm            &/"},
    {viewer_menu::kAdjust, "An Bildschirm &anpassen A"},
    {viewer_menu::kShowComplete, "Ganzes Bild anzeigen      G"},
    {viewer_menu::kZoomIn, "Größer                               &+"},
    {viewer_menu::kZoomOut, "Kleiner                               &-"},
    {viewer_menu::kOpenPic, "Öffnen                              &O"},
    {viewer_menu::kPrintPic, "Druck                                &D"},
    {viewer_menu::kMenuScan, "Scanner                             &S"},
    {viewer_menu::kMenuClipb, "Zwischenablage              &Z"},
    {viewer_menu::kSaveBmp, "Als BMP speichern          &B"},
};

std::string ExecutableFolder() {
  const std::string folder = win::ProgramFolder();
  if (folder.empty()) throw std::runtime_error("Programmpfad zu lang");
  return folder;
}

std::string FolderPart(const std::string& name) {
  const auto cut = name.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : name.substr(0, cut + 1);
}

}  // namespace

Viewer& TheViewer() {
  static Viewer viewer;
  return viewer;
}

void Viewer::Create(HINSTANCE instance, const std::string& commandLine) {
  auto words = SplitCommandLine(commandLine);
  if (!words.empty()) words.erase(words.begin());
  startup_ = ReadStartupState(ParseCommandLine(words));
  // Making the first window waits on the display; a large picture is decoded meanwhile.
  if (startup_.startMode == 'V') StartConverting(startup_.pictureArgument);

  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  // The program's own icon is its first icon resource.
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  WNDCLASSA imageClass{};
  imageClass.style = CS_HREDRAW | CS_VREDRAW;  // a stretched picture is drawn anew at every size
  imageClass.lpfnWndProc = ImageProc;
  imageClass.hInstance = instance;
  imageClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  imageClass.lpszClassName = "TImage";
  RegisterClassA(&imageClass);

  RECT frame{0, 0, kDesignClientWidth, kDesignClientHeight};
  AdjustWindowRectEx(&frame, kViewerStyle, FALSE, 0);
  window_ = CreateWindowExA(0, kClassName, "Viewer", kViewerStyle, kDesignLeft, kDesignTop, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (!window_) throw std::runtime_error("Das Fenster kann nicht erzeugt werden");
  // Until the settings give a place, resizing keeps the window where it was designed.
  homeLeft_ = kDesignLeft;
  homeTop_ = kDesignTop;
  ShowScrollBar(window_, SB_BOTH, FALSE);
  image_ = CreateWindowExA(0, "TImage", "Bild", WS_CHILD | WS_VISIBLE, 0, 0, kDesignImageWidth, kDesignImageHeight,
                           window_, nullptr, instance, nullptr);
  view_ = {kDesignClientWidth, kDesignClientHeight};
  folderList_.Create(window_);
  menu_.Reset(CreatePopupMenu());
  for (const MenuItem& item : kViewMenu) AppendMenuA(menu_.Get(), MF_STRING, item.id, item.caption);
  created_ = true;

  win::RunHandler([&] { OnCreate(); });
}

void Viewer::OnCreate() {
  settings_ = std::make_unique<IniFile>(ExecutableFolder() + "Kamolt.INI");
  if (!startup_.pictureArgument.empty() && startup_.startMode == 'V') {
    ShowPictureFile(startup_.pictureArgument);
  } else {
    SetTitle(TitleWithoutPicture(startup_));
  }
  homeLeft_ = Read(Settings(), settings::kWindowLeft);
  homeTop_ = Read(Settings(), settings::kWindowTop);
  SetWindowPos(window_, nullptr, homeLeft_, homeTop_, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ProcFitToScreen();
  SelectInFolderList(startup_.pictureArgument);
}

IniFile& Viewer::Settings() {
  if (!settings_) throw std::runtime_error("Die Einstellungsdatei ist nicht geöffnet");
  return *settings_;
}

bool Viewer::PreviewKey(const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_CHAR) return false;
  if (message.hwnd == window_ || !IsChild(window_, message.hwnd)) return false;
  TranslateMessage(&message);  // the typed character follows to the viewer too
  SendMessageA(window_, message.message, message.wParam, message.lParam);
  return true;
}

LRESULT CALLBACK Viewer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Viewer& viewer = TheViewer();
  if (!viewer.created_ || window != viewer.window_) return DefWindowProcA(window, message, wParam, lParam);
  LRESULT result = 0;
  bool handled = false;
  win::RunHandler([&] {
    result = viewer.HandleMessage(message, wParam, lParam);
    handled = true;
  });
  return handled ? result : 0;
}

LRESULT Viewer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CHAR: OnKeyPress(static_cast<char>(wParam)); return 0;
    case WM_KEYDOWN: OnKeyDown(static_cast<int>(wParam), GetKeyState(VK_CONTROL) < 0); return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) OnMenuCommand(LOWORD(wParam));
      return 0;
    case WM_CONTEXTMENU: OnContextMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))); return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) OnResize();
      return 0;
    case WM_TIMER:
      if (wParam == kClipboardTimer) {
        OnClipboardTimer();
      } else {
        OnDrawTimer();
      }
      return 0;
    case WM_SHOWWINDOW:
      if (wParam) PostMessageA(window_, kShownMessage, 0, 0);
      return DefWindowProcA(window_, message, wParam, lParam);
    case kShownMessage: OnShow(); return 0;
    case WM_VSCROLL:
    case WM_HSCROLL: {
      const int bar = message == WM_VSCROLL ? SB_VERT : SB_HORZ;
      SCROLLINFO info = win::ScrollQuery(SIF_ALL);
      GetScrollInfo(window_, bar, &info);
      int position = info.nPos;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: position -= 8; break;
        case SB_LINEDOWN: position += 8; break;
        case SB_PAGEUP: position -= static_cast<int>(info.nPage); break;
        case SB_PAGEDOWN: position += static_cast<int>(info.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: position = info.nTrackPos; break;
        case SB_TOP: position = info.nMin; break;
        case SB_BOTTOM: position = info.nMax; break;
        default: break;
      }
      ScrollBy(bar, position - info.nPos);
      return 0;
    }
    case WM_RENDERFORMAT:
      if (wParam == CF_DIB) RenderClipboard();
      return 0;
    case WM_RENDERALLFORMATS: KeepPromise(); return 0;
    case WM_DESTROYCLIPBOARD: offeredDib_.reset(); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_DESTROY: PostQuitMessage(exitCode_); return 0;
    case WM_HELP:
      OnHelp();
      return TRUE;
    default: return DefWindowProcA(window_, message, wParam, lParam);
  }
}

void Viewer::OnShow() {
  switch (startup_.startMode) {
    case 'A': RunDialog(OpenSoundRecorder); break;
    case 'C': RunDialog(OpenClipDialog); break;
    case 'S': RunDialog(OpenScanDialog); break;
    default: break;
  }
}

void Viewer::OnKeyPress(char typed) {
  if (IsViewKey(typed)) {
    ApplyViewKey(typed);
  } else if (const auto command = CommandForCharacter(typed)) {
    Run(*command);
  }
}

void Viewer::OnKeyDown(int virtualKey, bool ctrl) {
  if (const auto command = CommandForKey(virtualKey, ctrl)) Run(*command);
}

void Viewer::OnMenuCommand(int id) {
  static constexpr struct {
    int id;
    char key;
  } kViewItems[] = {{viewer_menu::kOriginalSize, '*'}, {viewer_menu::kFitToScreen, '/'}, {viewer_menu::kAdjust, 'A'},
                    {viewer_menu::kShowComplete, 'G'}, {viewer_menu::kZoomIn, '+'},      {viewer_menu::kZoomOut, '-'}};
  for (const auto& item : kViewItems) {
    if (item.id == id) return OnKeyPress(item.key);
  }
  switch (id) {
    case viewer_menu::kOpenPic: Run(ViewerCommand::OpenPicture); break;
    case viewer_menu::kPrintPic: Run(ViewerCommand::Print); break;
    case viewer_menu::kSaveBmp: SaveBMPClick(); break;
    case viewer_menu::kMenuScan: RunDialog(OpenScanDialog); break;
    case viewer_menu::kMenuClipb: RunDialog(OpenClipDialog); break;
    default: break;
  }
}

void Viewer::OnContextMenu(int x, int y) {
  if (x == -1 && y == -1) {
    POINT corner{0, 0};
    ClientToScreen(window_, &corner);
    x = corner.x;
    y = corner.y;
  }
  TrackPopupMenu(menu_.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, window_, nullptr);
}

void Viewer::Run(ViewerCommand command) {
  switch (command) {
    case ViewerCommand::PreviousPicture: Step(FolderStep::Previous); break;
    case ViewerCommand::NextPicture: Step(FolderStep::Next); break;
    case ViewerCommand::FirstPicture: Step(FolderStep::First); break;
    case ViewerCommand::LastPicture: Step(FolderStep::Last); break;
    case ViewerCommand::OpenPicture: OnBildLaden(); break;
    case ViewerCommand::Close: CloseViewer(); break;
    case ViewerCommand::CloseAndTerminate:
      CloseViewer();
      PostQuitMessage(0);
      break;
    case ViewerCommand::ScrollPageUp: ScrollBy(SB_VERT, -(ClientSize().height - 50)); break;
    case ViewerCommand::ScrollPageDown: ScrollBy(SB_VERT, ClientSize().height - 50); break;
    case ViewerCommand::ScrollUp: ScrollBy(SB_VERT, -8); break;
    case ViewerCommand::ScrollDown: ScrollBy(SB_VERT, 8); break;
    case ViewerCommand::ScrollLeft: ScrollBy(SB_HORZ, -8); break;
    case ViewerCommand::ScrollRight: ScrollBy(SB_HORZ, 8); break;
    case ViewerCommand::ScrollTop: ScrollBy(SB_VERT, -scrollRange_.height); break;
    case ViewerCommand::ScrollBottom: ScrollBy(SB_VERT, scrollRange_.height); break;
    case ViewerCommand::ScrollFarLeft: ScrollBy(SB_HORZ, -scrollRange_.width); break;
    case ViewerCommand::ScrollFarRight: ScrollBy(SB_HORZ, scrollRange_.width); break;
    case ViewerCommand::CopyPicture: CopyPicture(); break;
    case ViewerCommand::Print: PrintPicture(); break;
  }
}

void Viewer::RunDialog(void (*open)(HWND viewer)) {
  if (dialogRunning_) return;
  dialogRunning_ = true;
  struct RunEnds {
    bool& running;
    ~RunEnds() { running = false; }
  } runEnds{dialogRunning_};
  open(window_);
  if (std::exchange(closeAfterDialog_, false)) CloseViewer();
}

void Viewer::CloseViewer() { SendMessageA(window_, WM_CLOSE, 0, 0); }

void Viewer::OnClose() {
  if (dialogRunning_) {
    // The dialog's window belongs to the viewer and its run is on the stack below this
    // handler: destroyed now, both would go from under the run. The quit makes every loop
    // of the run end it and unwind (a run of the scanner closes its source and tells the
    // host what it wrote); the viewer closes after.
    closeAfterDialog_ = true;
    PostQuitMessage(exitCode_);
    return;
  }
  // A settings file that cannot be written must not keep the user from closing the viewer.
  win::RunHandler([&] {
    // A minimized or maximized window remembers where it stands when restored.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT bounds;
    GetWindowRect(window_, &bounds);
    if ((IsIconic(window_) || IsZoomed(window_)) && GetWindowPlacement(window_, &placement)) {
      bounds = placement.rcNormalPosition;
    }
    Write(Settings(), settings::kWindowLeft, bounds.left);
    Write(Settings(), settings::kWindowTop, bounds.top);
  });
  DestroyWindow(window_);
}

void Viewer::SetTitle(const std::string& title) { SetWindowTextA(window_, title.c_str()); }

void Viewer::SelectInFolderList(const std::string& name) {
  const std::string folder = FolderPart(name);
  if (!folder.empty()) folderList_.PointAt(folder);
  const std::string file = name.substr(folder.size());
  for (int i = 0; i < folderList_.Count(); ++i) {
    if (lstrcmpiA(folderList_.Entry(i).c_str(), file.c_str()) == 0) fileIndex_ = i;
  }
}

}  // namespace kamolt

namespace kamolt {

LRESULT CALLBACK Viewer::ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  win::RunHandler([&] { TheViewer().picture_.Draw(dc, client, TheViewer().stretch_); });
  EndPaint(window, &paint);
  return 0;
}

}  // namespace kamolt
