#include "app/command_line.h"

#include "base/int_text.h"

namespace kamolt {

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (true) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) break;
    std::string word;
    while (i < line.size() && !isBlank(line[i])) {
      if (line[i] == '"') {
        const auto close = line.find('"', i + 1);
        const auto end = close == std::string_view::npos ? line.size() : close;
        word.append(line.substr(i + 1, end - i - 1));
        i = close == std::string_view::npos ? line.size() : close + 1;
      } else {
        word.push_back(line[i++]);
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::vector<std::string> CommandLine::ValuesOf(char upperLetter) const {
  std::vector<std::string> values;
  for (const CommandLineOption& option : options) {
    if (UpperAscii(option.letter) == upperLetter) values.push_back(option.value);
  }
  return values;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  for (const std::string& argument : arguments) {
    if (!argument.empty() && argument[0] == '-') {
      const char letter = argument.size() > 1 ? UpperAscii(argument[1]) : '\0';
      result.mode = (letter == 'A' || letter == 'C' || letter == 'S') ? letter : 'V';
    } else if (!argument.empty() && argument[0] == '/') {
      result.options.push_back({argument.size() > 1 ? argument[1] : '\0', argument.size() > 2 ? argument.substr(2) : ""});
    } else {
      result.plainArgument = argument;
    }
  }
  return result;
}

}  // namespace kamolt
