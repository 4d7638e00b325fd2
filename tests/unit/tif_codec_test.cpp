#include "modules/tif/tif_codec.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <bit>
#include <fstream>
#include <iterator>
#include <string>

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

// A page of given samples, raw as stored, written by libtiff: rows packed from each byte's
// high bit, or whole bytes in the machine's order as libtiff expects them.
struct SamplePage {
  int bits, format, photometric, samples;
  std::vector<std::uint64_t> raw;  // width 2, height 1, samples per point in order
  bool separatePlanesInTiles = false;
  int extraSample = -1;  // EXTRASAMPLE_* of the last sample, if any
  bool daylightWhite = false;  // D65 as the white point rather than none
};

std::vector<std::uint8_t> FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> PackedRow(const std::vector<std::uint64_t>& raw, int bits) {
  std::vector<std::uint8_t> row((raw.size() * bits + 7) / 8 + 8);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (bits % 8 == 0) {
      std::memcpy(row.data() + i * (bits / 8), &raw[i], static_cast<std::size_t>(bits / 8));
      continue;
    }
    for (int b = 0; b < bits; ++b) {
      const std::size_t bit = i * bits + b;
      if (raw[i] >> (bits - 1 - b) & 1) row[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
    }
  }
  return row;
}

std::vector<std::uint8_t> WriteSamplePage(const SamplePage& page, int width = 2) {
  char path[] = "/tmp/kamolt_tif_XXXXXX";
  close(mkstemp(path));
  TIFF* tif = TIFFOpen(path, "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page.bits);
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, page.format);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page.samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.photometric);
  if (page.extraSample >= 0) {
    const std::uint16_t kind = static_cast<std::uint16_t>(page.extraSample);
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
  }
  if (page.daylightWhite) {
    float white[2] = {0.3127f, 0.3290f};
    TIFFSetField(tif, TIFFTAG_WHITEPOINT, white);
  }
  if (page.separatePlanesInTiles) {
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    for (int s = 0; s < page.samples; ++s) {
      std::vector<std::uint64_t> plane(16 * 16);
      for (int x = 0; x < width; ++x) plane[x] = page.raw[x * page.samples + s];
      const auto bytes = PackedRow(plane, page.bits);
      TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, 0, 0, 0, static_cast<std::uint16_t>(s)),
                           const_cast<std::uint8_t*>(bytes.data()), TIFFTileSize(tif));
    }
  } else {
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    auto row = PackedRow(page.raw, page.bits);
    TIFFWriteScanline(tif, row.data(), 0, 0);
  }
  TIFFClose(tif);
  auto bytes = FileBytes(path);
  unlink(path);
  return bytes;
}

std::uint64_t Float(float value) { return std::bit_cast<std::uint32_t>(value); }

TEST(TifCodec, DeepFloatingAndLabSamplesAreReducedToEightBits) {
  constexpr int kUint = SAMPLEFORMAT_UINT, kInt = SAMPLEFORMAT_INT, kFloat = SAMPLEFORMAT_IEEEFP;
  constexpr int kGrey = PHOTOMETRIC_MINISBLACK, kRgb = PHOTOMETRIC_RGB, kCmyk = PHOTOMETRIC_SEPARATED;
  struct Case {
    const char* what;
    SamplePage page;
    std::vector<int> rgb;  // both points
    int tolerance;
  };
  const Case cases[] = {
      {"grey 12", {12, kUint, kGrey, 1, {4095, 2048}}, {255, 255, 255, 128, 128, 128}, 1},
      {"white-is-zero 16", {16, kUint, PHOTOMETRIC_MINISWHITE, 1, {0, 65535}}, {255, 255, 255, 0, 0, 0}, 0},
      {"grey 32", {32, kUint, kGrey, 1, {0xFFFFFFFF, 0x80000000}}, {255, 255, 255, 128, 128, 128}, 1},
      {"grey signed 16", {16, kInt, kGrey, 1, {32767, 0xFFFB}}, {255, 255, 255, 0, 0, 0}, 0},
      {"grey float 32 clamped", {32, kFloat, kGrey, 1, {Float(2.0f), Float(-1.0f)}}, {255, 255, 255, 0, 0, 0}, 0},
      {"grey half float", {16, kFloat, kGrey, 1, {0x3C00, 0x3800}}, {255, 255, 255, 128, 128, 128}, 1},
      {"rgb 12", {12, kUint, kRgb, 3, {4095, 0, 2048, 0, 4095, 0}}, {255, 0, 128, 0, 255, 0}, 1},
      {"rgb 16", {16, kUint, kRgb, 3, {65535, 0, 32768, 0, 0, 65535}}, {255, 0, 128, 0, 0, 255}, 1},
      {"rgb float 32",
       {32, kFloat, kRgb, 3, {Float(1), Float(0.25f), Float(0), Float(0), Float(0.5f), Float(1)}},
       {255, 64, 0, 0, 128, 255},
       1},
      {"rgb 16 in planes and tiles",
       {16, kUint, kRgb, 3, {65535, 0, 32768, 0, 0, 65535}, true},
       {255, 0, 128, 0, 0, 255},
       1},
      {"rgb 16 half transparent",
       {16, kUint, kRgb, 4, {0, 0, 0, 0, 65535, 0, 0, 65535}, false, EXTRASAMPLE_UNASSALPHA},
       {255, 255, 255, 255, 0, 0},
       0},
      {"cmyk 16", {16, kUint, kCmyk, 4, {0, 65535, 0, 0, 0, 0, 0, 32768}}, {255, 0, 255, 127, 127, 127}, 1},
      // White, mid grey and the sRGB red measured against D50.
      {"cielab 8", {8, kUint, PHOTOMETRIC_CIELAB, 3, {255, 0, 0, 138, 81, 70}}, {255, 255, 255, 255, 0, 0}, 6},
      {"cielab 8 grey", {8, kUint, PHOTOMETRIC_CIELAB, 3, {128, 0, 0, 0, 0, 0}}, {119, 119, 119, 0, 0, 0}, 1},
      {"cielab 8 against D65",
       {8, kUint, PHOTOMETRIC_CIELAB, 3, {128, 7, 256 - 47, 0, 0, 0}, false, -1, true},
       {60, 120, 200, 0, 0, 0},
       2},
      {"cielab 16", {16, kUint, PHOTOMETRIC_CIELAB, 3, {65535, 0, 0, 0, 0, 0}}, {255, 255, 255, 0, 0, 0}, 1},
      {"icclab 8", {8, kUint, PHOTOMETRIC_ICCLAB, 3, {255, 128, 128, 138, 209, 198}}, {255, 255, 255, 255, 0, 0}, 6},
      {"itulab 8", {8, kUint, PHOTOMETRIC_ITULAB, 3, {255, 128, 96, 0, 128, 96}}, {255, 255, 255, 0, 0, 0}, 2},
  };
  for (const Case& c : cases) {
    const auto tif = WriteSamplePage(c.page);
    const auto decoded = DecodeTifToDib(tif.data(), tif.size());
    if (const auto* error = std::get_if<TifError>(&decoded)) {
      ADD_FAILURE() << c.what << ": " << error->message;
      continue;
    }
    const auto rgb = AsRgb(std::get<std::vector<std::uint8_t>>(decoded)).rgb;
    ASSERT_EQ(rgb.size(), c.rgb.size()) << c.what;
    for (std::size_t i = 0; i < rgb.size(); ++i) EXPECT_NEAR(rgb[i], c.rgb[i], c.tolerance) << c.what << " " << i;
  }
}

// The first directory's entry of a SHORT tag set to value.
void SetShortTag(std::vector<std::uint8_t>& tif, int tag, std::uint16_t value) {
  const std::uint32_t directory = tif[4] | tif[5] << 8 | tif[6] << 16 | static_cast<std::uint32_t>(tif[7]) << 24;
  const int entries = tif[directory] | tif[directory + 1] << 8;
  for (int i = 0; i < entries; ++i) {
    std::uint8_t* entry = tif.data() + directory + 2 + 12 * i;
    if ((entry[0] | entry[1] << 8) == tag) std::memcpy(entry + 8, &value, 2);
  }
}

TEST(TifCodec, RefusalsNameTheVariant) {
  const auto compressed = [](std::uint16_t compression) {
    auto tif = WriteSamplePage({8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, 1, {1, 2}});
    SetShortTag(tif, TIFFTAG_COMPRESSION, compression);
    return tif;
  };
  struct Case {
    std::vector<std::uint8_t> tif;
    std::string message;
  };
  const Case cases[] = {
      {compressed(34712), "JPEG-2000-komprimiertes TIFF wird nicht unterstützt"},
      {compressed(65000), "TIFF mit Kompression 65000 wird nicht unterstützt"},
      {WriteSamplePage({64, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, 1, {1, 2}}),
       "TIFF mit 64 Bit je Farbwert wird nicht unterstützt"},
      {WriteSamplePage({24, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_MINISBLACK, 1, {1, 2}}),
       "TIFF mit 24-Bit-Gleitkommawerten wird nicht unterstützt"},
      {WriteSamplePage({12, SAMPLEFORMAT_UINT, PHOTOMETRIC_CIELAB, 3, std::vector<std::uint64_t>(6)}),
       "CIE-L*a*b*-TIFF mit 12 Bit je Farbwert wird nicht unterstützt"},
      {WriteSamplePage({16, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, 2, std::vector<std::uint64_t>(4)}),
       "TIFF-Datei fehlerhaft: zu wenige Farbwerte je Punkt"},
      {WriteSamplePage({16, SAMPLEFORMAT_UINT, PHOTOMETRIC_CFA, 1, {1, 2}}),
       "TIFF mit Kamera-Rohdaten wird nicht unterstützt"},
      {WriteSamplePage({8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MASK, 1, {1, 2}}),
       "TIFF mit Farbmodell 4 wird nicht unterstützt"},
  };
  for (const Case& c : cases) {
    const auto decoded = DecodeTifToDib(c.tif.data(), c.tif.size());
    ASSERT_TRUE(std::holds_alternative<TifError>(decoded)) << c.message;
    EXPECT_EQ(std::get<TifError>(decoded).message, c.message);
  }
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
