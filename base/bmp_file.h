#pragma once
// Windows bitmap files: the 14-byte file header in front of a packed DIB.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kamolt {

// The whole file for a DIB that MeasureDib accepts; throws std::invalid_argument otherwise.
std::string BmpFileFromDib(const std::uint8_t* dib, std::size_t size);

}  // namespace kamolt
