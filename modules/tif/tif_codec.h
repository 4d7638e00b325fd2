#pragma once
// TIFF files to and from packed DIBs, on libtiff.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kamolt {

struct TifError {
  std::string message;
};

struct TifWriteOptions {
  int compression = 32773;  // TIFF's own codes: 1 none, 5 LZW, 8 Deflate, 32773 PackBits
  int stripKilobytes = 8;   // strips of about this size
};

// A single-page TIFF of a packed DIB of any depth MeasureDib accepts, rows top first:
// black-and-white and grey ramps as such, other palettes as palette pictures, deeper
// pictures as 8-bit RGB. Compressions other than the four above are written as PackBits.
std::variant<std::vector<std::uint8_t>, TifError> EncodeDibAsTif(const std::uint8_t* dib, std::size_t size,
                                                                const TifWriteOptions& options);

// The first page of a TIFF file as a packed bottom-up DIB: 1, 4 and 8 bits for bilevel, grey
// and palette pages (2-bit ones widened to 4), 24 bits for the rest, whatever the row order,
// strips or tiles and compression. Deeper, signed and floating-point samples are reduced to
// 8 bits per channel, CIE L*a*b* is converted to sRGB. Cut-off, damaged and absurdly large
// files are refused, as are variants no reader here knows, each with its reason.
std::variant<std::vector<std::uint8_t>, TifError> DecodeTifToDib(const std::uint8_t* data, std::size_t size);

// Pixels past which a page counts as absurdly large.
inline constexpr std::uint64_t kLargestTifPixels = std::uint64_t{1} << 28;

}  // namespace kamolt
