#include "media/sound_recorder_rules.h"

#include <algorithm>
#include <cctype>

#include "convert/target_name.h"

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

std::string RescueName(std::string_view recordFile, std::string_view folder, int number) {
  const std::size_t separator = recordFile.find_last_of("\\/:");
  const std::size_t fileStart = separator == std::string_view::npos ? 0 : separator + 1;
  const std::string_view file = recordFile.substr(fileStart);
  const std::size_t dot = std::min(file.find_last_of('.'), file.size());
  return std::string(folder.empty() ? recordFile.substr(0, fileStart) : folder) + std::string(file.substr(0, dot)) +
         "(" + std::to_string(number) + ")" + std::string(file.substr(dot));
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
  const std::string words[] = {CommandLineWord(encoder), CommandLineWord(source), CommandLineWord(target)};
  const bool quoting = words[0] != encoder || words[1] != source || words[2] != target;
  return std::string("start /WAIT ") + (quoting ? "\"\" " : "") + words[0] + " " + words[1] + " " + words[2];
}

}  // namespace kamolt
