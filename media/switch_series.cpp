#include "media/switch_series.h"

namespace kamolt {

bool SwitchClickApplies(SwitchClick click, bool recording) { return click != SwitchClick::Record || !recording; }

void RunSwitchSeries(SwitchLine& line, Pause& pause, const std::function<bool()>& running,
                     const std::function<void(SwitchClick)>& click) {
  // Each reading that differs becomes the new reference at once, so a change that follows
  // right after another is not missed (a fresh first reading per wait could swallow it).
  bool reference = line.ReadSwitch();
  bool recordingStarted = false;
  while (running()) {
    pause.Sleep(kSwitchPollMs);
    const bool reading = line.ReadSwitch();
    if (reading == reference) continue;
    reference = reading;
    click(recordingStarted ? SwitchClick::Pause : SwitchClick::Record);
    recordingStarted = true;
  }
}

}  // namespace kamolt
