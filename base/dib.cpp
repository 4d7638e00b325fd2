#include "base/dib.h"

#include <limits>

namespace kamolt {
namespace {

void Put16(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* at, std::uint32_t v) {
  Put16(at, v);
  Put16(at + 2, v >> 16);
}

constexpr std::int64_t kLargestPixelBlock = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::optional<std::size_t> DibRowBytes(std::int64_t width, int bitCount) {
  if (width <= 0 || width > kLargestPixelBlock) return std::nullopt;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    return std::nullopt;
  }
  const std::int64_t bytes = (width * bitCount + 31) / 32 * 4;
  if (bytes > kLargestPixelBlock) return std::nullopt;
  return static_cast<std::size_t>(bytes);
}

std::optional<std::vector<std::uint8_t>> NewDib24(int width, int height) {
  const auto row = DibRowBytes(width, 24);
  if (!row || height <= 0) return std::nullopt;
  const std::int64_t pixels = static_cast<std::int64_t>(*row) * height;
  if (pixels > kLargestPixelBlock - static_cast<std::int64_t>(kDibHeaderSize)) return std::nullopt;

  std::vector<std::uint8_t> dib(kDibHeaderSize + static_cast<std::size_t>(pixels));
  std::uint8_t* h = dib.data();
  Put32(h + 0, kDibHeaderSize);
  Put32(h + 4, static_cast<std::uint32_t>(width));
  Put32(h + 8, static_cast<std::uint32_t>(height));
  Put16(h + 12, 1);   // planes
  Put16(h + 14, 24);  // bit count
  Put32(h + 20, static_cast<std::uint32_t>(pixels));
  return dib;
}

}  // namespace kamolt
