#pragma once
// Device-independent bitmaps as the platform packs them: a 40-byte header, the colour
// table, then bottom-up rows padded to four bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kamolt {

inline constexpr std::size_t kDibHeaderSize = 40;

// Bytes of one padded row, or nullopt when width and bit count are not a sane bitmap.
std::optional<std::size_t> DibRowBytes(std::int64_t width, int bitCount);

// A packed 24-bit DIB of the given size with its header filled in and black pixels;
// nullopt when the size is not positive or the pixels would not fit 2 GiB.
std::optional<std::vector<std::uint8_t>> NewDib24(int width, int height);

}  // namespace kamolt
