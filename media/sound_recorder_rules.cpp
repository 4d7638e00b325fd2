#include "media/sound_recorder_rules.h"

#include <algorithm>
#include <cctype>

namespace kamolt {

SoundOptions ReadSoundOptions(const std::vector<std::string>& arguments) {
  SoundOptions options;
  for (const std::string& argument : arguments) {
    if (argument.size() < 2 || argument[0] != '/') continue;
    std::string value = argument.substr(2);
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (argument[1] == 'C' && value == "MP3") options.mp3 = true;
    if (argument[1] == 'P') options.switchPort = value;
  }
  return options;
}

std::string BaseNameOfTitle(std::string_view title) {
  const std::size_t dot = title.find_last_of('.');
  const std::size_t separator = title.find_last_of("\\/:");
  if (dot == std::string_view::npos || (separator != std::string_view::npos && dot < separator)) {
    return std::string(title);
  }
  return std::string(title.substr(0, dot));
}

RecordingNames NamesOfRecording(const std::string& baseName, bool mp3) {
  const std::string wave = baseName + ".WAV";
  if (!mp3) return {wave, wave, wave};
  return {baseName + "tmp.WAV", baseName + ".MP3", wave};
}

std::string TimeText(long seconds) {
  const long rest = seconds % 60;
  return "Zeit: " + std::to_string(seconds / 60) + ":" + (rest < 10 ? "0" : "") + std::to_string(rest);
}

long SecondsToShow(long request, long position, long length) {
  if (request == -1) return position + 1;
  if (request == 0) return length;
  return request;
}

int VolumeSliderPosition(std::uint32_t volume) {
  return std::clamp(static_cast<int>(volume & 0xFFFFu), kVolumeMin, kVolumeMax);
}

std::uint32_t VolumeOfSlider(int position) {
  const auto channel = static_cast<std::uint32_t>(std::clamp(position, kVolumeMin, kVolumeMax));
  return channel + channel * 65536u;
}

std::string EncoderCommand(const std::string& encoder, const std::string& source, const std::string& target) {
  const auto blank = [](const std::string& name) { return name.find(' ') != std::string::npos; };
  const bool quoting = blank(encoder) || blank(source) || blank(target);
  const auto word = [&](const std::string& name) { return blank(name) ? "\"" + name + "\"" : name; };
  return std::string("start /WAIT ") + (quoting ? "\"\" " : "") + word(encoder) + " " + word(source) + " " +
         word(target);
}

}  // namespace kamolt
