#include "win/own_window_win.h"

#include <stdexcept>
#include <string>

namespace kamolt::win {
namespace {

// Where a window of these classes keeps the control that had the focus when it was
// deactivated last.
constexpr int kFocusSlot = 0;

bool CanTakeFocus(HWND window, HWND control) {
  return control && IsChild(window, control) && IsWindowVisible(control) && IsWindowEnabled(control);
}

}  // namespace

void RegisterOwnWindowClass(const char* className, WNDPROC windowProc) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = windowProc;
  windowClass.cbWndExtra = sizeof(LONG_PTR);
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error("Die Fensterklasse " + std::string(className) + " fehlt");
  }
}

bool KeepFocusAcrossActivation(HWND window, WPARAM activation) {
  if (LOWORD(activation) == WA_INACTIVE) {
    // The focus is still on the control here; it leaves only after this message.
    const HWND focus = GetFocus();
    if (focus && IsChild(window, focus)) SetWindowLongPtrA(window, kFocusSlot, reinterpret_cast<LONG_PTR>(focus));
    return false;
  }
  if (HIWORD(activation) != 0) return false;  // minimised: the focus waits for the restore
  HWND control = reinterpret_cast<HWND>(GetWindowLongPtrA(window, kFocusSlot));
  // The control may have gone out of reach meanwhile, as when a layout hides it.
  if (!CanTakeFocus(window, control)) control = GetNextDlgTabItem(window, nullptr, FALSE);
  if (!CanTakeFocus(window, control)) return false;
  SetFocus(control);
  return true;
}

}  // namespace kamolt::win
