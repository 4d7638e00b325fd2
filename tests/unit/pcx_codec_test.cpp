#include "modules/pcx/pcx_codec.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/dib_pixels.h"

namespace kamolt::pcx {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::uint8_t* U8(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

std::string Encode(const Bytes& dib) {
  auto encoded = EncodePcx(dib.data(), dib.size());
  if (auto* error = std::get_if<CodecError>(&encoded)) ADD_FAILURE() << error->message;
  if (encoded.index() != 0) return std::string();
  const Bytes& file = std::get<Bytes>(encoded);
  return std::string(file.begin(), file.end());
}

Bytes Decode(const std::string& file) {
  auto decoded = DecodePcx(U8(file), file.size());
  if (auto* error = std::get_if<CodecError>(&decoded)) ADD_FAILURE() << error->message;
  return decoded.index() == 0 ? std::get<Bytes>(decoded) : Bytes();
}

bool Refused(const std::string& file) { return std::holds_alternative<CodecError>(DecodePcx(U8(file), file.size())); }

// Every pixel's colour, from the top row down.
std::vector<Rgb> Colours(const Bytes& dib) {
  const DibPicture picture = std::get<DibPicture>(ViewDib(dib.data(), dib.size()));
  std::vector<Rgb> colours;
  Bytes row(3 * static_cast<std::size_t>(picture.Width()));
  for (int y = 0; y < picture.Height(); ++y) {
    picture.RowToRgb(y, row.data());
    for (int x = 0; x < picture.Width(); ++x) colours.push_back({row[3 * x], row[3 * x + 1], row[3 * x + 2]});
  }
  return colours;
}

Bytes Pattern(int width, int height, int bits, const std::vector<Rgb>& palette) {
  Bytes dib = *NewDib(width, height, bits, palette);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = NewDibRowFromTop(dib, y);
    for (int x = 0; x < width; ++x) {
      if (bits == 24) {
        row[3 * x] = static_cast<std::uint8_t>(x * 37 + y);
        row[3 * x + 1] = static_cast<std::uint8_t>(0xC0 + (x + y) % 64);  // needs the run escape
        row[3 * x + 2] = static_cast<std::uint8_t>(y * 91);
      } else {
        SetPaletteIndexAt(row, x, bits, (x * 7 + y * 3) % static_cast<int>(palette.size()));
      }
    }
  }
  return dib;
}

std::vector<Rgb> Ramp(int n) {
  std::vector<Rgb> p;
  for (int i = 0; i < n; ++i) p.push_back({std::uint8_t(i * 255 / (n - 1)), std::uint8_t(255 - i), std::uint8_t(i * 3)});
  return p;
}

int Header16(const std::string& f, int at) { return U8(f)[at] | U8(f)[at + 1] << 8; }

TEST(PcxCodec, RoundTripsEveryDepthAtOddWidths) {
  const std::vector<Rgb> mono = {{0, 0, 0}, {255, 255, 255}};
  struct Case { int bits; std::vector<Rgb> palette; int fileBits, planes; };
  for (const Case& c : {Case{1, mono, 1, 1}, Case{4, Ramp(16), 8, 1}, Case{8, Ramp(256), 8, 1}, Case{24, {}, 8, 3}}) {
    for (int width : {1, 7, 13, 33}) {
      SCOPED_TRACE(testing::Message() << c.bits << " bits, width " << width);
      const Bytes dib = Pattern(width, 5, c.bits, c.palette);
      const std::string file = Encode(dib);
      ASSERT_GE(file.size(), 128u);
      EXPECT_EQ(file[0], 0x0A);
      EXPECT_EQ(file[1], 5);
      EXPECT_EQ(file[2], 1);
      EXPECT_EQ(file[3], c.fileBits);
      EXPECT_EQ(file[65], c.planes);
      EXPECT_EQ(Header16(file, 8), width - 1);
      EXPECT_EQ(Header16(file, 66) % 2, 0) << "lines hold an even number of bytes";
      if (c.fileBits == 8 && c.planes == 1) {
        EXPECT_EQ(U8(file)[file.size() - 769], 0x0C);
      }
      const Bytes back = Decode(file);
      ASSERT_FALSE(back.empty());
      EXPECT_EQ(Colours(back), Colours(dib));
      EXPECT_EQ(back[14], c.bits == 4 ? 8 : c.bits) << "bit count of the DIB read back";
    }
  }
}

TEST(PcxCodec, WritesTopDownAndSixteenBitPictures) {
  Bytes topDown = Pattern(6, 4, 24, {});
  const Bytes bottomUp = topDown;
  // The same picture stored top-down: rows reversed, height negative.
  const std::size_t row = 20;
  for (int y = 0; y < 4; ++y) std::copy_n(bottomUp.begin() + 40 + row * (3 - y), row, topDown.begin() + 40 + row * y);
  const std::int32_t negative = -4;
  std::memcpy(topDown.data() + 8, &negative, 4);
  EXPECT_EQ(Colours(Decode(Encode(topDown))), Colours(bottomUp));

  Bytes sixteen(40 + 4 * 2);
  sixteen[0] = 40, sixteen[4] = 2, sixteen[8] = 1, sixteen[12] = 1, sixteen[14] = 16;
  sixteen[40] = 0x00, sixteen[41] = 0x7C;  // pure red in 5-5-5
  sixteen[42] = 0x1F, sixteen[43] = 0x00;  // pure blue
  EXPECT_EQ(Colours(Decode(Encode(sixteen))), (std::vector<Rgb>{{255, 0, 0}, {0, 0, 255}}));
}

TEST(PcxCodec, TwoToneFilesListWhiteFirstAndSetBitsForBlack) {
  // Black, white, black, white... whichever way round the DIB's table has them.
  for (const std::vector<Rgb>& palette : {std::vector<Rgb>{{0, 0, 0}, {255, 255, 255}},
                                          std::vector<Rgb>{{255, 255, 255}, {0, 0, 0}}}) {
    Bytes dib = *NewDib(8, 1, 1, palette);
    for (int x = 0; x < 8; ++x) SetPaletteIndexAt(NewDibRowFromTop(dib, 0), x, 1, (x % 2 == 0) == (palette[0].r == 0) ? 0 : 1);
    const std::string file = Encode(dib);
    EXPECT_EQ(file.substr(16, 6), std::string("\xFF\xFF\xFF\0\0\0", 6));
    EXPECT_EQ(U8(file)[128], 0xAA);
    EXPECT_EQ(Colours(Decode(file)), Colours(dib));
  }
}

TEST(PcxCodec, RunsAreSplitAtSixtyThreeAndEscaped) {
  Bytes dib = *NewDib(200, 1, 8, Ramp(256));
  std::fill_n(NewDibRowFromTop(dib, 0), 200, 0xC5);
  const std::string file = Encode(dib);
  // 200 bytes: three runs of 63 and one of 11, each a count byte and a value.
  EXPECT_EQ(file.size(), 128u + 8u + 769u);
  EXPECT_EQ(U8(file)[128], 0xC0 | 63);
  EXPECT_EQ(Colours(Decode(file)), Colours(dib));
}

// A hand-made file: header fields, raw (uncoded) or coded data, optional tail.
std::string File(int bits, int planes, int width, int height, int lineBytes, const Bytes& data, int encoding = 0) {
  std::string f(128, '\0');
  f[0] = 0x0A, f[1] = 5, f[2] = static_cast<char>(encoding), f[3] = static_cast<char>(bits);
  f[8] = static_cast<char>((width - 1) & 0xFF), f[9] = static_cast<char>((width - 1) >> 8);
  f[10] = static_cast<char>((height - 1) & 0xFF), f[11] = static_cast<char>((height - 1) >> 8);
  const Rgb ega[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (int i = 0; i < 4; ++i) f[16 + 3 * i] = ega[i].r, f[17 + 3 * i] = ega[i].g, f[18 + 3 * i] = ega[i].b;
  f[65] = static_cast<char>(planes);
  f[66] = static_cast<char>(lineBytes);
  f.append(data.begin(), data.end());
  return f;
}

TEST(PcxCodec, ReadsPlanarAndPackedSixteenColourFiles) {
  // Pixels 0,1,2,3 of a 4-pixel line: planes 0 and 1 carry the index bits, 2 and 3 none.
  const Bytes planar = {0b0101'0000, 0, 0b0011'0000, 0, 0, 0, 0, 0};
  const std::vector<Rgb> expected = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  EXPECT_EQ(Colours(Decode(File(1, 4, 4, 1, 2, planar))), expected);
  EXPECT_EQ(Colours(Decode(File(4, 1, 4, 1, 2, {0x01, 0x23}))), expected);
  EXPECT_EQ(Colours(Decode(File(2, 1, 4, 1, 2, {0b00'01'10'11, 0}))), expected);
  // The same line coded: single bytes below 0xC0 stand for themselves, the zeros are runs.
  EXPECT_EQ(Colours(Decode(File(1, 4, 4, 1, 2, {0x50, 0xC1, 0, 0x30, 0xC5, 0}, 1))), expected);
}

TEST(PcxCodec, OnePlaneEightBitsWithoutPaletteIsGreyAndMonoWithoutColoursBlackOnWhite) {
  const Bytes grey = Decode(File(8, 1, 2, 1, 2, {0x00, 0x80}));
  EXPECT_EQ(Colours(grey), (std::vector<Rgb>{{0, 0, 0}, {128, 128, 128}}));
  std::string mono = File(1, 1, 2, 1, 2, {0b0100'0000, 0});
  std::fill(mono.begin() + 16, mono.begin() + 22, '\0');
  EXPECT_EQ(Colours(Decode(mono)), (std::vector<Rgb>{{0, 0, 0}, {255, 255, 255}}));
}

TEST(PcxCodec, RefusesTruncatedAndAbsurdFiles) {
  const std::string good = Encode(Pattern(13, 9, 24, {}));
  for (std::size_t cut = 0; cut < good.size(); ++cut) EXPECT_TRUE(Refused(good.substr(0, cut))) << cut;
  const std::string palette = Encode(Pattern(13, 9, 8, Ramp(256)));
  // Cut into the palette: the marker is gone, the picture's data run short.
  for (std::size_t cut = 128; cut < palette.size() - 769; ++cut) EXPECT_TRUE(Refused(palette.substr(0, cut))) << cut;

  std::string huge = File(8, 3, 0x10000, 0x10000, 0, {});
  huge[66] = '\0', huge[67] = '\1';  // 256 bytes a line would not even hold the width
  EXPECT_TRUE(Refused(huge));
  huge[66] = '\xFF', huge[67] = '\xFF';
  huge.append(64, '\xFF');  // a few runs claiming 16 gigabytes
  EXPECT_TRUE(Refused(huge));

  EXPECT_TRUE(Refused(File(1, 1, 17, 1, 2, Bytes(2)))) << "line too short for the width";
  EXPECT_TRUE(Refused(File(16, 1, 1, 1, 2, Bytes(2)))) << "no such depth";
  EXPECT_TRUE(Refused(File(8, 2, 1, 1, 2, Bytes(4)))) << "no such plane count";
  std::string notPcx = File(8, 1, 1, 1, 2, Bytes(2));
  notPcx[0] = 'B';
  EXPECT_TRUE(Refused(notPcx));
  std::string backwards = File(8, 1, 1, 1, 2, Bytes(2));
  backwards[4] = 5;  // xMin past xMax
  EXPECT_TRUE(Refused(backwards));
}

TEST(PcxCodec, RefusesAbsurdDibs) {
  Bytes dib = Pattern(4, 4, 8, Ramp(256));
  dib[32] = 0, dib[33] = 2;  // 512 colours
  EXPECT_TRUE(std::holds_alternative<CodecError>(EncodePcx(dib.data(), dib.size())));
  const Bytes shortDib = Pattern(4, 4, 24, {});
  EXPECT_TRUE(std::holds_alternative<CodecError>(EncodePcx(shortDib.data(), shortDib.size() - 1)));
  EXPECT_TRUE(std::holds_alternative<CodecError>(EncodePcx(nullptr, 0)));
}

}  // namespace
}  // namespace kamolt::pcx
