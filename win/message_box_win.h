#pragma once
// Every message box of the program goes through here.
#include <windows.h>

#include <exception>
#include <string>

namespace kamolt::win {

// An empty caption gives the platform's default one.
int ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT style = MB_OK);

// The application's standard error box: caption "Kamolt", stop icon, OK.
void ShowErrorBox(const std::string& text);

// Runs an event handler; an error escaping it is shown in the standard error box and the
// program goes on, as the user expects of a desktop application.
template <typename Handler>
void RunHandler(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  } catch (...) {
    ShowErrorBox("Unbekannter Fehler");
  }
}

}  // namespace kamolt::win
