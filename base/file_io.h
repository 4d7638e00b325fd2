#pragma once
// Whole-file reads and replacements. A replacement is written beside the target and then
// moved over it, so the old file stays intact when anything on the way fails.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kamolt {

// nullopt when the file is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
bool PathExists(const std::string& path);
// A file that is there, not a folder of that name.
bool IsFile(const std::string& path);
// The size of a file; 0 when it cannot be read.
std::uint64_t FileSize(const std::string& path);
// false when the new contents could not be put in place; the old file is then untouched.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace kamolt
