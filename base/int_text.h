#pragma once
// Text helpers shared by every subsystem: the lenient integer reading used for settings
// and command-line values, ASCII case folding, and field splitting.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kamolt {

// Leading blanks, an optional sign, then decimal digits, or hexadecimal digits after
// "$", "x", "X", "0x" or "0X". Anything else, trailing characters included, gives nullopt.
// Decimal values must fit a signed 32-bit integer; hexadecimal ones may use all 32 bits
// and are taken as their two's-complement value (so "$FFFFFFFF" is -1).
std::optional<std::int32_t> ParseInteger(std::string_view text);
std::int32_t IntegerOr(std::string_view text, std::int32_t fallback);

// Only the ASCII letters change: the rest of code page 1252 stays as it is.
char UpperAscii(char c);
std::string UpperAscii(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The n-th field (counted from 1) of text split at separator. Fields are taken from the
// front one by one, stopping early once the text is used up; the last one taken wins.
std::string NthField(std::string_view text, char separator, int n);

}  // namespace kamolt
