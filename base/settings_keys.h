#pragma once
// Every key of the settings file, with its section and default, in one place.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/ini_file.h"

namespace kamolt {

struct IntegerSetting {
  std::string_view section, key;
  std::int32_t fallback;
};
struct TextSetting {
  std::string_view section, key;
  std::string_view fallback;
};
struct FlagSetting {
  std::string_view section, key;
  bool fallback;
};
// A family of text keys stem0 to stem9.
struct NumberedTextSetting {
  std::string_view section, stem;
  static constexpr int kCount = 10;
};

namespace settings {
inline constexpr IntegerSetting kWindowLeft{"Windows", "xKoord", 201};
inline constexpr IntegerSetting kWindowTop{"Windows", "yKoord", 102};
inline constexpr IntegerSetting kFitMode{"Windows", "FitToScreen", 0};
inline constexpr TextSetting kOpenFolder{"Others", "OpenDir", ""};
inline constexpr TextSetting kDefaultFormat{"Others", "DefExt", "<auto>"};
inline constexpr NumberedTextSetting kFileNames{"Others", "Filename"};
inline constexpr NumberedTextSetting kResolutions{"Scan", "DPI"};
inline constexpr TextSetting kDefaultResolution{"Scan", "DefDPI", "100"};
inline constexpr NumberedTextSetting kPaperSizes{"Scan", "Format"};
inline constexpr TextSetting kDefaultPaperSize{"Scan", "DefFormat", ""};
inline constexpr FlagSetting kSelectSource{"Scan", "SelectSource", false};
inline constexpr FlagSetting kShowSourceUi{"Scan", "Twain", false};
inline constexpr FlagSetting kTransmissive{"Scan", "Transmissive", false};
inline constexpr FlagSetting kPixelFlavor{"Scan", "PixelFlavor", false};
inline constexpr FlagSetting kDuplex{"Scan", "Duplex", false};
}  // namespace settings

std::int32_t Read(const IniFile& ini, const IntegerSetting& setting);
std::string Read(const IniFile& ini, const TextSetting& setting);
bool Read(const IniFile& ini, const FlagSetting& setting);
std::string Read(const IniFile& ini, const NumberedTextSetting& family, int n);

void Write(IniFile& ini, const IntegerSetting& setting, std::int32_t value);
void Write(IniFile& ini, const TextSetting& setting, std::string_view value);
void Write(IniFile& ini, const NumberedTextSetting& family, int n, std::string_view value);

}  // namespace kamolt
