#pragma once
// The program's command line: one mode letter, option letters with values, and the plain
// argument. The viewer and each dialog read the same parsed line for their own letters.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kamolt {

// Splits the way the classic Windows runtime did for GUI programs: blanks separate, double
// quotes group and are dropped, backslashes are ordinary characters (so "C:\dir\" keeps
// its trailing backslash). A "" stands for an empty argument. The first word, the program,
// is included.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

struct CommandLineOption {
  char letter;        // as typed; '\0' for a lone "/"
  std::string value;  // everything after the letter, unchanged
};

struct CommandLine {
  char mode = 'V';  // 'V' viewer, 'A' sound recorder, 'C' clip/grab, 'S' scan
  std::optional<std::string> plainArgument;
  std::vector<CommandLineOption> options;  // in the order given

  // Values of every option whose letter, upper-cased, is letter; in the order given.
  std::vector<std::string> ValuesOf(char upperLetter) const;
};

// arguments without the program's own name
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace kamolt
