#include "base/dib.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "picture_test_helpers.h"
#include "tests/common/bmp_file.h"

namespace kamolt {
namespace {

struct HeaderFields {
  std::uint32_t size = 40;
  std::int32_t width = 3;
  std::int32_t height = 2;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
};

std::vector<std::uint8_t> Block(const HeaderFields& f, std::size_t extra) {
  std::vector<std::uint8_t> b(40 + extra);
  const auto put = [&](std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(0, f.size, 4);
  put(4, static_cast<std::uint32_t>(f.width), 4);
  put(8, static_cast<std::uint32_t>(f.height), 4);
  put(12, f.planes, 2);
  put(14, f.bitCount, 2);
  put(16, f.compression, 4);
  put(32, f.coloursUsed, 4);
  return b;
}

std::variant<DibLayout, DibError> Measure(const std::vector<std::uint8_t>& b) { return MeasureDib(b.data(), b.size()); }

TEST(MeasureDib, LaysOutPlainBitmaps) {
  const auto rgb = Measure(Block({}, 2 * 12));
  ASSERT_TRUE(std::holds_alternative<DibLayout>(rgb)) << std::get<DibError>(rgb).message;
  const DibLayout& l = std::get<DibLayout>(rgb);
  EXPECT_EQ(l.rowBytes, 12u);
  EXPECT_EQ(l.pixelOffset, 40u);
  EXPECT_EQ(l.pixelBytes, 24u);
  EXPECT_FALSE(l.topDown);

  HeaderFields mono;
  mono.width = 33;
  mono.height = -2;
  mono.bitCount = 1;
  const auto one = std::get<DibLayout>(Measure(Block(mono, 8 + 2 * 8)));
  EXPECT_EQ(one.colourCount, 2u);
  EXPECT_EQ(one.pixelOffset, 48u);
  EXPECT_EQ(one.height, 2);
  EXPECT_TRUE(one.topDown);

  HeaderFields grey;
  grey.bitCount = 8;
  grey.coloursUsed = 16;
  EXPECT_EQ(std::get<DibLayout>(Measure(Block(grey, 64 + 2 * 4))).pixelOffset, 40u + 64u);

  HeaderFields fields;
  fields.bitCount = 32;
  fields.compression = kDibBitfields;
  EXPECT_EQ(std::get<DibLayout>(Measure(Block(fields, 12 + 2 * 12))).pixelOffset, 52u);
}

TEST(MeasureDib, RefusesAbsurdHeaders) {
  const auto refused = [](HeaderFields f, std::size_t extra) {
    return std::holds_alternative<DibError>(Measure(Block(f, extra)));
  };
  HeaderFields f;
  EXPECT_TRUE(refused(f, 2 * 12 - 1)) << "one byte short";
  f = {}; f.size = 39; EXPECT_TRUE(refused(f, 100));
  f = {}; f.size = 0xFFFFFFF0; EXPECT_TRUE(refused(f, 100));
  f = {}; f.width = 0; EXPECT_TRUE(refused(f, 100));
  f = {}; f.width = -5; EXPECT_TRUE(refused(f, 100));
  f = {}; f.height = 0; EXPECT_TRUE(refused(f, 100));
  f = {}; f.height = INT32_MIN; EXPECT_TRUE(refused(f, 100));
  f = {}; f.planes = 2; EXPECT_TRUE(refused(f, 100));
  f = {}; f.bitCount = 7; EXPECT_TRUE(refused(f, 100));
  f = {}; f.compression = 1; EXPECT_TRUE(refused(f, 100)) << "RLE";
  f = {}; f.bitCount = 8; f.coloursUsed = 257; EXPECT_TRUE(refused(f, 2000));
  f = {}; f.bitCount = 4; f.coloursUsed = 17; EXPECT_TRUE(refused(f, 2000));
  f = {}; f.bitCount = 24; f.compression = kDibBitfields; EXPECT_TRUE(refused(f, 2000));
  // A header longer than 40 bytes but too short to hold the masks itself.
  f = {}; f.size = 44; f.width = 1; f.height = 1; f.bitCount = 32; f.compression = kDibBitfields;
  EXPECT_TRUE(refused(f, 8));
  // Sizes whose product overflows 32 bits must not wrap to something small.
  f = {}; f.width = 0x10000; f.height = 0x10000; EXPECT_TRUE(refused(f, 100));
  f = {}; f.width = 0x7FFFFFFF; f.bitCount = 32; EXPECT_TRUE(refused(f, 100));
  EXPECT_TRUE(std::holds_alternative<DibError>(MeasureDib(nullptr, 0)));
  const auto message = std::get<DibError>(Measure(Block(HeaderFields{}, 3))).message;
  EXPECT_NE(message.find("Bitmap"), std::string::npos);
}

// A 2 x 2 bitmap file of 8 bits: red, green over blue, white, with the header variant given.
std::vector<std::uint8_t> BmpFile(std::uint32_t headerSize, bool topDown, std::uint16_t planes,
                                  std::uint32_t compression = 0) {
  const std::string file = testing::EightBitBmpFile({headerSize, topDown, planes, compression}, 2, 2, {0, 1, 2, 3},
                                                    {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
  return std::vector<std::uint8_t>(file.begin(), file.end());
}

TEST(BmpFileToDib, ReadsTheVariantsLenientViewersShow) {
  struct Case {
    const char* what;
    std::uint32_t headerSize;
    bool topDown;
    std::uint16_t planes;
  } const cases[] = {{"plain", 40, false, 1},       {"top-down", 40, true, 1}, {"three planes", 40, false, 3},
                     {"OS/2 2.x", 64, false, 1},     {"OS/2 2.x short", 16, false, 1},
                     {"OS/2 1.x", 12, false, 1},     {"version 5", 124, true, 1}};
  const std::vector<std::uint8_t> expected = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  for (const Case& c : cases) {
    const auto file = BmpFile(c.headerSize, c.topDown, c.planes);
    const auto dib = BmpFileToDib(file.data(), file.size());
    ASSERT_TRUE(dib) << c.what;
    EXPECT_TRUE(std::holds_alternative<DibLayout>(MeasureDib(dib->data(), dib->size()))) << c.what;
    EXPECT_EQ(testing::AsRgb(*dib).rgb, expected) << c.what;
  }
}

TEST(BmpFileToDib, LeavesCompressedAndCutFilesToThePlatform) {
  const auto rle = BmpFile(40, false, 1, 1);
  EXPECT_FALSE(BmpFileToDib(rle.data(), rle.size()));
  const auto huffman = BmpFile(64, false, 1, 3);  // OS/2's code 3 is not bit fields
  EXPECT_FALSE(BmpFileToDib(huffman.data(), huffman.size()));
  const auto plain = BmpFile(40, false, 1);
  for (std::size_t cut : {std::size_t{0}, std::size_t{20}, plain.size() - 1}) {
    EXPECT_FALSE(BmpFileToDib(plain.data(), cut)) << cut;
  }
}

}  // namespace
}  // namespace kamolt
