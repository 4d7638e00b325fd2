#pragma once
// Windows of the program's own classes whose messages go to the C++ object that made them:
// the object is the creation parameter and is kept in the window's user data.
#include <windows.h>

namespace kamolt::win {

// Registers a class with the dialogs' look (arrow cursor, button-face background). A class
// that is there already, because a window of it was opened before, is no fault.
void RegisterOwnWindowClass(const char* className, WNDPROC windowProc);

// For WM_ACTIVATE: keeps the focused control across deactivation, as the platform's dialogs
// do. Without it the platform gives the focus to the window itself when it is activated
// again, and no control sees the keys until one is clicked. true when the focus was set.
bool KeepFocusAcrossActivation(HWND window, WPARAM activation);

// The window procedure of such a class. Owner gives its window as Window() and takes the
// messages in HandleMessage once its window is known; until then the platform answers them.
template <typename Owner>
LRESULT CALLBACK OwnWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!owner || owner->Window() != window) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_ACTIVATE && KeepFocusAcrossActivation(window, wParam)) return 0;
  return owner->HandleMessage(message, wParam, lParam);
}

}  // namespace kamolt::win
