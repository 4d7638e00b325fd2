#include "clip/serial_switch_win.h"

namespace kamolt {

win::FileHandle OpenSwitchPort(const std::string& portName) {
  // The device namespace reaches COM10 too, which a bare name does not.
  const std::string device = "\\\\.\\" + portName;
  return win::FileHandle(
      CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool ConfigureSwitchPort(HANDLE port) {
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (!GetCommState(port, &settings)) return false;
  settings.fOutxDsrFlow = TRUE;
  settings.fDtrControl = DTR_CONTROL_HANDSHAKE;
  settings.fDsrSensitivity = FALSE;
  return SetCommState(port, &settings);
}

bool ReadSwitch(HANDLE port) {
  DWORD status = 0;
  return GetCommModemStatus(port, &status) && (status & MS_DSR_ON);
}

}  // namespace kamolt
