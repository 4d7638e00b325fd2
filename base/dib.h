#pragma once
// Device-independent bitmaps as the platform packs them: a header (40 bytes or one of its
// longer versions), the colour table, then rows padded to four bytes, bottom-up unless the
// height is negative. Every DIB that reaches us from outside (a module, the clipboard, a
// scanner) is measured here first, so nothing reads past its block.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kamolt {

inline constexpr std::size_t kDibHeaderSize = 40;
inline constexpr std::uint32_t kDibRgb = 0;
inline constexpr std::uint32_t kDibBitfields = 3;

// Bytes of one padded row, or nullopt when width and bit count are not a sane bitmap.
std::optional<std::size_t> DibRowBytes(std::int64_t width, int bitCount);

struct DibLayout {
  std::uint32_t headerSize = 0;
  int width = 0;
  int height = 0;         // always positive
  bool topDown = false;   // the stored height was negative
  int bitCount = 0;
  std::uint32_t compression = kDibRgb;
  std::uint32_t colourCount = 0;  // entries in the colour table
  std::size_t colourTableOffset = 0;  // after the header (and the three masks of bit fields)
  std::size_t pixelOffset = 0;
  std::size_t rowBytes = 0;
  std::size_t pixelBytes = 0;     // rowBytes * height
};

struct DibError {
  std::string message;
};

// Measures a packed DIB of blockSize bytes. Refuses, with a message for the user, headers
// that are short or absurd, sizes that overflow, colour tables past 256 entries,
// compressions other than plain and bit fields, and blocks shorter than their header says.
std::variant<DibLayout, DibError> MeasureDib(const std::uint8_t* block, std::size_t blockSize);

// The picture of a bitmap file as a packed bottom-up DIB with a plain 40-byte header, read
// as leniently as other viewers do: OS/2 headers of every length (12, 16 to 64 bytes), any
// plane count, top-down rows, short colour tables. nullopt for what it does not read
// (compressed rows, damaged or cut-off files), which is left to the platform's loader.
std::optional<std::vector<std::uint8_t>> BmpFileToDib(const std::uint8_t* file, std::size_t size);

// A packed 24-bit DIB of the given size with its header filled in and black pixels;
// nullopt when the size is not positive or the pixels would not fit 2 GiB.
std::optional<std::vector<std::uint8_t>> NewDib24(int width, int height);

}  // namespace kamolt
