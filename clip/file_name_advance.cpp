#include "clip/file_name_advance.h"

#include "convert/target_name.h"

namespace kamolt {
namespace {

bool AllowedInFileName(unsigned char c) {
  return c >= 0x20 && std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) == std::string_view::npos;
}

// The next counter character: 9 goes to A, everything else to the next code a file name
// can hold. No next code at all (the last code) is reported as a carry.
bool Step(char& counter) {
  auto c = static_cast<unsigned char>(counter);
  if (c == '9') {
    counter = 'A';
    return true;
  }
  do {
    if (c == 0xFF) return false;
    ++c;
  } while (!AllowedInFileName(c));
  counter = static_cast<char>(c);
  return true;
}

}  // namespace

std::string AdvanceFileName(std::string_view name) {
  std::string next(name);
  const std::size_t separator = name.find_last_of("\\/");
  const std::size_t fileStart = separator == std::string_view::npos ? 0 : separator + 1;
  const std::size_t dot = ExtensionDot(name);
  const std::size_t end = dot == std::string_view::npos ? name.size() : dot;

  if (end == fileStart) return next.insert(end, "1");
  const std::size_t c1 = end - 1;
  const bool stepped = Step(next[c1]);
  if (stepped && next[c1] != '[') return next;
  next[c1] = '0';

  if (c1 == fileStart) return next.insert(c1, "1");
  // The character in front has no carry of its own; at the last code the counter grows by
  // a place instead, so no name of the series comes back.
  if (!Step(next[c1 - 1])) next.insert(c1, "0");
  return next;
}

}  // namespace kamolt
