#include "modules/eps/eps_codec.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/dib_pixels.h"

namespace kamolt::eps {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(const Bytes& dib, const WriteOptions& options = {}) {
  auto encoded = EncodeEps(dib.data(), dib.size(), options);
  if (auto* error = std::get_if<CodecError>(&encoded)) ADD_FAILURE() << error->message;
  return encoded.index() == 0 ? std::get<Bytes>(encoded) : Bytes();
}

std::variant<Bytes, CodecError> Decode(const Bytes& file) { return DecodeEps(file.data(), file.size()); }

std::uint32_t Get32(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24; }
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string PostScriptOf(const Bytes& file) {
  return std::string(file.begin() + Get32(file, 4), file.begin() + Get32(file, 4) + Get32(file, 8));
}

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
        row[3 * x] = static_cast<std::uint8_t>(x * 37 + y), row[3 * x + 1] = static_cast<std::uint8_t>(x * y);
        row[3 * x + 2] = static_cast<std::uint8_t>(y * 91);
      } else {
        SetPaletteIndexAt(row, x, bits, (x * 7 + y * 3) % static_cast<int>(palette.size()));
      }
    }
  }
  return dib;
}

std::vector<Rgb> Greys() {
  std::vector<Rgb> p;
  for (int i = 0; i < 256; ++i) p.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
  return p;
}
std::vector<Rgb> Colourful(int n) {
  std::vector<Rgb> p;
  for (int i = 0; i < n; ++i) p.push_back({std::uint8_t(i * 255 / (n - 1)), std::uint8_t(255 - i), std::uint8_t(i * 3)});
  return p;
}
const std::vector<Rgb> kBlackWhite = {{0, 0, 0}, {255, 255, 255}};
const std::vector<Rgb> kWhiteBlack = {{255, 255, 255}, {0, 0, 0}};

TEST(EpsCodec, WritesTheBinaryHeaderAndABoundingBoxAtThePicturesSize) {
  const Bytes file = Encode(Pattern(13, 7, 24, {}));
  ASSERT_GT(file.size(), 30u);
  EXPECT_EQ(Get32(file, 0), 0xC6D3D0C5u);
  EXPECT_EQ(Get32(file, 4), 30u);
  EXPECT_EQ(Get32(file, 12), 0u) << "no metafile preview";
  EXPECT_EQ(Get32(file, 20), 30u + Get32(file, 8)) << "the preview follows the PostScript";
  EXPECT_EQ(Get32(file, 20) + Get32(file, 24), file.size());
  EXPECT_EQ(file[28], 0xFF);
  EXPECT_EQ(file[29], 0xFF);
  const std::string ps = PostScriptOf(file);
  EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0 EPSF-3.0\n", 0), 0u);
  EXPECT_NE(ps.find("\n%%BoundingBox: 0 0 13 7\n"), std::string::npos);
  EXPECT_NE(ps.find("false 3 colorimage\n"), std::string::npos);
  EXPECT_NE(ps.find("%%EOF"), std::string::npos);
  const std::string tiff(file.begin() + Get32(file, 20), file.begin() + Get32(file, 20) + 4);
  EXPECT_EQ(tiff, std::string("II*\0", 4));
}

TEST(EpsCodec, ThePreviewGivesEveryDepthBack) {
  struct Case { int bits; std::vector<Rgb> palette; };
  for (const Case& c : {Case{1, kBlackWhite}, Case{1, kWhiteBlack}, Case{1, {{200, 0, 0}, {0, 0, 90}}},
                        Case{4, Colourful(16)}, Case{8, Greys()}, Case{8, Colourful(256)}, Case{24, {}}}) {
    for (int width : {1, 13, 64}) {
      SCOPED_TRACE(testing::Message() << c.bits << " bits, width " << width);
      const Bytes dib = Pattern(width, 5, c.bits, c.palette);
      const auto back = Decode(Encode(dib));
      ASSERT_TRUE(std::holds_alternative<Bytes>(back)) << std::get<CodecError>(back).message;
      EXPECT_EQ(Colours(std::get<Bytes>(back)), Colours(dib));
      EXPECT_EQ(std::get<Bytes>(back)[14], c.bits);
    }
  }
}

TEST(EpsCodec, PostScriptSamplesFollowTheLookNotTheTable) {
  // Black then white, whichever way the table lists them: PostScript's 0 is black.
  for (const auto& palette : {kBlackWhite, kWhiteBlack}) {
    Bytes dib = *NewDib(2, 1, 1, palette);
    SetPaletteIndexAt(NewDibRowFromTop(dib, 0), palette == kBlackWhite ? 1 : 0, 1, 1);
    SetPaletteIndexAt(NewDibRowFromTop(dib, 0), palette == kBlackWhite ? 0 : 1, 1, 0);
    const std::string ps = PostScriptOf(Encode(dib));
    EXPECT_NE(ps.find("2 1 1 [2 0 0 -1 0 1]\n"), std::string::npos);
    EXPECT_NE(ps.find("image\n40\n"), std::string::npos) << ps;
  }
  // A grey table gives grey samples, one byte a pixel.
  Bytes grey = *NewDib(2, 1, 4, {{0, 0, 0}, {0x80, 0x80, 0x80}});
  SetPaletteIndexAt(NewDibRowFromTop(grey, 0), 1, 4, 1);
  EXPECT_NE(PostScriptOf(Encode(grey)).find("2 1 8 [2 0 0 -1 0 1]\n{currentfile kamoltRow readhexstring pop}\nimage\n0080\n"),
            std::string::npos);
}

TEST(EpsCodec, WithoutAPreviewThereIsNothingToReadBack) {
  WriteOptions options;
  options.preview = false;
  const Bytes file = Encode(Pattern(3, 3, 24, {}), options);
  EXPECT_EQ(Get32(file, 20), 0u);
  EXPECT_EQ(Get32(file, 24), 0u);
  EXPECT_EQ(file.size(), 30u + Get32(file, 8));
  const auto decoded = Decode(file);
  ASSERT_TRUE(std::holds_alternative<CodecError>(decoded));
  EXPECT_TRUE(std::get<CodecError>(decoded).onlyPostScript) << "an interpreter could still draw it";
}

TEST(EpsCodec, TheBoundingBoxGivesThePicturesExtentInPoints) {
  WriteOptions noPreview;
  noPreview.preview = false;
  const Bytes binary = Encode(Pattern(37, 11, 24, {}), noPreview);
  struct Case {
    std::string text;
    std::optional<PointSize> size;
  } const cases[] = {
      {std::string(binary.begin(), binary.end()), PointSize{37, 11}},
      {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 120\n", PointSize{200, 120}},
      {"%!PS\r%%BoundingBox: 10.5 20.2 110.1 70.9\r", PointSize{101, 51}},
      {"%!PS\n%%BoundingBox: (atend)\nshowpage\n%%Trailer\n%%BoundingBox: -5 -5 5 5\n", PointSize{10, 10}},
      {"%!PS\n%%BoundingBox: 0 0 1e12 7\n", PointSize{1000000000, 7}},
      {"%!PS\n% %%BoundingBox: 0 0 9 9\n%%HiResBoundingBox: 0 0 9 9\n", std::nullopt},
      {"%!PS\n%%BoundingBox: 0 0 0 9\n%%BoundingBox: 0 0\n9 9\n", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto size = BoundingBoxSize(reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size());
    ASSERT_EQ(size.has_value(), c.size.has_value()) << c.text;
    if (size) {
      EXPECT_EQ(size->width, c.size->width) << c.text;
      EXPECT_EQ(size->height, c.size->height) << c.text;
    }
  }
}

TEST(EpsCodec, RefusesMissingHeadersAndSectionsPastTheEnd) {
  const Bytes good = Encode(Pattern(9, 4, 8, Colourful(256)));
  for (std::size_t cut = 0; cut < good.size(); cut += 7) {
    EXPECT_TRUE(std::holds_alternative<CodecError>(Decode(Bytes(good.begin(), good.begin() + cut)))) << cut;
  }
  Bytes notEps = good;
  notEps[0] = '%';
  EXPECT_TRUE(std::holds_alternative<CodecError>(Decode(notEps)));
  Bytes wrapping = good;
  Put32(wrapping, 20, 0xFFFFFFF0u);  // offset + length wraps 32 bits
  Put32(wrapping, 24, 0x20u);
  EXPECT_TRUE(std::holds_alternative<CodecError>(Decode(wrapping)));
  Bytes shortTiff = good;
  Put32(shortTiff, 24, 8);  // the TIFF header without its directory
  EXPECT_TRUE(std::holds_alternative<CodecError>(Decode(shortTiff)));
  Bytes intoPostScript = good;
  Put32(intoPostScript, 20, 30);
  EXPECT_TRUE(std::holds_alternative<CodecError>(Decode(intoPostScript)));
}

TEST(EpsCodec, DamagedPreviewsNeverReadOutOfBounds) {
  // Every byte of a small preview's TIFF structure overwritten in turn: refused or read, but
  // never past a buffer (the sanitizers watch).
  const Bytes good = Encode(Pattern(5, 3, 4, Colourful(16)));
  const std::size_t tiff = Get32(good, 20);
  for (std::size_t at = tiff; at < good.size(); ++at) {
    for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x7F}}) {
      Bytes damaged = good;
      damaged[at] = value;
      (void)Decode(damaged);
    }
  }
}

TEST(EpsCodec, RefusesAbsurdDibs) {
  Bytes dib = Pattern(4, 4, 8, Greys());
  dib[32] = 0, dib[33] = 2;  // 512 colours
  EXPECT_TRUE(std::holds_alternative<CodecError>(EncodeEps(dib.data(), dib.size())));
  EXPECT_TRUE(std::holds_alternative<CodecError>(EncodeEps(dib.data(), 39)));
}

}  // namespace
}  // namespace kamolt::eps
