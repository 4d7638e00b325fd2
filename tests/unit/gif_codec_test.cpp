#include "modules/gif/gif_codec.h"

#include <gtest/gtest.h>

#include "picture_test_helpers.h"

namespace kamolt {
namespace {

using testing::AsRgb;
using testing::Ok;

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& dib, GifWriteOptions options = {}) {
  return Ok(EncodeDibAsGif(dib.data(), dib.size(), options));
}
std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& gif) { return Ok(DecodeGifToDib(gif.data(), gif.size())); }

TEST(GifCodec, PalettePicturesComeBackExactlyInTheirDepth) {
  struct Case {
    int bits, colours;
  };
  for (const Case c : {Case{1, 2}, Case{4, 16}, Case{4, 5}, Case{8, 256}, Case{8, 40}}) {
    for (const int width : {1, 7, 9, 33}) {
      const auto dib = testing::PatternDib(width, 13, c.bits, testing::SomePalette(c.colours));
      const auto back = Decode(Encode(dib));
      EXPECT_EQ(testing::BitCountOf(back), c.bits) << c.bits << " " << width;
      EXPECT_EQ(AsRgb(back).rgb, AsRgb(dib).rgb) << c.bits << " " << width;
    }
  }
}

TEST(GifCodec, FewColoursOfDeepPicturesStayExact) {
  const auto dib = testing::PatternDib(30, 20, 24, {}, true);
  const auto back = Decode(Encode(dib));
  EXPECT_EQ(AsRgb(back).rgb, AsRgb(dib).rgb);
}

TEST(GifCodec, ManyColoursAreQuantisedTo256) {
  const auto dib = testing::PatternDib(80, 80, 24);
  const auto back = Decode(Encode(dib));
  EXPECT_EQ(testing::BitCountOf(back), 8);
  EXPECT_LE(testing::LargestDifference(AsRgb(dib), AsRgb(back)), 64);
  EXPECT_LT(testing::MeanDifference(AsRgb(dib), AsRgb(back)), 10.0);
}

TEST(GifCodec, InterlacedTopDownAndVersionsReadTheSame) {
  const auto dib = testing::PatternDib(21, 19, 8, testing::SomePalette(100));
  GifWriteOptions interlaced;
  interlaced.interlaced = true;
  interlaced.gif89 = true;
  const auto file = Encode(dib, interlaced);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
  EXPECT_EQ(AsRgb(Decode(file)).rgb, AsRgb(dib).rgb);
  const auto plain = Encode(testing::TopDown(dib));
  EXPECT_EQ(std::string(plain.begin(), plain.begin() + 6), "GIF87a");
  EXPECT_EQ(AsRgb(Decode(plain)).rgb, AsRgb(dib).rgb);
}

TEST(GifCodec, DamagedFilesAreRefused) {
  const auto gif = Encode(testing::PatternDib(40, 40, 8, testing::SomePalette(256)));
  EXPECT_TRUE(std::holds_alternative<GifError>(DecodeGifToDib(nullptr, 0)));
  const std::vector<std::uint8_t> garbage(100, 0x47);
  EXPECT_TRUE(std::holds_alternative<GifError>(DecodeGifToDib(garbage.data(), garbage.size())));
  for (const std::size_t cut : {std::size_t{5}, std::size_t{13}, std::size_t{800}}) {
    EXPECT_TRUE(std::holds_alternative<GifError>(DecodeGifToDib(gif.data(), cut))) << cut;
  }
  // Cut inside the pixels: refused as such, never shown half.
  const std::size_t data = 13 + 3 * 256 + 11;  // screen, colour table, frame, code size
  for (const std::size_t cut : {data + 3, (data + gif.size()) / 2, gif.size() - 5}) {
    const auto result = DecodeGifToDib(gif.data(), cut);
    ASSERT_TRUE(std::holds_alternative<GifError>(result)) << cut;
    EXPECT_EQ(std::get<GifError>(result).message, "GIF-Datei endet mitten im Bild") << cut;
  }
}

TEST(GifCodec, EveryPixelThereIsShownDespiteLooseEnds) {
  const auto dib = testing::PatternDib(40, 40, 8, testing::SomePalette(256));
  const auto gif = Encode(dib);
  auto stray = gif;
  stray.insert(stray.begin() + 13 + 3 * 256, {0x00, 0x0A});  // before the frame
  const std::vector<std::uint8_t> cases[] = {
      {gif.begin(), gif.end() - 1},  // no trailer
      {gif.begin(), gif.end() - 2},  // nor the data's terminator
      stray,
  };
  for (const auto& file : cases) EXPECT_EQ(AsRgb(Decode(file)).rgb, AsRgb(dib).rgb) << file.size();
}

TEST(GifCodec, AbsurdDimensionsAreRefused) {
  auto gif = Encode(testing::PatternDib(4, 4, 8, testing::SomePalette(256)));
  // The logical screen: 65535 x 65535.
  gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;
  const auto result = DecodeGifToDib(gif.data(), gif.size());
  ASSERT_TRUE(std::holds_alternative<GifError>(result));

  // Screen and frame of 9 million pixels, in a file far too short to hold them: refused for
  // the missing data, before any picture memory is taken.
  auto claim = Encode(testing::PatternDib(4, 4, 8, testing::SomePalette(256)));
  const std::size_t frame = 13 + 3 * 256;  // after the screen and its colour table
  ASSERT_EQ(claim[frame], 0x2C);
  // Widths and heights of screen and frame: 3000.
  for (const std::size_t at : {std::size_t{6}, std::size_t{8}, frame + 5, frame + 7}) claim[at] = 0xB8, claim[at + 1] = 0x0B;
  const auto refused = DecodeGifToDib(claim.data(), claim.size());
  ASSERT_TRUE(std::holds_alternative<GifError>(refused));
  EXPECT_EQ(std::get<GifError>(refused).message, "GIF-Datei fehlerhaft: zu wenig Bilddaten");
}

TEST(GifCodec, AFileWithoutPictureIsRefused) {
  const std::vector<std::uint8_t> empty = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
  EXPECT_TRUE(std::holds_alternative<GifError>(DecodeGifToDib(empty.data(), empty.size())));
}

TEST(GifCodec, AbsurdDibsAreRefused) {
  auto dib = testing::PatternDib(8, 8, 4, testing::SomePalette(16));
  EXPECT_TRUE(std::holds_alternative<GifError>(EncodeDibAsGif(dib.data(), dib.size() - 1, {})));
  dib[32] = 0x01, dib[33] = 0x01;  // 257 colours
  EXPECT_TRUE(std::holds_alternative<GifError>(EncodeDibAsGif(dib.data(), dib.size(), {})));
}

// Two pixels of indices 0 and 1 on a screen whose global table is red, blue and whose
// background is entry 1, with a graphic control block of the given flags naming index 0.
std::vector<std::uint8_t> TwoPixelGif(std::uint8_t controlFlags) {
  return {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 1, 0,          // screen, 2-entry table
          0xFF, 0, 0, 0, 0, 0xFF,                                        // red, blue
          0x21, 0xF9, 4, controlFlags, 0, 0, 0, 0,                       // transparent index 0
          0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,                               // the frame
          2, 2, 0x44, 0x0A, 0, 0x3B};                                    // clear, 0, 1, end
}

TEST(GifCodec, TransparentPixelsShowTheBackground) {
  struct Case {
    std::uint8_t flags;
    std::uint8_t firstRed, firstBlue;
  } const cases[] = {{0x01, 0, 0xFF}, {0x00, 0xFF, 0}, {0x09, 0, 0xFF}};
  for (const Case& c : cases) {
    const auto image = AsRgb(Decode(TwoPixelGif(c.flags)));
    EXPECT_EQ(image.rgb[0], c.firstRed) << int{c.flags};
    EXPECT_EQ(image.rgb[2], c.firstBlue) << int{c.flags};
    EXPECT_EQ(image.rgb[5], 0xFF) << int{c.flags};  // the opaque blue pixel stays blue
  }
}

}  // namespace
}  // namespace kamolt
