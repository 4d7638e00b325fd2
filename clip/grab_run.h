#pragma once
// The course of one grab run, apart from how a picture is taken: one picture; one picture
// per key trigger; or a series, one picture per change of a switch, until the user moves
// away from the target window. What the run does to the world goes through GrabActions.
#include <cstdint>
#include <string>

#include "clip/serial_switch.h"

namespace kamolt {

inline constexpr unsigned kToneHz = 1000;
inline constexpr unsigned kToneBeforeMs = 100;
inline constexpr unsigned kToneAfterMs = 300;
inline constexpr unsigned kRepaintWaitMs = 200;
inline constexpr unsigned kAfterPictureMs = 1000;

struct GrabRunOptions {
  bool beep = false;       // tones, or the wave sound after a picture
  bool wave = false;       // a wave file is named: it replaces the tone after a picture
  bool keyTrigger = false;  // a key is set for the Ctrl+Alt trigger: the dialog hands off
};

class GrabActions {
 public:
  virtual ~GrabActions() = default;
  virtual void BringTargetToFront() = 0;
  virtual bool TargetInFront() = 0;
  virtual void Tone(unsigned hz, unsigned milliseconds) = 0;
  virtual void PlayWave() = 0;  // without waiting for its end
  virtual void RepaintTarget() = 0;
  // Puts the target's picture on the clipboard; a failure is reported by the capture and
  // the save goes on with whatever the clipboard holds.
  virtual void Capture() = 0;
  // Writes the clipboard's picture; on success `fileName` is the name written.
  virtual bool Save(std::string& fileName) = 0;
  // The dialog's name field and the label that shows the last picture's name.
  virtual void SetNameText(const std::string& name) = 0;
  virtual void SetLabel(const std::string& caption) = 0;
  virtual void NotifyHost(const std::string& fileName, std::int32_t count) = 0;
};

// Runs with `line` as the switch, or without one when it is null. `fileName` holds the name
// of the next picture and is left as the run leaves it. Returns the result of the last save.
bool RunGrab(std::string& fileName, const GrabRunOptions& options, GrabActions& actions, SwitchLine* line,
             Pause& pause);

}  // namespace kamolt
