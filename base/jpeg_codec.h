#pragma once
// JPEG files to and from packed DIBs, on libjpeg. libjpeg reports errors by jumping out of
// its own calls; that stays inside jpeg_codec.cpp, and only results come out of here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace kamolt {

struct JpegError {
  std::string message;
};

struct JpegWriteOptions {
  int quality = 85;          // 1..100; values outside are clamped
  bool progressive = false;  // false: baseline, what every reader takes
};

struct JpegReadOptions {
  bool greyAsColour = false;  // greyscale files give 24-bit DIBs rather than 8-bit grey ones
};

// Baseline JPEG of a packed DIB of any depth MeasureDib accepts. Palettes become colour,
// except that a palette of nothing but greys becomes a greyscale JPEG.
std::variant<std::vector<std::uint8_t>, JpegError> EncodeDibAsJpeg(const std::uint8_t* dib, std::size_t size,
                                                                  int quality);
std::variant<std::vector<std::uint8_t>, JpegError> EncodeDibAsJpeg(const std::uint8_t* dib, std::size_t size,
                                                                  const JpegWriteOptions& options);

// A packed bottom-up 24-bit DIB (8-bit grey for greyscale files) from JPEG bytes. Damaged,
// cut-off and absurdly large files are refused with a message.
std::variant<std::vector<std::uint8_t>, JpegError> DecodeJpegToDib(const std::uint8_t* data, std::size_t size);
std::variant<std::vector<std::uint8_t>, JpegError> DecodeJpegToDib(const std::uint8_t* data, std::size_t size,
                                                                  const JpegReadOptions& options);

// The same, decoded straight into memory the caller provides: allocate is asked once for
// the DIB's size and returns the block to fill (or nullptr when there is no memory).
// The result is the DIB's size.
using DibAllocator = std::function<std::uint8_t*(std::size_t)>;
std::variant<std::size_t, JpegError> DecodeJpegInto(const std::uint8_t* data, std::size_t size,
                                                    const DibAllocator& allocate, const JpegReadOptions& options);

// Pixel bytes past which a file counts as absurdly large (a 32-bit process could not hold it).
inline constexpr std::size_t kLargestJpegPixels = std::size_t{1} << 30;

}  // namespace kamolt
