#include "scan/scan_module_win.h"

#include <windows.h>

#include <cstring>

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
  int written = 0;
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

void Acquire(HWND window, ScanRun& run) {
  TwainSession& session = ProcessTwainSession();
  // Whatever the user does in the selection, the acquisition opens the source the kept
  // identity names: the chosen one, or the default.
  if (run.settings.selectSource && session.TWOpenDSM() == 1) {
    session.TWSelectDS();
    session.TWCloseDSM();
  }
  if (!run.acquisition.AcquireImages(window, run.settings.showSourceUI != 0, 1)) {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

void PictureDone(HWND window, ScanRun& run, WPARAM picture, LPARAM pending) {
  if (picture != 0) {
    // Released as soon as it is written, so that a long feeder run holds one page at a time.
    win::GlobalMemory dib(reinterpret_cast<HGLOBAL>(picture));
    ConvertDIBtoFile(dib.Get(), run.settings, run.written);
    ++run.written;
  } else {
    ProcessTwainSession().Diagnostics().ShowOperationStatus(window, 0, TWRC_SUCCESS, "Handle to BitMap Invalid",
                                                            "PM_XFERDONE");
  }
  if (pending == 0) PostMessageA(window, WM_CLOSE, 0, 0);
}

void CloseModule(HWND window) {
  PostQuitMessage(0);
  DestroyWindow(window);
}

// The questions' line breaks are a line feed before a carriage return, as the user has
// always seen them.
void ClosePrompt(HWND window) {
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
  CloseModule(window);
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
    case WM_ENDSESSION:
      win::RunHandler([&] { ClosePrompt(window); });
      return 0;
    case WM_DESTROY:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int RunScanModule(ScanSettings& settings) {
  TwainSession& session = ProcessTwainSession();
  ScanRun run{settings, TwainAcquisition(session, settings)};

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ScanModuleProc;
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) {
    win::ShowMessage(nullptr, "Klasse 'ZelvoScanModul' konnte nicht registriert werden!", "RegisterClass");
    return kScanClassNotRegistered;
  }
  const HWND window = CreateWindowA(kClassName, kClassName, WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, 0, 0, 500,
                                    350, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    // Left registered, the class would make every later run fail at its registration.
    UnregisterClassA(kClassName, nullptr);
    win::ShowMessage(nullptr, "Window konnte nicht erstellt werden!", "CreateWindow");
    return kScanWindowNotCreated;
  }
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&run));

  const TW_IDENTITY identity = ApplicationIdentity();
  session.TWSetAppIdentity(&identity, window);
  session.Diagnostics().SetDiagnosticLevel(1);
  SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  PostMessageA(window, WM_COMMAND, kAcquireCommand, 0);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (session.TWIsDSOpen() && run.acquisition.ProcessTwainEvent(&message, window)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  UnregisterClassA(kClassName, nullptr);
  return run.written;
}

}  // namespace kamolt
