#pragma once
// PNG files written by the program itself with libpng, for when the external converter is
// not there: palettes stay palettes (1, 4 and 8 bits), deeper pictures become 24-bit RGB.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kamolt {

struct PngWriteError {
  std::string message;
};

// The PNG file of a packed DIB. Refuses, with MeasureDib's message, blocks it refuses.
std::variant<std::vector<std::uint8_t>, PngWriteError> EncodeDibAsPng(const std::uint8_t* block, std::size_t blockSize);

}  // namespace kamolt
