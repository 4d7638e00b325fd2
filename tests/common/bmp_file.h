// 8-bit bitmap files in the header variants programs in the wild write, for the tests of
// the readers that must take them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kamolt::testing {

struct BmpVariant {
  std::uint32_t headerSize = 40;  // 12: OS/2 1.x; 16 and 64: OS/2 2.x; 40 and more: Windows
  bool topDown = false;
  std::uint16_t planes = 1;
  std::uint32_t compression = 0;
  bool countsColours = false;  // the header names how many colours its table holds
};

// indices: width x height palette indices, top row first; colours: 0xRRGGBB of each entry.
inline std::string EightBitBmpFile(const BmpVariant& v, int width, int height, const std::vector<std::uint8_t>& indices,
                                   const std::vector<std::uint32_t>& colours) {
  const std::size_t entry = v.headerSize == 12 ? 3 : 4;
  const std::size_t stride = (static_cast<std::size_t>(width) + 3) / 4 * 4;
  const std::size_t pixelsAt = 14 + v.headerSize + colours.size() * entry;
  std::string f(pixelsAt + stride * static_cast<std::size_t>(height), '\0');
  const auto put = [&](std::size_t at, std::uint32_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) f[at + i] = static_cast<char>(value >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put(2, static_cast<std::uint32_t>(f.size()), 4);
  put(10, static_cast<std::uint32_t>(pixelsAt), 4);
  put(14, v.headerSize, 4);
  const auto rows = static_cast<std::uint32_t>(v.topDown ? -height : height);
  if (v.headerSize == 12) {
    put(18, static_cast<std::uint32_t>(width), 2), put(20, rows, 2), put(22, v.planes, 2), put(24, 8, 2);
  } else {
    put(18, static_cast<std::uint32_t>(width), 4), put(22, rows, 4), put(26, v.planes, 2), put(28, 8, 2);
    if (v.headerSize >= 20) put(30, v.compression, 4);
    if (v.headerSize >= 36 && v.countsColours) put(46, static_cast<std::uint32_t>(colours.size()), 4);
  }
  for (std::size_t i = 0; i < colours.size(); ++i) put(14 + v.headerSize + i * entry, colours[i], 3);
  for (int y = 0; y < height; ++y) {
    const std::size_t row = static_cast<std::size_t>(v.topDown ? y : height - 1 - y);
    for (int x = 0; x < width; ++x) f[pixelsAt + row * stride + x] = static_cast<char>(indices[y * width + x]);
  }
  return f;
}

}  // namespace kamolt::testing
