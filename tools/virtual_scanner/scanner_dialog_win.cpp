#include "tools/virtual_scanner/scanner_dialog_win.h"

#include "tools/virtual_scanner/virtual_source.h"

namespace kamolt::scanner {
namespace {

constexpr char kClassName[] = "KamoltVirtualScannerDialog";
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 132;
constexpr int kSummaryId = 100;

bool RegisterOnce(HINSTANCE module, WNDPROC procedure) {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(module, kClassName, &existing)) return true;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = module;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

void ScannerDialog::Unregister(HINSTANCE module) { UnregisterClassA(kClassName, module); }

bool ScannerDialog::Open(HWND owner, const std::string& summary) {
  Close();
  if (!RegisterOnce(module_, &ScannerDialog::WindowProc)) return false;
  summary_ = summary;
  constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = CreateWindowExA(kExStyle, kClassName, kProductName, kStyle, left, top, width, height,
                            owner != nullptr && IsWindow(owner) ? owner : nullptr, nullptr, module_, this);
  if (window_ == nullptr) return false;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  return true;
}

void ScannerDialog::Close() {
  if (window_ == nullptr) return;
  HWND window = window_;
  window_ = nullptr;
  DestroyWindow(window);
}

bool ScannerDialog::Handle(MSG* message) {
  return window_ != nullptr && message != nullptr && IsDialogMessageA(window_, message);
}

void ScannerDialog::CreateControls(HWND window) {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  const auto make = [&](const char* className, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module_, nullptr);
    SendMessageA(control, WM_SETFONT, font, FALSE);
    return control;
  };
  make("STATIC", summary_.c_str(), SS_LEFT, 14, 12, kClientWidth - 28, 64, kSummaryId);
  HWND scan = make("BUTTON", "Scan", WS_TABSTOP | BS_DEFPUSHBUTTON, kClientWidth - 188, kClientHeight - 38, 80,
                   26, IDOK);
  make("BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, kClientWidth - 96, kClientHeight - 38, 80, 26, IDCANCEL);
  SetFocus(scan);
}

LRESULT CALLBACK ScannerDialog::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ScannerDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      self = static_cast<ScannerDialog*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      break;
    }
    case WM_CREATE: self->CreateControls(window); return 0;
    case DM_GETDEFID: return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_COMMAND:
      if (self == nullptr || HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == IDOK) self->source_.ScanPressed();
      if (LOWORD(wParam) == IDCANCEL) self->source_.CancelPressed();
      return 0;
    case WM_CLOSE:
      // The application closes the window by disabling the source once it hears of it.
      if (self != nullptr) self->source_.CancelPressed();
      return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kamolt::scanner
