#include "media/mci_text_win.h"

namespace kamolt {

std::string MciErrorText(MCIERROR error) {
  char text[MAXERRORLENGTH] = "";
  if (!mciGetErrorStringA(error, text, sizeof text)) return "MCI-Fehler " + std::to_string(error);
  return text;
}

std::wstring WideText(const std::string& text) {
  // A byte of the code page never makes more than one UTF-16 unit.
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                                           wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

}  // namespace kamolt
