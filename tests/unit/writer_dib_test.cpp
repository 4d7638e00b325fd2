#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "base/dib_pixels.h"
#include "convert/dib_writing.h"
#include "convert/png_writer.h"

namespace kamolt {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const std::uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
void Put32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

DibLayout Layout(const Bytes& dib) { return std::get<DibLayout>(MeasureDib(dib.data(), dib.size())); }

// A 1-bit DIB as scanners deliver it: no colour count, no image size.
Bytes Mono(int width, int height) {
  Bytes dib = *NewDib(width, height, 1, {{0, 0, 0}, {255, 255, 255}});
  Put32(&dib[32], 0);
  Put32(&dib[20], 0);
  for (std::size_t i = 48; i < dib.size(); ++i) dib[i] = static_cast<std::uint8_t>(i * 7);
  return dib;
}

TEST(InvertMonochrome, InvertsEveryPixelByteButNotTheTable) {
  Bytes dib = Mono(33, 3);
  const Bytes before = dib;
  ASSERT_TRUE(InvertMonochromePixels(dib.data(), dib.size(), Layout(dib)));
  EXPECT_TRUE(std::equal(dib.begin(), dib.begin() + 48, before.begin())) << "header and colour table";
  for (std::size_t i = 48; i < dib.size(); ++i) ASSERT_EQ(dib[i], static_cast<std::uint8_t>(~before[i])) << i;
}

TEST(InvertMonochrome, KeepsToImageSizeAndToTheBlock) {
  Bytes dib = Mono(8, 4);  // 4 rows of 4 bytes
  Put32(&dib[20], 8);
  Bytes before = dib;
  InvertMonochromePixels(dib.data(), dib.size(), Layout(dib));
  EXPECT_EQ(dib[48 + 7], static_cast<std::uint8_t>(~before[48 + 7]));
  EXPECT_EQ(dib[48 + 8], before[48 + 8]) << "past biSizeImage";

  Put32(&dib[20], 0x7FFFFFF0);  // claims far more than the block holds
  before = dib;
  InvertMonochromePixels(dib.data(), dib.size(), Layout(dib));
  EXPECT_EQ(dib.back(), static_cast<std::uint8_t>(~before.back()));  // ASan: and not a byte further

  Bytes grey = *NewDib(4, 2, 8, std::vector<Rgb>(256));
  before = grey;
  EXPECT_FALSE(InvertMonochromePixels(grey.data(), grey.size(), Layout(grey)));
  EXPECT_EQ(grey, before);
}

TEST(PlanBmpFile, HeaderOffsetsAndImageSize) {
  Bytes dib = Mono(33, 3);  // rows of 8 bytes, two colours
  const auto plan = PlanBmpFile(dib.data(), dib.size());
  ASSERT_TRUE(std::holds_alternative<BmpFilePlan>(plan));
  const BmpFilePlan& p = std::get<BmpFilePlan>(plan);
  EXPECT_EQ(p.fileHeader[0], 'B');
  EXPECT_EQ(p.fileHeader[1], 'M');
  EXPECT_EQ(Le32(&p.fileHeader[2]), 14u + 48 + 24);
  EXPECT_EQ(Le32(&p.fileHeader[6]), 0u);
  EXPECT_EQ(Le32(&p.fileHeader[10]), 14u + 40 + 8);
  EXPECT_EQ(p.dibBytes, 48u + 24);
  EXPECT_EQ(Le32(&dib[20]), 24u) << "the image size is stored into the DIB";

  // A block with bytes after the pixels: they stay out of the file.
  Bytes rgb = *NewDib(2, 2, 24, {});
  rgb.resize(rgb.size() + 100);
  EXPECT_EQ(std::get<BmpFilePlan>(PlanBmpFile(rgb.data(), rgb.size())).dibBytes, 40u + 16);

  // Bit fields: the masks belong before the pixels.
  Bytes fields(40 + 12 + 2 * 8);
  Put32(&fields[0], 40);
  Put32(&fields[4], 2);
  Put32(&fields[8], 2);
  fields[12] = 1;
  fields[14] = 32;
  Put32(&fields[16], kDibBitfields);
  const BmpFilePlan f = std::get<BmpFilePlan>(PlanBmpFile(fields.data(), fields.size()));
  EXPECT_EQ(Le32(&f.fileHeader[10]), 14u + 52);
  EXPECT_EQ(f.dibBytes, fields.size());
}

TEST(PlanBmpFile, RefusesBlocksItCannotMeasure) {
  Bytes dib = Mono(33, 3);
  dib.pop_back();  // one byte short of its rows
  EXPECT_EQ(std::get<int>(PlanBmpFile(dib.data(), dib.size())), kBmpCannotLock);
  Bytes huge = Mono(8, 1);
  Put32(&huge[4], 0x7FFFFFFF);
  Put32(&huge[8], 0x7FFFFFFF);
  EXPECT_EQ(std::get<int>(PlanBmpFile(huge.data(), huge.size())), kBmpCannotLock);
  EXPECT_EQ(std::get<int>(PlanBmpFile(nullptr, 0)), kBmpCannotLock);
}

struct Decoded {
  int width = 0, height = 0;
  png_uint_32 format = 0;
  Bytes rgb;
};

Decoded DecodePng(const Bytes& file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  Decoded d;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return d;
  d.format = image.format;
  image.format = PNG_FORMAT_RGB;
  d.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, d.rgb.data(), 0, nullptr)) return d;
  d.width = static_cast<int>(image.width);
  d.height = static_cast<int>(image.height);
  return d;
}

// The picture as R,G,B rows from the top, read through the DIB's own rules.
Bytes Expected(const Bytes& dib) {
  const DibPicture picture = std::get<DibPicture>(ViewDib(dib.data(), dib.size()));
  Bytes rgb(3 * static_cast<std::size_t>(picture.Width()) * picture.Height());
  for (int y = 0; y < picture.Height(); ++y) picture.RowToRgb(y, rgb.data() + 3 * picture.Width() * y);
  return rgb;
}

TEST(EncodeDibAsPng, EveryDepthDecodesToTheSamePixels) {
  std::vector<Bytes> dibs;
  Bytes mono = Mono(13, 5);
  dibs.push_back(mono);
  Bytes four = *NewDib(7, 3, 4, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}});  // indices past the table too
  for (std::size_t i = 40 + 12; i < four.size(); ++i) four[i] = static_cast<std::uint8_t>(i * 37);
  dibs.push_back(four);
  std::vector<Rgb> greys;
  for (int i = 0; i < 256; ++i) greys.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i)});
  Bytes grey = *NewDib(5, 4, 8, greys);
  for (std::size_t i = 40 + 1024; i < grey.size(); ++i) grey[i] = static_cast<std::uint8_t>(i * 11);
  dibs.push_back(grey);
  Bytes colour = *NewDib(5, 3, 24, {});
  for (std::size_t i = 40; i < colour.size(); ++i) colour[i] = static_cast<std::uint8_t>(i * 13);
  dibs.push_back(colour);
  Bytes topDown = colour;
  Put32(&topDown[8], static_cast<std::uint32_t>(-3));
  dibs.push_back(topDown);

  for (const Bytes& dib : dibs) {
    const auto png = EncodeDibAsPng(dib.data(), dib.size());
    ASSERT_TRUE(std::holds_alternative<Bytes>(png)) << std::get<PngWriteError>(png).message;
    const Decoded d = DecodePng(std::get<Bytes>(png));
    const DibLayout layout = Layout(dib);
    EXPECT_EQ(d.width, layout.width);
    EXPECT_EQ(d.height, layout.height);
    EXPECT_EQ(d.rgb, Expected(dib)) << "bit count " << layout.bitCount;
    EXPECT_EQ((d.format & PNG_FORMAT_FLAG_COLORMAP) != 0, layout.bitCount <= 8) << "palettes stay palettes";
  }
}

TEST(EncodeDibAsPng, RefusesAbsurdHeaders) {
  Bytes dib = *NewDib(4, 4, 24, {});
  Put32(&dib[4], 0x40000000);
  const auto png = EncodeDibAsPng(dib.data(), dib.size());
  ASSERT_TRUE(std::holds_alternative<PngWriteError>(png));
  EXPECT_NE(std::get<PngWriteError>(png).message.find("Ungültiges Bitmap"), std::string::npos);
}

}  // namespace
}  // namespace kamolt
