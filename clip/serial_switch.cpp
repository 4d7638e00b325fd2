#include "clip/serial_switch.h"

namespace kamolt {

bool WaitForSwitch(SwitchLine& line, Pause& pause, const std::function<bool()>& stillWanted) {
  const bool first = line.ReadSwitch();
  for (;;) {
    pause.Sleep(kSwitchPollMs);
    if (line.ReadSwitch() != first) return true;
    if (!stillWanted()) return false;
  }
}

}  // namespace kamolt
