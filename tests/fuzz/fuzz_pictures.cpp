#include "tests/fuzz/fuzz_pictures.h"

#include <variant>

#include "base/dib.h"
#include "base/dib_pixels.h"
#include "base/little_endian.h"
#include "tests/fuzz/fuzz_targets.h"

namespace kamolt::fuzz {
namespace {

constexpr int kBitCounts[] = {1, 4, 8, 16, 24, 32};
constexpr std::uint32_t kHeaderSizes[] = {40, 56, 108, 124};

}  // namespace

std::vector<std::uint8_t> DibFromInput(FuzzInput& input) {
  const std::uint32_t width = 1 + input.U16() % 300;
  const std::uint32_t height = 1 + input.Byte() % 64;
  const int bitCount = kBitCounts[input.Pick(6)];
  const std::uint8_t flags = input.Byte();
  const bool topDown = flags & 1;
  const bool bitFields = flags & 2;
  const std::uint32_t headerSize = kHeaderSizes[(flags >> 2) & 3];
  const unsigned cut = (flags & 0x30) == 0x30 ? input.Byte() : 0;
  const std::uint32_t coloursUsed = input.U16() % 300;
  std::uint32_t masks[3] = {0, 0, 0};
  if (bitFields) {
    for (std::uint32_t& mask : masks) mask = input.U32();
  }

  const std::size_t rowBytes = (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
  const std::size_t tableEntries = bitCount <= 8 ? (coloursUsed ? coloursUsed : 1u << bitCount) : coloursUsed;
  const std::size_t maskBytes = bitFields && headerSize == 40 ? 12 : 0;
  const std::size_t pixelOffset = headerSize + maskBytes + 4 * tableEntries;
  const std::size_t size = pixelOffset + rowBytes * height;

  std::vector<std::uint8_t> dib(size);
  std::uint8_t* h = dib.data();
  Put32(h, headerSize);
  Put32(h + 4, width);
  Put32(h + 8, topDown ? static_cast<std::uint32_t>(-static_cast<std::int32_t>(height)) : height);
  Put16(h + 12, 1);
  Put16(h + 14, static_cast<std::uint32_t>(bitCount));
  Put32(h + 16, bitFields ? kDibBitfields : kDibRgb);
  Put32(h + 20, input.Flag() ? static_cast<std::uint32_t>(rowBytes * height) : input.U32());
  Put32(h + 32, coloursUsed);
  for (int i = 0; i < 3 && bitFields; ++i) Put32(h + 40 + 4 * i, masks[i]);
  // The rest of the input fills the colour table and the pixels, over and over.
  const std::vector<std::uint8_t> fill = input.Bytes(input.Left());
  for (std::size_t i = headerSize + maskBytes, j = 0; i < size && !fill.empty(); ++i, ++j) dib[i] = fill[j % fill.size()];
  dib.resize(size - (cut < size ? cut : 0));
  return dib;
}

std::vector<std::vector<std::uint8_t>> DibDescriptionSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  for (std::uint8_t depth = 0; depth < 6; ++depth) {
    const bool masked = depth == 3 || depth == 5;
    for (const std::uint8_t flags : {0x00, 0x01, 0x02, 0x06}) {
      if ((flags & 2) && !masked) continue;
      // width 17, height 5, depth, flags, 0 colours used (all the depth allows), size image.
      std::vector<std::uint8_t> seed = {17, 0, 5, depth, flags, 0, 0};
      if (flags & 2) {
        const std::uint32_t masks[3] = {depth == 3 ? 0x7C00u : 0xFF0000u, depth == 3 ? 0x03E0u : 0xFF00u,
                                        depth == 3 ? 0x001Fu : 0xFFu};
        for (const std::uint32_t mask : masks) {
          for (int b = 0; b < 4; ++b) seed.push_back(static_cast<std::uint8_t>(mask >> (8 * b)));
        }
      }
      seed.push_back(1);
      for (int i = 0; i < 48; ++i) seed.push_back(static_cast<std::uint8_t>(i * 37 + depth));
      seeds.push_back(std::move(seed));
    }
  }
  return seeds;
}

std::vector<std::vector<std::uint8_t>> SampleDibs() {
  std::vector<std::vector<std::uint8_t>> dibs;
  const struct {
    int width, height, bitCount, colours;
  } kinds[] = {{13, 7, 1, 2}, {9, 4, 4, 16}, {5, 3, 4, 3}, {11, 6, 8, 256}, {7, 7, 8, 5}, {10, 5, 24, 0}, {1, 1, 24, 0}};
  for (const auto& kind : kinds) {
    std::vector<Rgb> palette;
    for (int i = 0; i < kind.colours; ++i) {
      palette.push_back(Rgb{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i * 11),
                            static_cast<std::uint8_t>(i * 91 + 5)});
    }
    auto dib = NewDib(kind.width, kind.height, kind.bitCount, palette);
    for (int y = 0; y < kind.height; ++y) {
      std::uint8_t* row = NewDibRowFromTop(*dib, y);
      for (int x = 0; x < kind.width; ++x) {
        if (kind.bitCount == 24) {
          row[3 * x] = static_cast<std::uint8_t>(x * 23);
          row[3 * x + 1] = static_cast<std::uint8_t>(y * 41);
          row[3 * x + 2] = static_cast<std::uint8_t>(x * y * 7);
        } else {
          SetPaletteIndexAt(row, x, kind.bitCount, (x + 3 * y) % kind.colours);
        }
      }
    }
    dibs.push_back(std::move(*dib));
  }
  return dibs;
}

void CheckDecodedDib(const std::vector<std::uint8_t>& dib) {
  const auto viewed = ViewDib(dib.data(), dib.size());
  KAMOLT_FUZZ_CHECK(std::holds_alternative<DibPicture>(viewed));
  const DibPicture& picture = std::get<DibPicture>(viewed);
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(picture.Width()) * 3);
  for (int y = 0; y < picture.Height(); ++y) picture.RowToRgb(y, rgb.data());
}

}  // namespace kamolt::fuzz
