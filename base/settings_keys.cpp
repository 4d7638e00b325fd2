#include "base/settings_keys.h"

#include <stdexcept>

namespace kamolt {
namespace {

std::string NumberedKey(const NumberedTextSetting& family, int n) {
  if (n < 0 || n >= NumberedTextSetting::kCount) throw std::out_of_range("settings key number out of range");
  return std::string(family.stem) + static_cast<char>('0' + n);
}

}  // namespace

std::int32_t Read(const IniFile& ini, const IntegerSetting& setting) {
  return ini.ReadInteger(setting.section, setting.key, setting.fallback);
}

std::string Read(const IniFile& ini, const TextSetting& setting) {
  return ini.ReadString(setting.section, setting.key, setting.fallback);
}

bool Read(const IniFile& ini, const FlagSetting& setting) {
  return ini.ReadFlag(setting.section, setting.key, setting.fallback);
}

std::string Read(const IniFile& ini, const NumberedTextSetting& family, int n) {
  return ini.ReadString(family.section, NumberedKey(family, n), "");
}

void Write(IniFile& ini, const IntegerSetting& setting, std::int32_t value) {
  ini.WriteInteger(setting.section, setting.key, value);
}

void Write(IniFile& ini, const TextSetting& setting, std::string_view value) {
  ini.WriteString(setting.section, setting.key, value);
}

void Write(IniFile& ini, const NumberedTextSetting& family, int n, std::string_view value) {
  ini.WriteString(family.section, NumberedKey(family, n), value);
}

}  // namespace kamolt
