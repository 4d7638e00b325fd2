#include "scan/scan_module_win.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <utility>

#include "convert/writer_win.h"
#include "scan/twain_platform_win.h"
#include "scan/twain_transfer.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"

namespace kamolt {
namespace {

constexpr char kClassName[] = "ZelvoScanModul";
constexpr WPARAM kAcquireCommand = 100;
constexpr const char* kUnit = "Scan";

struct ScanRun {
  ScanSettings& settings;
  TwainAcquisition acquisition;
  const ScanReport& report;
  ScanTally tally;
  bool ended = false;
};

template <std::size_t N>
void Copy(char (&field)[N], const char* text) {
  std::strncpy(field, text, N - 1);
}

TW_IDENTITY ApplicationIdentity() {
  TW_IDENTITY identity{};
  identity.Id = 0;
  identity.Version.MajorNum = 1;
  identity.Version.MinorNum = 703;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  Copy(identity.Version.Info, "TWAIN_32 Zelvo 0.1  31.12.1999");
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 7;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  Copy(identity.Manufacturer, "TWAIN Working Group");
  Copy(identity.ProductFamily, "TWAIN Toolkit");
  Copy(identity.ProductName, "Zelvo Scanmodul");
  return identity;
}

bool Confirm(const char* question) {
  return win::ShowMessage(nullptr, question, "Close message", MB_OKCANCEL) == IDOK;
}

// Runs its action when the scope is left, however it is left; a thrown exception must not
// keep a run from ending.
template <typename Action>
class ScopeExit {
 public:
  explicit ScopeExit(Action action) : action_(std::move(action)) {}
  ~ScopeExit() {
    if (armed_) action_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  void Disarm() { armed_ = false; }

 private:
  Action action_;
  bool armed_ = true;
};

void PostClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

void Acquire(HWND window, ScanRun& run) {
  ScopeExit close([window] { PostClose(window); });
  TwainSession& session = ProcessTwainSession();
  // Whatever the user does in the selection, the acquisition opens the source the kept
  // identity names: the chosen one, or the default.
  if (run.settings.selectSource && session.TWOpenDSM() == 1) {
    session.TWSelectDS();
    session.TWCloseDSM();
  }
  if (run.acquisition.AcquireImages(window, run.settings.showSourceUI != 0, 1)) close.Disarm();
}

void PictureDone(HWND window, ScanRun& run, WPARAM picture, LPARAM pending) {
  ScopeExit close([window] { PostClose(window); });
  if (pending != 0) close.Disarm();
  if (picture != 0) {
    // Released as soon as it is written, so that a long feeder run holds one page at a time.
    win::GlobalMemory dib(reinterpret_cast<HGLOBAL>(picture));
    // A page that could not be written counts as lost, and the record keeps the last name
    // written: the host is told that name, and the next page takes the lost one's, so the
    // names written run on from the first without a gap. Counted lost first, so that a
    // writer that throws leaves it lost and the name kept.
    char (&name)[kScanSettingsNameSize] = run.settings.fileName;
    const std::string lastWritten(name, strnlen(name, sizeof name));
    ++run.tally.failed;
    ScopeExit keepLastWritten([&] {
      std::memset(name, 0, sizeof name);
      lastWritten.copy(name, sizeof name - 1);
    });
    if (ConvertDIBtoFile(dib.Get(), run.settings, run.tally.written) != 0) {
      keepLastWritten.Disarm();
      --run.tally.failed;
      ++run.tally.written;
    }
  } else {
    ProcessTwainSession().Diagnostics().ShowOperationStatus(window, 0, TWRC_SUCCESS, "Handle to BitMap Invalid",
                                                            "PM_XFERDONE");
  }
}

// The run is over: its window goes at once, so nothing can reach the run through it any
// more, and the caller learns what was written.
void CloseModule(HWND window, ScanRun& run) {
  if (run.ended) return;
  run.ended = true;
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  run.tally.failed += run.acquisition.FailedImages();
  run.report(run.tally);
}

// The program is ending under the run: no questions, the source taken down in the
// standard's order, and what was written told.
void EndRun(HWND window, ScanRun& run) {
  if (run.ended) return;
  run.acquisition.EndSession();
  CloseModule(window, run);
}

// The questions' line breaks are a line feed before a carriage return, as the user has
// always seen them.
void ClosePrompt(HWND window, ScanRun& run) {
  TwainSession& session = ProcessTwainSession();
  if (session.TWIsDSEnabled()) {
    if (!Confirm("Disable and close the Source\n\rand unload and close the Source Manager?")) return;
    if (session.TWDisableDS() && session.TWCloseDS()) session.TWCloseDSM();
  } else if (session.TWIsDSOpen()) {
    if (!Confirm("Close the Source and unload \n\rand close the Source Manager?")) return;
    if (session.TWCloseDS()) session.TWCloseDSM();
  } else if (session.TWIsDSMOpen()) {
    if (!Confirm("Unload and close the Source Manager?")) return;
    session.TWCloseDSM();
  }
  CloseModule(window, run);
}

LRESULT CALLBACK ScanModuleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* run = reinterpret_cast<ScanRun*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kAcquireCommand &&
          ProcessTwainSession().Diagnostics().Check(run != nullptr, kUnit, __LINE__)) {
        win::RunHandler([&] { Acquire(window, *run); });
      }
      return 0;
    case PM_XFERDONE:
      if (ProcessTwainSession().Diagnostics().Check(run != nullptr, kUnit, __LINE__)) {
        win::RunHandler([&] { PictureDone(window, *run, wParam, lParam); });
      }
      return 0;
    case WM_CLOSE:
      if (run != nullptr) win::RunHandler([&] { ClosePrompt(window, *run); });
      return 0;
    case WM_ENDSESSION:
      // A question now would hold up the end of the session, which ends the process anyway.
      if (wParam && run != nullptr) win::RunHandler([&] { EndRun(window, *run); });
      return 0;
    case WM_DESTROY:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int RunScanModule(ScanSettings& settings, const ScanReport& report) {
  TwainSession& session = ProcessTwainSession();
  ScanRun run{settings, TwainAcquisition(session, settings), report, {}, false};

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ScanModuleProc;
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) {
    win::ShowMessage(nullptr, "Klasse 'ZelvoScanModul' konnte nicht registriert werden!", "RegisterClass");
    return kScanClassNotRegistered;
  }
  // Left registered, the class would make every later run fail at its registration.
  const ScopeExit unregister([] { UnregisterClassA(kClassName, nullptr); });
  const HWND window = CreateWindowA(kClassName, kClassName, WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, 0, 0, 500,
                                    350, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    win::ShowMessage(nullptr, "Window konnte nicht erstellt werden!", "CreateWindow");
    return kScanWindowNotCreated;
  }
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&run));
  // However the loop is left, the source is not left enabled and the window never
  // outlives the run it points to.
  const ScopeExit end([&] { win::RunHandler([&] { EndRun(window, run); }); });

  const TW_IDENTITY identity = ApplicationIdentity();
  session.TWSetAppIdentity(&identity, window);
  session.Diagnostics().SetDiagnosticLevel(1);
  SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  PostMessageA(window, WM_COMMAND, kAcquireCommand, 0);

  MSG message{};
  while (!run.ended) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: the run ends first, then the quit goes on to the loops
      // outside, as a modal loop passes it on.
      win::RunHandler([&] { EndRun(window, run); });
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    bool sourcesOwn = false;
    win::RunHandler([&] { sourcesOwn = session.TWIsDSOpen() && run.acquisition.ProcessTwainEvent(&message, window); });
    if (sourcesOwn) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return run.tally.written;
}

}  // namespace kamolt
