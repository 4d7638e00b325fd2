#include "app/png_reader.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "base/dib.h"

namespace kamolt {
namespace {

std::vector<std::uint8_t> EncodePng(int width, int height, png_uint_32 format, const std::vector<std::uint8_t>& rows) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = format;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rows.data(), 0, nullptr));
  std::vector<std::uint8_t> out(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, rows.data(), 0, nullptr));
  out.resize(size);
  return out;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(ReadPngAsDib, GivesBottomUpBgrRowsWithPadding) {
  // 3 x 2, top row red green blue, bottom row white black grey
  const std::vector<std::uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 128, 128};
  const auto result = ReadPngAsDib(EncodePng(3, 2, PNG_FORMAT_RGB, rgb));
  ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(result));
  const auto& dib = std::get<std::vector<std::uint8_t>>(result);
  ASSERT_EQ(dib.size(), kDibHeaderSize + 2 * 12);
  EXPECT_EQ(Le32(dib, 0), 40u);
  EXPECT_EQ(Le32(dib, 4), 3u);
  EXPECT_EQ(Le32(dib, 8), 2u);
  EXPECT_EQ(dib[14], 24);
  const std::uint8_t* bottom = dib.data() + kDibHeaderSize;
  const std::uint8_t* top = bottom + 12;
  EXPECT_EQ(std::vector<std::uint8_t>(top, top + 9), (std::vector<std::uint8_t>{0, 0, 255, 0, 255, 0, 255, 0, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(bottom, bottom + 9),
            (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0, 128, 128, 128}));
}

TEST(ReadPngAsDib, LaysTransparencyOnWhite) {
  const std::vector<std::uint8_t> rgba = {0, 0, 0, 0, 0, 0, 0, 255};
  const auto result = ReadPngAsDib(EncodePng(2, 1, PNG_FORMAT_RGBA, rgba));
  const auto& dib = std::get<std::vector<std::uint8_t>>(result);
  const std::uint8_t* px = dib.data() + kDibHeaderSize;
  EXPECT_EQ(std::vector<std::uint8_t>(px, px + 6), (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0}));
}

TEST(ReadPngAsDib, RefusesDamagedFilesWithAMessage) {
  auto png = EncodePng(4, 4, PNG_FORMAT_GRAY, std::vector<std::uint8_t>(16, 7));
  for (const auto& bad : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(png.begin(), png.begin() + 40),
                          std::vector<std::uint8_t>{'B', 'M', 0, 0}}) {
    const auto result = ReadPngAsDib(bad);
    ASSERT_TRUE(std::holds_alternative<PngReadError>(result));
    EXPECT_FALSE(std::get<PngReadError>(result).message.empty());
  }
}

TEST(Dib, RowBytesAndSizeLimits) {
  EXPECT_EQ(DibRowBytes(1, 1), 4u);
  EXPECT_EQ(DibRowBytes(33, 1), 8u);
  EXPECT_EQ(DibRowBytes(3, 24), 12u);
  EXPECT_EQ(DibRowBytes(0, 24), std::nullopt);
  EXPECT_EQ(DibRowBytes(5, 7), std::nullopt);
  EXPECT_EQ(DibRowBytes(0x7FFFFFFF, 32), std::nullopt);
  EXPECT_EQ(NewDib24(40000, 40000), std::nullopt);
  EXPECT_EQ(NewDib24(10, 0), std::nullopt);
  EXPECT_EQ(NewDib24(-1, 10), std::nullopt);
}

}  // namespace
}  // namespace kamolt
