#pragma once
// The text of an INI file, read and changed one key at a time the way the platform's
// profile functions do: sections and keys match without regard to ASCII case, the first
// match wins, values lose surrounding blanks and one pair of double quotes, and a write
// keeps every other line of the file as it was.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kamolt {

class IniDocument {
 public:
  explicit IniDocument(std::string_view text = {});

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Values cannot span lines; a line break in value is refused with std::invalid_argument.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;  // lines joined with CR LF

 private:
  struct Line {
    std::string text;
    std::string section;  // for a header line: its name; otherwise empty
    std::string key;      // for a key line: its trimmed key; otherwise empty
    bool isHeader = false;
    bool isKey = false;
  };
  static Line Classify(std::string text);
  std::optional<std::size_t> FindSection(std::string_view section) const;

  std::vector<Line> lines_;
};

}  // namespace kamolt
