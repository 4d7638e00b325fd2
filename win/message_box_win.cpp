#include "win/message_box_win.h"

namespace kamolt::win {

int ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return MessageBoxA(owner, text.c_str(), caption.empty() ? nullptr : caption.c_str(), style);
}

void ShowErrorBox(const std::string& text) {
  ShowMessage(GetActiveWindow(), text, "Kamolt", MB_OK | MB_ICONSTOP);
}

}  // namespace kamolt::win
