#pragma once
// The grab switch on a real serial port: DTR held up by the driver, the switch read on DSR.
#include <windows.h>

#include <string>

#include "clip/serial_switch.h"
#include "win/handles_win.h"

namespace kamolt {

// Opens "COM1" to "COM10" for reading and writing, exclusively, as an existing device;
// invalid when it cannot be opened.
win::FileHandle OpenSwitchPort(const std::string& portName);

// DSR output flow control on, DTR in handshake mode, DSR sensitivity off; everything else
// as it was. true when reading and writing the settings both worked.
bool ConfigureSwitchPort(HANDLE port);

// true when the modem status reports DSR on.
bool ReadSwitch(HANDLE port);

// The port as the line that WaitForSwitch reads.
class PortSwitch : public SwitchLine {
 public:
  explicit PortSwitch(HANDLE port) : port_(port) {}
  bool ReadSwitch() override { return kamolt::ReadSwitch(port_); }

 private:
  HANDLE port_;
};

class ThreadPause : public Pause {
 public:
  void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace kamolt
