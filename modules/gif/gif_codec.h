#pragma once
// GIF files to and from packed DIBs, on giflib.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kamolt {

struct GifError {
  std::string message;
};

struct GifWriteOptions {
  bool gif89 = false;      // the file says GIF89a rather than GIF87a
  bool interlaced = false;
};

// A GIF of a packed DIB of any depth MeasureDib accepts. Palette pictures keep their palette
// and indices; deeper ones keep their colours when they have at most 256, and are reduced
// to 256 by giflib's median-cut quantiser otherwise.
std::variant<std::vector<std::uint8_t>, GifError> EncodeDibAsGif(const std::uint8_t* dib, std::size_t size,
                                                                const GifWriteOptions& options);

// The first picture of a GIF file as a packed bottom-up DIB of 1, 4 or 8 bits (the smallest
// that holds the file's colour table), laid on its logical screen. Stray bytes between blocks
// and a file that ends after the frame's last pixel are passed over; files that end inside
// the pixels, damaged and absurdly large files are refused with a message.
std::variant<std::vector<std::uint8_t>, GifError> DecodeGifToDib(const std::uint8_t* data, std::size_t size);

// Pixels past which a picture counts as absurdly large.
inline constexpr std::uint64_t kLargestGifPixels = std::uint64_t{1} << 28;

}  // namespace kamolt
