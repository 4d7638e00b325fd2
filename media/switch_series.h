#pragma once
// The recorder's switch: its first change starts the recording, every later one pauses or
// resumes it. Runs on its own thread; the clicks it makes are handed to the caller.
#include <functional>

#include "clip/serial_switch.h"

namespace kamolt {

enum class SwitchClick { Record, Pause };

// Whether the recorder carries out a click: the switch's first change starts a recording
// only when none is running, so a recording started with the button is not begun anew and
// what it holds is not thrown away.
bool SwitchClickApplies(SwitchClick click, bool recording);

// Watches the line until `running` says to stop; `click` gets one call per change.
void RunSwitchSeries(SwitchLine& line, Pause& pause, const std::function<bool()>& running,
                     const std::function<void(SwitchClick)>& click);

}  // namespace kamolt
