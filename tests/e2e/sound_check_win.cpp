#include "sound_check_win.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <stdexcept>

#include "harness_win.h"
#include "unix_tools_win.h"

namespace e2e {
namespace {

void Put32(std::string& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void Put16(std::string& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<char>(value & 0xFF));
  bytes.push_back(static_cast<char>(value >> 8));
}

// The number after `label` on its line of SoX's report; NaN when the line is missing.
double Value(const std::string& report, const std::string& label) {
  const std::size_t at = report.find(label);
  if (at == std::string::npos) return std::nan("");
  std::istringstream line(report.substr(report.find(':', at) + 1));
  double value = std::nan("");
  line >> value;
  return value;
}

}  // namespace

std::string ToneWaveFile(double seconds) {
  constexpr std::uint32_t kRate = 11025;
  const auto samples = static_cast<std::uint32_t>(seconds * kRate);
  std::string bytes = "RIFF";
  Put32(bytes, 36 + samples);
  bytes += "WAVEfmt ";
  Put32(bytes, 16);
  Put16(bytes, 1);  // PCM
  Put16(bytes, 1);  // mono
  Put32(bytes, kRate);
  Put32(bytes, kRate);
  Put16(bytes, 1);
  Put16(bytes, 8);
  bytes += "data";
  Put32(bytes, samples);
  for (std::uint32_t i = 0; i < samples; ++i) {
    bytes.push_back(static_cast<char>(128 + std::lround(90 * std::sin(2 * 3.14159265358979 * 440 * i / kRate))));
  }
  return bytes;
}

ToneSeen ReadToneWithSox(const std::string& windowsPath) {
  const std::string report = windowsPath + ".sox.txt";
  DeleteFileA(report.c_str());
  const std::string part = UnixPath(windowsPath) + ".sox.part";
  // SoX reports on stderr; the report appears under its name only once it is complete.
  RunUnix("/bin/sh -c \"/usr/bin/sox '" + UnixPath(windowsPath) + "' -n stat 2> '" + part + "'; mv '" + part +
          "' '" + UnixPath(windowsPath) + ".sox.txt'\"");
  if (!WaitUntil([&] { return FileExists(report); }, std::chrono::seconds(30))) {
    throw std::runtime_error("SoX wrote no report on " + windowsPath);
  }
  const std::string text = ReadFileBytes(report);
  ToneSeen seen{Value(text, "Length (seconds)"), Value(text, "Rough   frequency")};
  if (std::isnan(seen.seconds) || std::isnan(seen.frequency)) {
    throw std::runtime_error("SoX cannot read " + windowsPath + ": " + text);
  }
  return seen;
}

}  // namespace e2e
