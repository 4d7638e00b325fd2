#pragma once
// Captures another application's window into a picture file: once, once per key trigger,
// or once per change of a serial switch.
#include <windows.h>

#include <functional>
#include <string>

namespace kamolt {

// Date, time and a text drawn into each picture. An empty text means no stamp.
struct GrabStamp {
  std::string text;      // as the dialog stores it, with its trailing blank
  char position = '3';   // '0' own band below, '1' top right, '2' bottom right, '4' top left, else bottom left
};

// What a run reads from the clip/grab dialog and writes back to it.
struct GrabDialog {
  bool beep = false;
  std::string wavFile;  // played after a picture instead of the tone when beeping
  std::string charKey;  // a key for the Ctrl+Alt trigger: one picture, and the dialog hands off
  bool invert = false;
  GrabStamp stamp;
  std::function<void(const std::string&)> setNameText;   // the file name field
  std::function<void(const std::string&)> setLabel;       // the label above it
};

// Captures the client area of the window titled `windowTitle` (else "CapTestApp", else
// "Capture Test App") and saves it under fileName in the format of formatCode. With a
// port name the pictures follow the switch on that port until the user moves away from the
// target. fileName returns as the run left it. true when the last save worked.
bool GrabWindow(std::string& fileName, int formatCode, const std::string& windowTitle, const std::string& portName,
                const GrabDialog& dialog);

// Draws " date hh:mm  text" in black on white into a picture of that size.
void DrawStamp(HDC dc, int width, int height, const GrabStamp& stamp);

}  // namespace kamolt
