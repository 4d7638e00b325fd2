#include "base/ini_file.h"

#include "base/file_io.h"
#include "base/ini_document.h"
#include "base/int_text.h"

namespace kamolt {

SettingsWriteError::SettingsWriteError(const std::string& path)
    : std::runtime_error("In " + path + " kann nicht geschrieben werden") {}

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const auto text = ReadWholeFile(path_);
  if (!text) return std::string(fallback);
  return IniDocument(*text).Get(section, key).value_or(std::string(fallback));
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const {
  return IntegerOr(ReadString(section, key, ""), fallback);
}

bool IniFile::ReadFlag(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  // A file that exists but cannot be read must not be replaced by one holding only this key.
  const auto text = ReadWholeFile(path_);
  if (!text && PathExists(path_)) throw SettingsWriteError(path_);
  IniDocument document(text.value_or(""));
  document.Set(section, key, value);
  if (!ReplaceFileContents(path_, document.Text())) throw SettingsWriteError(path_);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace kamolt
