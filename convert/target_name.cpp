#include "convert/target_name.h"

namespace kamolt {
namespace {

std::size_t FilePartStart(std::string_view name) {
  const std::size_t separator = name.find_last_of("\\/");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

bool AllowedInFileName(unsigned char c) {
  return c >= 0x20 && std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) == std::string_view::npos;
}

}  // namespace

std::size_t ExtensionDot(std::string_view name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos || dot < FilePartStart(name)) return std::string_view::npos;
  return dot;
}

std::string NextPictureName(std::string_view name) {
  std::string next(name);
  const std::size_t dot = ExtensionDot(name);
  const std::size_t end = dot == std::string_view::npos ? name.size() : dot;
  if (end == FilePartStart(name)) return next.insert(end, "1");

  auto c = static_cast<unsigned char>(next[end - 1]);
  if (c == '9') {
    next[end - 1] = 'A';
    return next;
  }
  do {
    if (c == 0xFF) return next.insert(end, "0");
    ++c;
  } while (!AllowedInFileName(c));
  next[end - 1] = static_cast<char>(c);
  return next;
}

std::string StripExtension(std::string_view name) {
  const std::size_t dot = ExtensionDot(name);
  if (dot == std::string_view::npos) return std::string(name) + ".";
  return std::string(name.substr(0, dot + 1));
}

std::string CommandLineWord(std::string_view word) {
  // Blanks and tabs split words for the program; the others are the command
  // interpreter's: outside quotes they chain, redirect or escape commands.
  if (!word.empty() && word.find_first_of(" \t\n\v\"&|()<>^,;=") == std::string_view::npos) {
    return std::string(word);
  }
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only before a quote: there they are doubled, and the quote escaped.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote too, or it would be taken as part of the word.
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

std::string ConverterCommandLine(std::string_view converter, std::string_view source, std::string_view target) {
  std::string line = CommandLineWord(converter);
  line += ' ';
  line += CommandLineWord(source);
  line += " /convert=";
  line += CommandLineWord(target);
  return line;
}

}  // namespace kamolt
