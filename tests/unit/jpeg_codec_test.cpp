#include "base/jpeg_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "picture_test_helpers.h"

// clang-format off
#include <jpeglib.h>
// clang-format on

namespace kamolt {
namespace {

using testing::AsRgb;
using testing::Ok;

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& dib, int quality = 90, bool progressive = false) {
  JpegWriteOptions options;
  options.quality = quality;
  options.progressive = progressive;
  return Ok(EncodeDibAsJpeg(dib.data(), dib.size(), options));
}

std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& jpeg, bool greyAsColour = false) {
  JpegReadOptions options;
  options.greyAsColour = greyAsColour;
  return Ok(DecodeJpegToDib(jpeg.data(), jpeg.size(), options));
}

bool HasMarker(const std::vector<std::uint8_t>& jpeg, std::uint8_t marker) {
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return true;
  }
  return false;
}

TEST(JpegCodec, ColourPicturesComeBackWithinJpegError) {
  for (const int width : {1, 3, 17, 64}) {
    const auto dib = testing::PatternDib(width, 21, 24);
    const auto back = Decode(Encode(dib));
    EXPECT_EQ(testing::BitCountOf(back), 24);
    EXPECT_LE(testing::LargestDifference(AsRgb(dib), AsRgb(back)), 24) << width;
    EXPECT_LT(testing::MeanDifference(AsRgb(dib), AsRgb(back)), 2.5) << width;
  }
}

TEST(JpegCodec, EveryDepthIsWrittenAsTheColoursItShows) {
  for (const int bits : {1, 4, 8}) {
    // Wide bands, so that the colours survive chroma subsampling.
    auto dib = *NewDib(48, 32, bits, testing::SomePalette(2));
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 48; ++x) SetPaletteIndexAt(NewDibRowFromTop(dib, y), x, bits, x >= 24);
    }
    const auto back = Decode(Encode(dib, 95));
    EXPECT_EQ(testing::BitCountOf(back), 24);
    EXPECT_LT(testing::MeanDifference(AsRgb(dib), AsRgb(back)), 4.0) << bits;
  }
}

TEST(JpegCodec, TopDownAndBottomUpDibsGiveTheSameFile) {
  const auto dib = testing::PatternDib(33, 19, 24);
  EXPECT_EQ(Encode(dib), Encode(testing::TopDown(dib)));
  const auto palette = testing::PatternDib(33, 19, 8, testing::SomePalette(200));
  EXPECT_EQ(Encode(palette), Encode(testing::TopDown(palette)));
}

TEST(JpegCodec, GreyPalettesBecomeGreyscaleFiles) {
  const auto dib = testing::PatternDib(40, 24, 8, testing::GreyPalette(256));
  const auto jpeg = Encode(dib);
  const auto grey = Decode(jpeg);
  EXPECT_EQ(testing::BitCountOf(grey), 8);
  EXPECT_LT(testing::MeanDifference(AsRgb(dib), AsRgb(grey)), 4.0);
  const auto colour = Decode(jpeg, true);
  EXPECT_EQ(testing::BitCountOf(colour), 24);
  EXPECT_EQ(AsRgb(colour).rgb, AsRgb(grey).rgb);
}

TEST(JpegCodec, BaselineUnlessProgressiveIsAsked) {
  const auto dib = testing::PatternDib(16, 16, 24);
  EXPECT_TRUE(HasMarker(Encode(dib), 0xC0));
  EXPECT_FALSE(HasMarker(Encode(dib), 0xC2));
  const auto progressive = Encode(dib, 85, true);
  EXPECT_TRUE(HasMarker(progressive, 0xC2));
  EXPECT_LE(testing::LargestDifference(AsRgb(dib), AsRgb(Decode(progressive))), 30);
}

TEST(JpegCodec, QualityOutsideTheRangeIsClamped) {
  const auto dib = testing::PatternDib(16, 16, 24);
  EXPECT_EQ(Encode(dib, 0), Encode(dib, 1));
  EXPECT_EQ(Encode(dib, 1000), Encode(dib, 100));
}

TEST(JpegCodec, DecodedRowsHaveClearPadding) {
  const auto back = Decode(Encode(testing::PatternDib(5, 7, 24)));
  auto viewed = ViewDib(back.data(), back.size());
  const DibLayout layout = std::get<DibPicture>(viewed).Layout();
  for (int y = 0; y < layout.height; ++y) {
    const std::uint8_t* row = back.data() + layout.pixelOffset + static_cast<std::size_t>(y) * layout.rowBytes;
    EXPECT_EQ(row[15], 0);
  }
}

TEST(JpegCodec, DamagedFilesAreRefused) {
  const auto jpeg = Encode(testing::PatternDib(64, 64, 24));
  EXPECT_TRUE(std::holds_alternative<JpegError>(DecodeJpegToDib(nullptr, 0)));
  const std::vector<std::uint8_t> garbage(300, 0x5A);
  EXPECT_TRUE(std::holds_alternative<JpegError>(DecodeJpegToDib(garbage.data(), garbage.size())));
  for (const std::size_t cut : {std::size_t{2}, std::size_t{100}, jpeg.size() / 2, jpeg.size() - 40}) {
    const auto result = DecodeJpegToDib(jpeg.data(), cut);
    ASSERT_TRUE(std::holds_alternative<JpegError>(result)) << cut;
    EXPECT_FALSE(std::get<JpegError>(result).message.empty());
  }
  // Only the end marker missing: every pixel is there.
  EXPECT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(DecodeJpegToDib(jpeg.data(), jpeg.size() - 2)));
}

TEST(JpegCodec, AbsurdDimensionsAreRefusedBeforeAnyAllocation) {
  auto jpeg = Encode(testing::PatternDib(8, 8, 24));
  static constexpr std::uint8_t kFrame[] = {0xFF, 0xC0};
  const auto sof = std::search(jpeg.begin(), jpeg.end(), std::begin(kFrame), std::end(kFrame));
  ASSERT_NE(sof, jpeg.end());
  // Height and width at offsets 5 and 7 of the frame header: 65000 x 65000.
  sof[5] = 0xFD, sof[6] = 0xE8, sof[7] = 0xFD, sof[8] = 0xE8;
  bool asked = false;
  const DibAllocator allocate = [&](std::size_t) -> std::uint8_t* {
    asked = true;
    return nullptr;
  };
  EXPECT_TRUE(std::holds_alternative<JpegError>(DecodeJpegInto(jpeg.data(), jpeg.size(), allocate, {})));
  EXPECT_FALSE(asked);
}

TEST(JpegCodec, NoMemoryIsAnErrorNotACrash) {
  const auto jpeg = Encode(testing::PatternDib(8, 8, 24));
  const DibAllocator none = [](std::size_t) -> std::uint8_t* { return nullptr; };
  EXPECT_TRUE(std::holds_alternative<JpegError>(DecodeJpegInto(jpeg.data(), jpeg.size(), none, {})));
  // An allocator that throws is the same refusal, and libjpeg's object is still freed (the
  // leak checker watches).
  const DibAllocator throwing = [](std::size_t) -> std::uint8_t* { throw std::bad_alloc(); };
  EXPECT_TRUE(std::holds_alternative<JpegError>(DecodeJpegInto(jpeg.data(), jpeg.size(), throwing, {})));
}

// A large picture is decoded while a second thread readies the pages of the block's top
// rows; none of its writes may land on a pixel, whatever rows the decoder has reached.
TEST(JpegCodec, LargePicturesDecodeWholeIntoFreshMemory) {
  constexpr int kWidth = 1800, kHeight = 1000;  // 5.4 MB of pixels
  auto dib = *NewDib24(kWidth, kHeight);
  for (std::size_t i = kDibHeaderSize; i < dib.size(); ++i) dib[i] = static_cast<std::uint8_t>(100 + i % 7 * 20);
  const auto jpeg = Encode(dib, 95);
  std::unique_ptr<std::uint8_t[]> block;
  const DibAllocator fresh = [&](std::size_t bytes) {
    block.reset(new std::uint8_t[bytes]);
    return block.get();
  };
  const auto size = DecodeJpegInto(jpeg.data(), jpeg.size(), fresh, {});
  ASSERT_TRUE(std::holds_alternative<std::size_t>(size));
  ASSERT_EQ(std::get<std::size_t>(size), dib.size());
  const std::uint8_t* pixels = block.get() + kDibHeaderSize;
  const std::uint8_t* darkest = std::min_element(pixels, pixels + (dib.size() - kDibHeaderSize));
  EXPECT_GT(*darkest, 60) << "a dark byte at " << (darkest - pixels);
}

TEST(JpegCodec, AbsurdDibsAreRefused) {
  auto dib = testing::PatternDib(8, 8, 24);
  EXPECT_TRUE(std::holds_alternative<JpegError>(EncodeDibAsJpeg(dib.data(), dib.size() - 1, 90)));
  dib[4] = 0xFF, dib[5] = 0xFF, dib[6] = 0xFF, dib[7] = 0x7F;
  EXPECT_TRUE(std::holds_alternative<JpegError>(EncodeDibAsJpeg(dib.data(), dib.size(), 90)));
}

// A 48 x 48 colour file with a restart marker after every row of blocks, as cameras write
// them: damage inside one interval stays there.
std::vector<std::uint8_t> EncodeWithRestarts() {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&info, &out, &outSize);
  info.image_width = info.image_height = 48;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  info.restart_in_rows = 1;
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(48 * 3);
  while (info.next_scanline < info.image_height) {
    for (std::size_t x = 0; x < 48; ++x) row[3 * x] = static_cast<JSAMPLE>(x * 5), row[3 * x + 2] = static_cast<JSAMPLE>(info.next_scanline * 5);
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<std::uint8_t> file(out, out + outSize);
  std::free(out);
  return file;
}

std::size_t FindMarker(const std::vector<std::uint8_t>& jpeg, std::uint8_t marker) {
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return i;
  }
  return jpeg.size();
}

TEST(JpegCodec, DamageLibjpegRecoversFromIsNoRefusal) {
  const auto whole = EncodeWithRestarts();
  const std::size_t scan = FindMarker(whole, 0xDA);
  const std::size_t data = scan + 2 + (whole[scan + 2] << 8 | whole[scan + 3]);
  const std::size_t firstRestart = FindMarker(whole, 0xD0);
  ASSERT_LT(data + 8, firstRestart);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> file;
  } cases[] = {{"stray bytes before a restart marker", whole},
               {"codes that stand for nothing", whole},
               {"a stray marker inside an interval", whole}};
  cases[0].file.insert(cases[0].file.begin() + static_cast<std::ptrdiff_t>(firstRestart), 1214, 0x5A);
  for (std::size_t i = data + 2; i + 1 < firstRestart; i += 2) cases[1].file[i] = 0xFF, cases[1].file[i + 1] = 0x00;
  cases[2].file[data + 2] = 0xFF, cases[2].file[data + 3] = 0x01;
  const auto clean = AsRgb(Decode(whole));
  for (const Case& c : cases) {
    const auto result = DecodeJpegToDib(c.file.data(), c.file.size());
    ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(result)) << c.what << ": "
                                                                          << std::get<JpegError>(result).message;
    // Past the damaged interval (and the row its colours are smoothed into) every row is
    // the file's own.
    const std::size_t kCheckedFrom = 18 * 48 * 3;
    auto decoded = AsRgb(std::get<std::vector<std::uint8_t>>(result));
    ASSERT_EQ(decoded.rgb.size(), clean.rgb.size());
    EXPECT_TRUE(std::equal(decoded.rgb.begin() + kCheckedFrom, decoded.rgb.end(), clean.rgb.begin() + kCheckedFrom))
        << c.what;
  }
}

}  // namespace
}  // namespace kamolt
