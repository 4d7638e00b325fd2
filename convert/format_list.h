#pragma once
// The output formats as the clip/grab and scan dialogs offer them, and the format code each
// entry hands to the writer.
#include <array>
#include <string_view>

namespace kamolt {

inline constexpr std::array<std::string_view, 9> kFormatList = {"<auto>", "PCX", "GIF", "JPG", "BMP",
                                                                 "PCD",    "TIF", "EPS", "PNG"};

// 0 for "<auto>", the entry's position + 1000 for the others.
int FormatCodeOfEntry(int index);

// The entry equal to text when letter case is ignored; -1 when the list has none.
int FormatEntryOf(std::string_view text);

}  // namespace kamolt
