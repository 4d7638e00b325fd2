#include "modules/tif/tif_codec.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "picture_test_helpers.h"

namespace kamolt {
namespace {

using testing::AsRgb;
using testing::Ok;

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& dib, int compression = 32773) {
  TifWriteOptions options;
  options.compression = compression;
  options.stripKilobytes = 1;  // several strips even for small pictures
  return Ok(EncodeDibAsTif(dib.data(), dib.size(), options));
}
std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& tif) { return Ok(DecodeTifToDib(tif.data(), tif.size())); }

TEST(TifCodec, EveryDepthComesBackExactly) {
  struct Case {
    int bits;
    std::vector<Rgb> palette;
  };
  const Case cases[] = {{1, testing::SomePalette(2)}, {1, testing::GreyPalette(2)}, {1, {Rgb{255, 255, 255}, Rgb{}}},
                        {4, testing::SomePalette(16)}, {4, testing::GreyPalette(16)}, {8, testing::SomePalette(256)},
                        {8, testing::GreyPalette(256)}, {24, {}}};
  for (const Case& c : cases) {
    for (const int compression : {1, 5, 8, 32773}) {
      for (const int width : {1, 9, 130}) {
        const auto dib = testing::PatternDib(width, 40, c.bits, c.palette.empty() ? testing::SomePalette(2) : c.palette);
        const auto back = Decode(Encode(dib, compression));
        EXPECT_EQ(testing::BitCountOf(back), c.bits) << c.bits << " " << compression << " " << width;
        EXPECT_EQ(AsRgb(back).rgb, AsRgb(dib).rgb) << c.bits << " " << compression << " " << width;
      }
    }
  }
}

TEST(TifCodec, TopDownDibsAndUnknownCompressionsWriteTheSamePicture) {
  const auto dib = testing::PatternDib(17, 11, 24);
  EXPECT_EQ(Encode(testing::TopDown(dib)), Encode(dib));
  EXPECT_EQ(Encode(dib, 12345), Encode(dib, 32773));
}

// A file written by libtiff itself, the way other programs lay theirs out.
std::vector<std::uint8_t> WriteWithLibtiff(int width, int height, int bits, int samples, int photometric,
                                           int orientation, bool tiled) {
  char path[] = "/tmp/kamolt_tif_XXXXXX";
  const int fd = mkstemp(path);
  close(fd);
  TIFF* tif = TIFFOpen(path, "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
  const tmsize_t line = (static_cast<tmsize_t>(width) * bits * samples + 7) / 8;
  auto value = [&](int x, int y, int s) { return static_cast<std::uint8_t>((x * 5 + y * 3 + s * 70) & 0xFF); };
  if (tiled) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    std::vector<std::uint8_t> tile(16 * 16 * samples);
    for (int ty = 0; ty < height; ty += 16) {
      for (int tx = 0; tx < width; tx += 16) {
        for (int y = 0; y < 16; ++y)
          for (int x = 0; x < 16; ++x)
            for (int s = 0; s < samples; ++s) tile[(y * 16 + x) * samples + s] = value(tx + x, ty + y, s);
        TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, 0), tile.data(), static_cast<tmsize_t>(tile.size()));
      }
    }
  } else {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(line));
    for (int y = 0; y < height; ++y) {
      for (tmsize_t i = 0; i < line; ++i) row[i] = value(static_cast<int>(i), y, 0);
      TIFFWriteScanline(tif, row.data(), y, 0);
    }
  }
  TIFFClose(tif);
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  unlink(path);
  return bytes;
}

TEST(TifCodec, BottomUpFilesAreTurnedRightWayUp) {
  const auto topDown = Decode(WriteWithLibtiff(20, 10, 8, 1, PHOTOMETRIC_MINISBLACK, ORIENTATION_TOPLEFT, false));
  const auto bottomUp = Decode(WriteWithLibtiff(20, 10, 8, 1, PHOTOMETRIC_MINISBLACK, ORIENTATION_BOTLEFT, false));
  auto upright = AsRgb(topDown), turned = AsRgb(bottomUp);
  for (int y = 0; y < 10; ++y) {
    EXPECT_TRUE(std::equal(upright.rgb.begin() + y * 60, upright.rgb.begin() + y * 60 + 60,
                           turned.rgb.begin() + (9 - y) * 60))
        << y;
  }
}

TEST(TifCodec, TwoBitGreyWidensToFourBits) {
  const auto dib = Decode(WriteWithLibtiff(9, 3, 2, 1, PHOTOMETRIC_MINISBLACK, ORIENTATION_TOPLEFT, false));
  EXPECT_EQ(testing::BitCountOf(dib), 4);
  const auto rgb = AsRgb(dib);
  // The top row's first byte is 0: four pixels 0; its second 5 = 00 00 01 01.
  EXPECT_EQ(rgb.rgb[0], 0);
  EXPECT_EQ(rgb.rgb[3 * 6], 85);
}

TEST(TifCodec, TiledFilesAreReadAsColour) {
  const auto dib = Decode(WriteWithLibtiff(40, 24, 8, 3, PHOTOMETRIC_RGB, ORIENTATION_TOPLEFT, true));
  EXPECT_EQ(testing::BitCountOf(dib), 24);
  const auto rgb = AsRgb(dib);
  // Pixel (x 17, y 5), red: 17 * 5 + 5 * 3 = 100.
  EXPECT_EQ(rgb.rgb[(5 * 40 + 17) * 3], 100);
}

TEST(TifCodec, SixteenBitSamplesAreReadAsColour) {
  const auto dib = Decode(WriteWithLibtiff(40, 24, 16, 3, PHOTOMETRIC_RGB, ORIENTATION_TOPLEFT, false));
  EXPECT_EQ(testing::BitCountOf(dib), 24);
  const auto rgb = AsRgb(dib);
  // Pixel (x 2, y 1), red: its high byte is byte 13 of row 1, 13 * 5 + 1 * 3 = 68.
  EXPECT_NEAR(rgb.rgb[(1 * 40 + 2) * 3], 68, 1);
}

TEST(TifCodec, DamagedFilesAreRefused) {
  const auto tif = Encode(testing::PatternDib(64, 64, 24), 1);
  EXPECT_TRUE(std::holds_alternative<TifError>(DecodeTifToDib(nullptr, 0)));
  const std::vector<std::uint8_t> garbage = {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
  EXPECT_TRUE(std::holds_alternative<TifError>(DecodeTifToDib(garbage.data(), garbage.size())));
  // The directory is at the end, so a cut file has none; a file cut in its pixels has one
  // that points past the end.
  for (const std::size_t cut : {std::size_t{4}, std::size_t{8}, tif.size() / 2}) {
    EXPECT_TRUE(std::holds_alternative<TifError>(DecodeTifToDib(tif.data(), cut))) << cut;
  }
  auto lost = tif;
  std::fill(lost.begin() + 8, lost.begin() + 8 + lost.size() / 2, 0);  // keeps the directory
  std::vector<std::uint8_t> shortened(tif.begin(), tif.begin() + 8);
  shortened.insert(shortened.end(), tif.begin() + 8 + 6000, tif.end());
  // With the pixels cut away, the strip offsets point past the end of the file.
  const std::uint32_t directory = tif[4] | tif[5] << 8 | tif[6] << 16 | static_cast<std::uint32_t>(tif[7]) << 24;
  const std::uint32_t moved = directory - 6000;
  std::memcpy(shortened.data() + 4, &moved, 4);
  EXPECT_TRUE(std::holds_alternative<TifError>(DecodeTifToDib(shortened.data(), shortened.size())));
}

TEST(TifCodec, AbsurdDimensionsAreRefused) {
  const auto tif = WriteWithLibtiff(4, 4, 8, 1, PHOTOMETRIC_MINISBLACK, ORIENTATION_TOPLEFT, false);
  // Width and length entries of the first directory: 100000 x 100000.
  auto huge = tif;
  const std::uint32_t directory = huge[4] | huge[5] << 8 | huge[6] << 16 | static_cast<std::uint32_t>(huge[7]) << 24;
  const int entries = huge[directory] | huge[directory + 1] << 8;
  for (int i = 0; i < entries; ++i) {
    std::uint8_t* entry = huge.data() + directory + 2 + 12 * i;
    const int tag = entry[0] | entry[1] << 8;
    if (tag == 256 || tag == 257) {
      entry[2] = 4, entry[3] = 0;  // LONG
      const std::uint32_t value = 100000;
      std::memcpy(entry + 8, &value, 4);
    }
  }
  EXPECT_TRUE(std::holds_alternative<TifError>(DecodeTifToDib(huge.data(), huge.size())));
}

TEST(TifCodec, AbsurdDibsAreRefused) {
  auto dib = testing::PatternDib(8, 8, 24);
  EXPECT_TRUE(std::holds_alternative<TifError>(EncodeDibAsTif(dib.data(), 39, {})));
  dib[8] = dib[9] = dib[10] = dib[11] = 0;  // height 0
  EXPECT_TRUE(std::holds_alternative<TifError>(EncodeDibAsTif(dib.data(), dib.size(), {})));
}

}  // namespace
}  // namespace kamolt
