#pragma once
// The program's settings file. Every read goes to the file and every write updates it at
// once, so that all windows, and a second instance, see the same values.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kamolt {

class SettingsWriteError : public std::runtime_error {
 public:
  explicit SettingsWriteError(const std::string& path);
};

class IniFile {
 public:
  explicit IniFile(std::string path);
  const std::string& Path() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const;
  bool ReadFlag(std::string_view section, std::string_view key, bool fallback) const;

  // Throw SettingsWriteError when the file cannot be written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

 private:
  std::string path_;
};

}  // namespace kamolt
