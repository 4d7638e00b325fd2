#include "modules/pcd/pcd_codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "base/dib_pixels.h"

namespace kamolt::pcd {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBase = 0x30000, kPair = 2304, kSize = kBase + 256 * kPair;

// An image pack with neutral chroma and the given luma for every pixel.
template <typename Luma>
Bytes Pack(Luma luma, int orientation = 0) {
  Bytes file(kSize);
  std::memcpy(file.data() + 0x800, "PCD_IPI", 7);
  file[0x800 + 0x602] = static_cast<std::uint8_t>(orientation);
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 768; ++x) file[kBase + (y / 2) * kPair + (y % 2) * 768 + x] = luma(x, y);
  }
  for (int p = 0; p < 256; ++p) {
    std::fill_n(file.begin() + kBase + p * kPair + 1536, 384, 156);
    std::fill_n(file.begin() + kBase + p * kPair + 1920, 384, 137);
  }
  return file;
}

DibPicture View(const Bytes& dib) { return std::get<DibPicture>(ViewDib(dib.data(), dib.size())); }
Rgb At(const DibPicture& p, int x, int y) {
  const std::uint8_t* px = p.RowFromTop(y) + 3 * x;
  return {px[2], px[1], px[0]};
}

TEST(PcdCodec, NeutralChromaGivesTheLumaAsGrey) {
  const Bytes dib = std::get<Bytes>(DecodePcd(Pack([](int x, int) { return std::uint8_t(x / 3); }).data(), kSize));
  const DibPicture p = View(dib);
  ASSERT_EQ(p.Width(), 768);
  ASSERT_EQ(p.Height(), 512);
  EXPECT_EQ(p.BitCount(), 24);
  for (int x : {0, 100, 383, 767}) EXPECT_EQ(At(p, x, 7), (Rgb{std::uint8_t(x / 3), std::uint8_t(x / 3), std::uint8_t(x / 3)}));
}

TEST(PcdCodec, TurnsThePictureAsThePackSays) {
  // One white pixel at the stored picture's top left corner, and where each turn puts it.
  const auto corner = [](int x, int y) { return std::uint8_t(x == 0 && y == 0 ? 255 : 0); };
  struct Case { int orientation, width, height, x, y; };
  for (const Case& c : {Case{0, 768, 512, 0, 0}, Case{1, 512, 768, 0, 767}, Case{2, 768, 512, 767, 511},
                        Case{3, 512, 768, 511, 0}}) {
    SCOPED_TRACE(c.orientation);
    const Bytes dib = std::get<Bytes>(DecodePcd(Pack(corner, c.orientation).data(), kSize));
    const DibPicture p = View(dib);
    ASSERT_EQ(p.Width(), c.width);
    ASSERT_EQ(p.Height(), c.height);
    EXPECT_EQ(At(p, c.x, c.y).r, 255);
    EXPECT_LT(At(p, c.width - 1 - c.x, c.height - 1 - c.y).r, 10);
  }
}

TEST(PcdCodec, RefusesShortFilesAndFilesWithoutTheSignature) {
  const Bytes good = Pack([](int, int) { return std::uint8_t(9); });
  for (std::size_t size : {std::size_t{0}, std::size_t{0x806}, std::size_t{0x2000}, kBase, kSize - 1}) {
    EXPECT_TRUE(std::holds_alternative<CodecError>(DecodePcd(good.data(), size))) << size;
  }
  Bytes unsigned_ = good;
  unsigned_[0x800] = 'X';
  EXPECT_TRUE(std::holds_alternative<CodecError>(DecodePcd(unsigned_.data(), unsigned_.size())));
  EXPECT_TRUE(std::holds_alternative<CodecError>(DecodePcd(nullptr, 0)));
}

// ImageMagick writes Photo CD packs; its own reading of the same file is the reference,
// within what the colour conversion and the chroma interpolation may differ by.
TEST(PcdCodec, ReadsWhatImageMagickWritesAsImageMagickReadsIt) {
  const char* convert = "/usr/bin/convert";
  if (!std::filesystem::exists(convert)) GTEST_SKIP() << "ImageMagick is not installed";
  const auto dir = std::filesystem::temp_directory_path() / ("kamolt_pcd_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const char* size : {"300x200", "120x200"}) {  // landscape, and upright (turned in the pack)
    SCOPED_TRACE(size);
    const std::string pcd = (dir / "in.pcd").string(), ppm = (dir / "ref.ppm").string();
    const std::string make = std::string(convert) + " -size " + size +
                             " 'gradient:#20a040-#f0c060' -fill '#c03030' -draw \"circle 60,60 60,20\" " + pcd;
    ASSERT_EQ(std::system(make.c_str()), 0);
    ASSERT_EQ(std::system((std::string(convert) + " " + pcd + " -depth 8 " + ppm).c_str()), 0);

    std::ifstream in(pcd, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), {});
    const auto decoded = DecodePcd(file.data(), file.size());
    ASSERT_TRUE(std::holds_alternative<Bytes>(decoded)) << std::get<CodecError>(decoded).message;
    const DibPicture ours = View(std::get<Bytes>(decoded));

    std::ifstream ref(ppm, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, most = 0;
    ref >> magic >> width >> height >> most;
    ref.get();
    ASSERT_EQ(magic, "P6");
    ASSERT_EQ(width, ours.Width());
    ASSERT_EQ(height, ours.Height());
    int worst = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        char rgb[3];
        ref.read(rgb, 3);
        const Rgb c = At(ours, x, y);
        worst = std::max({worst, std::abs(c.r - static_cast<std::uint8_t>(rgb[0])),
                          std::abs(c.g - static_cast<std::uint8_t>(rgb[1])), std::abs(c.b - static_cast<std::uint8_t>(rgb[2]))});
      }
    }
    EXPECT_LE(worst, 4);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kamolt::pcd
