#include "win/own_window_win.h"

#include <stdexcept>
#include <string>

namespace kamolt::win {

void RegisterOwnWindowClass(const char* className, WNDPROC windowProc) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error("Die Fensterklasse " + std::string(className) + " fehlt");
  }
}

}  // namespace kamolt::win
