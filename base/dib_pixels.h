#pragma once
// Pixel access for packed DIBs of every depth the platform has, for the codecs that turn
// them into files and back. Rows are addressed from the top of the picture whatever the
// DIB's own order, so a codec never has to care whether a DIB came bottom-up or top-down.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "base/dib.h"

namespace kamolt {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

class DibPicture {
 public:
  DibPicture(const DibLayout& layout, const std::uint8_t* block);
  const DibLayout& Layout() const { return layout_; }
  int Width() const { return layout_.width; }
  int Height() const { return layout_.height; }
  int BitCount() const { return layout_.bitCount; }
  bool HasPalette() const { return layout_.bitCount <= 8; }
  const std::uint8_t* RowFromTop(int y) const;
  // The colour table; entries a pixel may name past its end read as black.
  const std::vector<Rgb>& Palette() const { return palette_; }
  // Every palette entry is a shade of grey.
  bool GreyPalette() const;
  // Row y as width x 3 bytes, in R,G,B order or, with bgr, in B,G,R order.
  void RowToRgb(int y, std::uint8_t* out, bool bgr = false) const;

 private:
  DibLayout layout_;
  const std::uint8_t* block_;
  std::vector<Rgb> palette_;
  std::uint32_t masks_[3] = {0, 0, 0};
};

// MeasureDib, then a view of its pixels.
std::variant<DibPicture, DibError> ViewDib(const std::uint8_t* block, std::size_t size);

// The index of pixel x in a row of 1, 4 or 8 bits per pixel, and its setter.
inline int PaletteIndexAt(const std::uint8_t* row, int x, int bitCount) {
  switch (bitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default: return row[x];
  }
}
inline void SetPaletteIndexAt(std::uint8_t* row, int x, int bitCount, int index) {
  switch (bitCount) {
    case 1: {
      const auto bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<std::uint8_t>(index & 1 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case 4: {
      const int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & ~(15 << shift)) | ((index & 15) << shift));
      break;
    }
    default: row[x] = static_cast<std::uint8_t>(index);
  }
}

// A packed bottom-up DIB of 1, 4, 8 or 24 bits with the given palette (at most 2^bits
// entries; none for 24 bits) and zeroed pixels; nullopt when it would not be a sane DIB.
std::optional<std::vector<std::uint8_t>> NewDib(int width, int height, int bitCount, const std::vector<Rgb>& palette);
// Row y counted from the top of a DIB that NewDib made.
std::uint8_t* NewDibRowFromTop(std::vector<std::uint8_t>& dib, int y);

}  // namespace kamolt
