#pragma once
// The sound recorder's decisions apart from its window: what its command-line letters
// select, which files a recording goes to, the time text, the volume slider and the
// encoder's command line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kamolt {

struct SoundOptions {
  bool mp3 = false;        // /C with the value MP3: the finished file is converted by the encoder
  std::string switchPort;  // /P: the serial port of the record switch, upper-cased
};

// The recorder's letters, arguments in the order given (without the program's own name).
// The letter's case counts; the value is compared upper-cased.
SoundOptions ReadSoundOptions(const std::vector<std::string>& arguments);

// The viewer's title without its extension. Only a dot in the last path component starts
// an extension, so a dotted folder name does not move the recording elsewhere.
std::string BaseNameOfTitle(std::string_view title);

// The files of one recording session.
struct RecordingNames {
  std::string recordFile;    // what is recorded into and played
  std::string finishedFile;  // what Eject leaves: the MP3 in MP3 mode
  std::string keptWaveFile;  // in MP3 mode, where the recording goes when there is no MP3
};
RecordingNames NamesOfRecording(const std::string& baseName, bool mp3);

// A name that can take a recording when its own cannot be written: the file part with
// "(number)" before its extension, in `folder` (ending in a separator), or in the
// recording's own folder when `folder` is empty.
std::string RescueName(std::string_view recordFile, std::string_view folder, int number);

// "Zeit: " with minutes (no padding) and two-digit seconds.
std::string TimeText(long seconds);

// What the time text shows when the player is asked for `request` seconds: -1 asks for the
// running position (shown one second ahead, so it reaches the length at the end), 0 for
// the length, anything else is shown as it is.
long SecondsToShow(long request, long position, long length);

inline constexpr int kVolumeMin = 1;
inline constexpr int kVolumeMax = 65535;
// The slider position for a wave-out volume: its left channel, never below the minimum.
int VolumeSliderPosition(std::uint32_t volume);
// Both channels at the slider's position.
std::uint32_t VolumeOfSlider(int position);

// The command the interpreter runs to convert `source` to `target`. Exactly
// "start /WAIT encoder source target" for plain names; otherwise each name is a
// CommandLineWord, after an empty window title so that start does not take the first
// quoted name for one.
std::string EncoderCommand(const std::string& encoder, const std::string& source, const std::string& target);

}  // namespace kamolt
