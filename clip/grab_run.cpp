#include "clip/grab_run.h"

#include "clip/file_name_advance.h"

namespace kamolt {

bool RunGrab(std::string& fileName, const GrabRunOptions& options, GrabActions& actions, SwitchLine* line,
             Pause& pause) {
  std::string lastSaved;
  std::int32_t saved = 0;
  bool lastResult = false;
  bool keyTriggered = false;
  bool goOn = true;

  do {
    actions.BringTargetToFront();
    if (line && !WaitForSwitch(*line, pause, [&] { return actions.TargetInFront(); })) {
      if (!lastSaved.empty()) {
        fileName = lastSaved;
        actions.SetNameText(lastSaved);
      }
      break;
    }
    if (options.beep) actions.Tone(kToneHz, kToneBeforeMs);
    actions.RepaintTarget();
    if (!line) pause.Sleep(kRepaintWaitMs);
    actions.Capture();

    lastResult = actions.Save(fileName);
    if (lastResult) {
      ++saved;
      if (options.beep) {
        if (options.wave) {
          actions.PlayWave();
        } else {
          actions.Tone(kToneHz, kToneAfterMs);
        }
      }
    }
    if (options.keyTrigger) {
      keyTriggered = true;
      goOn = false;
    }
    if (!line && !keyTriggered) {
      goOn = false;
      continue;
    }
    // A failed save advances the name too, so the numbering keeps step with the triggers,
    // but only a picture that was written is ever named to the host or shown at the end.
    if (lastResult) lastSaved = fileName;
    fileName = AdvanceFileName(fileName);
    pause.Sleep(kAfterPictureMs);
    if (options.keyTrigger) {
      // The label is what the host is told when the series ends: it names the last picture
      // written, under the name it was written as, and a failed save leaves it alone.
      if (lastResult) actions.SetLabel(lastSaved);
      actions.SetNameText(fileName);
    }
  } while ((line || keyTriggered) && goOn);

  if (!options.keyTrigger) actions.NotifyHost(saved > 1 ? lastSaved : fileName, saved);
  return lastResult;
}

}  // namespace kamolt
