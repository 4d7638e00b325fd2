#pragma once
// A switch wired between DTR and DSR of a serial port, read as on or off. The reading and
// the passing of time are interfaces, so a series can be driven by a scripted line.
#include <functional>

namespace kamolt {

inline constexpr unsigned kSwitchPollMs = 100;

// One on/off input; a real port reports DSR.
class SwitchLine {
 public:
  virtual ~SwitchLine() = default;
  virtual bool ReadSwitch() = 0;
};

// Lets time pass. Runs block the thread on purpose: nothing else happens meanwhile.
class Pause {
 public:
  virtual ~Pause() = default;
  virtual void Sleep(unsigned milliseconds) = 0;
};

// Reads the switch once, then every 100 ms until the reading differs from the first (true:
// closing and opening both count) or `stillWanted` says to give up (false). The switch is
// read before `stillWanted` is asked, so a change at the last moment still counts.
bool WaitForSwitch(SwitchLine& line, Pause& pause, const std::function<bool()>& stillWanted);

}  // namespace kamolt
