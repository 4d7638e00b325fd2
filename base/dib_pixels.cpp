#include "base/dib_pixels.h"

#include <bit>
#include <cstring>

#include "base/little_endian.h"

namespace kamolt {
namespace {

// A channel of a 16- or 32-bit pixel scaled to 0..255, whatever the width of its mask.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const std::uint32_t top = mask >> shift;
  const std::uint64_t value = (pixel & mask) >> shift;
  return static_cast<std::uint8_t>((value * 255 + top / 2) / top);
}

}  // namespace

DibPicture::DibPicture(const DibLayout& layout, const std::uint8_t* block) : layout_(layout), block_(block) {
  const std::uint8_t* table = block + layout.colourTableOffset;
  if (layout.bitCount <= 8) {
    palette_.resize(std::size_t{1} << layout.bitCount);
    for (std::uint32_t i = 0; i < layout.colourCount && i < palette_.size(); ++i) {
      palette_[i] = Rgb{table[4 * i + 2], table[4 * i + 1], table[4 * i]};
    }
  }
  if (layout.compression == kDibBitfields) {
    // A 40-byte header is followed by the masks; the longer headers hold them at offset 40.
    const std::uint8_t* masks = layout.headerSize == kDibHeaderSize ? table - 12 : block + 40;
    for (int i = 0; i < 3; ++i) masks_[i] = Get32(masks + 4 * i);
  } else if (layout.bitCount == 16) {
    masks_[0] = 0x7C00, masks_[1] = 0x03E0, masks_[2] = 0x001F;
  } else {
    masks_[0] = 0xFF0000, masks_[1] = 0x00FF00, masks_[2] = 0x0000FF;
  }
}

const std::uint8_t* DibPicture::RowFromTop(int y) const {
  const int stored = layout_.topDown ? y : layout_.height - 1 - y;
  return block_ + layout_.pixelOffset + static_cast<std::size_t>(stored) * layout_.rowBytes;
}

bool DibPicture::GreyPalette() const {
  if (!HasPalette()) return false;
  for (const Rgb& c : palette_) {
    if (c.r != c.g || c.g != c.b) return false;
  }
  return true;
}

void DibPicture::RowToRgb(int y, std::uint8_t* out, bool bgr) const {
  const std::uint8_t* row = RowFromTop(y);
  const int width = layout_.width;
  const int r = bgr ? 2 : 0, b = bgr ? 0 : 2;
  switch (layout_.bitCount) {
    case 24:
      if (bgr) {
        std::memcpy(out, row, static_cast<std::size_t>(width) * 3);
      } else {
        for (int x = 0; x < width; ++x, row += 3, out += 3) out[0] = row[2], out[1] = row[1], out[2] = row[0];
      }
      return;
    case 16:
    case 32:
      for (int x = 0; x < width; ++x, out += 3) {
        const std::uint32_t pixel = layout_.bitCount == 16 ? (row[2 * x] | row[2 * x + 1] << 8) : Get32(row + 4 * x);
        out[r] = Channel(pixel, masks_[0]);
        out[1] = Channel(pixel, masks_[1]);
        out[b] = Channel(pixel, masks_[2]);
      }
      return;
    default:
      for (int x = 0; x < width; ++x, out += 3) {
        const Rgb& c = palette_[static_cast<std::size_t>(PaletteIndexAt(row, x, layout_.bitCount))];
        out[r] = c.r, out[1] = c.g, out[b] = c.b;
      }
  }
}

std::variant<DibPicture, DibError> ViewDib(const std::uint8_t* block, std::size_t size) {
  auto measured = MeasureDib(block, size);
  if (auto* error = std::get_if<DibError>(&measured)) return *error;
  return DibPicture(std::get<DibLayout>(measured), block);
}

std::optional<std::vector<std::uint8_t>> NewDib(int width, int height, int bitCount, const std::vector<Rgb>& palette) {
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) return std::nullopt;
  if (bitCount == 24 ? !palette.empty() : palette.size() > (std::size_t{1} << bitCount)) return std::nullopt;
  const auto row = DibRowBytes(width, bitCount);
  if (!row || height <= 0) return std::nullopt;
  const std::uint64_t pixels = static_cast<std::uint64_t>(*row) * static_cast<std::uint64_t>(height);
  const std::size_t table = 4 * palette.size();
  if (pixels > 0x7FFFFFFFu - kDibHeaderSize - table) return std::nullopt;

  std::vector<std::uint8_t> dib(kDibHeaderSize + table + static_cast<std::size_t>(pixels));
  std::uint8_t* h = dib.data();
  Put32(h, kDibHeaderSize);
  Put32(h + 4, static_cast<std::uint32_t>(width));
  Put32(h + 8, static_cast<std::uint32_t>(height));
  h[12] = 1;
  h[14] = static_cast<std::uint8_t>(bitCount);
  Put32(h + 20, static_cast<std::uint32_t>(pixels));
  Put32(h + 32, static_cast<std::uint32_t>(palette.size()));
  for (std::size_t i = 0; i < palette.size(); ++i) {
    h[40 + 4 * i] = palette[i].b;
    h[41 + 4 * i] = palette[i].g;
    h[42 + 4 * i] = palette[i].r;
  }
  return dib;
}

std::uint8_t* NewDibRowFromTop(std::vector<std::uint8_t>& dib, int y) {
  const std::uint8_t* h = dib.data();
  const int width = static_cast<int>(Get32(h + 4));
  const int height = static_cast<int>(Get32(h + 8));
  const std::size_t row = *DibRowBytes(width, h[14]);
  const std::size_t pixels = kDibHeaderSize + 4 * static_cast<std::size_t>(Get32(h + 32));
  return dib.data() + pixels + static_cast<std::size_t>(height - 1 - y) * row;
}

}  // namespace kamolt
