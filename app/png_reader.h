#pragma once
// PNG pictures are read here rather than through a converter module: libpng decodes them
// into a packed 24-bit DIB, with transparent parts laid on white as a viewer shows them.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kamolt {

struct PngReadError {
  std::string message;
};

std::variant<std::vector<std::uint8_t>, PngReadError> ReadPngAsDib(const std::vector<std::uint8_t>& fileBytes);

}  // namespace kamolt
