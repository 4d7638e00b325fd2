#pragma once
// Small pictures for the codec tests: DIBs of every depth with a known pattern, and a way
// to see any DIB as plain RGB so that results of different depths compare.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <variant>
#include <vector>

#include "base/dib_pixels.h"

namespace kamolt::testing {

struct RgbImage {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // top row first
};

inline RgbImage AsRgb(const std::vector<std::uint8_t>& dib) {
  auto viewed = ViewDib(dib.data(), dib.size());
  const DibPicture& picture = std::get<DibPicture>(viewed);
  RgbImage image{picture.Width(), picture.Height(), {}};
  image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  for (int y = 0; y < image.height; ++y) picture.RowToRgb(y, image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3);
  return image;
}

inline int LargestDifference(const RgbImage& a, const RgbImage& b) {
  if (a.width != b.width || a.height != b.height) return 1000;
  int largest = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) largest = std::max(largest, std::abs(a.rgb[i] - b.rgb[i]));
  return largest;
}

inline double MeanDifference(const RgbImage& a, const RgbImage& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(a.rgb[i] - b.rgb[i]);
  return a.rgb.empty() ? 0 : sum / static_cast<double>(a.rgb.size());
}

inline std::vector<Rgb> SomePalette(int entries) {
  std::vector<Rgb> palette;
  for (int i = 0; i < entries; ++i) {
    palette.push_back(Rgb{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i * 11),
                          static_cast<std::uint8_t>(i * 91 + 5)});
  }
  return palette;
}

inline std::vector<Rgb> GreyPalette(int entries) {
  std::vector<Rgb> palette;
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    palette.push_back(Rgb{v, v, v});
  }
  return palette;
}

// A palette DIB whose indices run in diagonal bands, or a 24-bit one with a smooth
// gradient (photo-like) or, with few, only a handful of colours.
inline std::vector<std::uint8_t> PatternDib(int width, int height, int bitCount, const std::vector<Rgb>& palette = {},
                                            bool few = false) {
  auto dib = *NewDib(width, height, bitCount, bitCount == 24 ? std::vector<Rgb>{} : palette);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = NewDibRowFromTop(dib, y);
    for (int x = 0; x < width; ++x) {
      if (bitCount == 24) {
        if (few) {
          const int band = ((x / 4) + (y / 4)) % 5;
          row[3 * x] = static_cast<std::uint8_t>(band * 60), row[3 * x + 1] = static_cast<std::uint8_t>(255 - band * 50),
          row[3 * x + 2] = static_cast<std::uint8_t>(band * 13);
        } else {
          row[3 * x] = static_cast<std::uint8_t>(x * 3);
          row[3 * x + 1] = static_cast<std::uint8_t>(y * 3);
          row[3 * x + 2] = static_cast<std::uint8_t>(40 + (x + y) * 2);
        }
      } else {
        SetPaletteIndexAt(row, x, bitCount, ((x / 3) + y) % static_cast<int>(palette.size()));
      }
    }
  }
  return dib;
}

// The same picture stored top-down: rows reversed and the height negated.
inline std::vector<std::uint8_t> TopDown(const std::vector<std::uint8_t>& dib) {
  auto viewed = ViewDib(dib.data(), dib.size());
  const DibLayout layout = std::get<DibPicture>(viewed).Layout();
  std::vector<std::uint8_t> flipped(dib);
  for (int y = 0; y < layout.height; ++y) {
    std::copy_n(dib.data() + layout.pixelOffset + static_cast<std::size_t>(y) * layout.rowBytes, layout.rowBytes,
                flipped.data() + layout.pixelOffset + static_cast<std::size_t>(layout.height - 1 - y) * layout.rowBytes);
  }
  const std::int32_t negative = -layout.height;
  std::memcpy(flipped.data() + 8, &negative, 4);
  return flipped;
}

inline int BitCountOf(const std::vector<std::uint8_t>& dib) { return dib.size() > 14 ? dib[14] : 0; }

template <typename T, typename E>
const T& Ok(const std::variant<T, E>& result) {
  if (const E* error = std::get_if<E>(&result)) {
    ADD_FAILURE() << error->message;
    static const T empty{};
    return empty;
  }
  return std::get<T>(result);
}

}  // namespace kamolt::testing
