#include "scan/memory_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/unit/twain_fake.h"

namespace kamolt {
namespace {

using testing::ImageInfo;

TEST(PlanImageBlock, RoundsThePixelsUpToWholeBuffersAndRefusesWhatNoBitmapHolds) {
  struct Case {
    int width, height, bits;
    TW_UINT32 buffer;
    bool ok;
    std::uint64_t image, rounded;
  };
  const Case cases[] = {
      {2550, 3300, 8, 65536, true, 8421600, 8454144},  // 2552 × 3300; 129 buffers
      {64, 1, 8, 64, true, 64, 128},                   // a multiple gains a whole buffer
      {1, 1, 1, 65536, true, 4, 65536},                // a buffer larger than the picture
      {33, 2, 1, 3, true, 16, 18},
      {2550, 3300, 24, 65536, true, 25251600, 25296896},
      {0, 10, 8, 65536, false, 0, 0},
      {10, 0, 8, 65536, false, 0, 0},
      {10, -2, 8, 65536, false, 0, 0},
      {10, 10, 7, 65536, false, 0, 0},
      {10, 10, 48, 65536, false, 0, 0},
      {10, 10, 8, 0, false, 0, 0},
      {100000, 100000, 24, 65536, false, 0, 0},          // 30 GB
      {0x7fffffff, 0x7fffffff, 32, 65536, false, 0, 0},  // overflows 64 bits in a careless product
      {1000, 1000, 8, 0xffffffff, false, 0, 0},          // a buffer past 2 GiB
  };
  for (const Case& c : cases) {
    const auto plan = PlanImageBlock(ImageInfo(c.width, c.height, c.bits, TWPT_GRAY), c.buffer);
    ASSERT_EQ(plan.has_value(), c.ok) << c.width << "x" << c.height << "x" << c.bits;
    if (!plan) continue;
    EXPECT_EQ(plan->imageBytes, c.image);
    EXPECT_EQ(plan->roundedBytes, c.rounded);
    EXPECT_EQ(plan->blockBytes, c.rounded + 1064);
  }
  EXPECT_EQ(PlanImageBlock(ImageInfo(2550, 3300, 8, TWPT_GRAY), 65536)->blockBytes, 8455208u);
}

// A page of unknown length starts with room for a first part and doubles, never past
// what a bitmap block may be.
TEST(PlanImageBlock, APageOfUnknownLengthStartsWithSomeRoomAndGrowsWithinBounds) {
  struct Case {
    int width, bits;
    TW_UINT32 buffer;
    int firstRows;
    std::uint64_t fromRows, neededRows;  // grown to fromRows first, unless 0
    int grownRows;                       // 0: no block holds them
  };
  const Case cases[] = {
      {100, 8, 65536, 41944, 0, 41945, 83888},
      {1000, 8, 8u << 20, 8389, 0, 100000, 100000},  // a buffer larger than the first room
      {30000, 24, 65536, 47, 20000, 23000, 23000},   // doubling would pass 2 GiB, the rows fit
      {30000, 24, 65536, 47, 20000, 24000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.neededRows);
    TW_IMAGEINFO info = ImageInfo(c.width, 1, c.bits, TWPT_GRAY);
    info.ImageLength = -1;
    auto plan = PlanImageBlock(info, c.buffer);
    ASSERT_TRUE(plan && plan->unknownLength);
    EXPECT_EQ(plan->height, c.firstRows);
    if (c.fromRows != 0) plan = GrowImageBlock(*plan, c.fromRows, c.buffer);
    const auto grown = GrowImageBlock(*plan, c.neededRows, c.buffer);
    EXPECT_EQ(grown ? grown->height : 0, c.grownRows);
  }
}

TEST(PixelsPerMetre, ConvertsInchesAndCentimetresAndNothingElse) {
  struct Case {
    double resolution;
    TW_UINT16 units;
    std::int32_t perMetre;
  };
  const Case cases[] = {{300, TWUN_INCHES, 11811},   {100, TWUN_CENTIMETERS, 10000}, {72, TWUN_INCHES, 2834},
                        {300, TWUN_PIXELS, 0},       {300, 2, 0},                    {300, 0xffff, 0},
                        {1e12, TWUN_INCHES, 2147483647}};
  for (const Case& c : cases) EXPECT_EQ(PixelsPerMetre(c.resolution, c.units), c.perMetre) << c.resolution;
}

TEST(ColourTables, GreyBlackWhiteAndPaletteEntries) {
  std::uint8_t table[1024] = {};
  EXPECT_EQ(WriteGreyTable(table, 8), 256u);
  EXPECT_EQ(std::vector<std::uint8_t>(table + 4 * 200, table + 4 * 201), (std::vector<std::uint8_t>{200, 200, 200, 0}));
  EXPECT_EQ(WriteGreyTable(table, 4), 16u);
  EXPECT_EQ(table[4 * 15], 255);
  EXPECT_EQ(table[4 * 1], 17);
  EXPECT_EQ(WriteGreyTable(table, 24), 256u);

  WriteBlackWhiteTable(table, TWPF_CHOCOLATE);
  EXPECT_EQ(std::vector<std::uint8_t>(table, table + 8), (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
  WriteBlackWhiteTable(table, TWPF_VANILLA);
  EXPECT_EQ(std::vector<std::uint8_t>(table, table + 8), (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0, 0, 0}));

  TW_PALETTE8 palette{};
  palette.NumColors = 300;  // more than the record holds
  palette.Colors[1] = {1, 10, 20, 30};
  EXPECT_EQ(WritePaletteTable(table, palette, 8), 256u);
  EXPECT_EQ(std::vector<std::uint8_t>(table + 4, table + 8), (std::vector<std::uint8_t>{30, 20, 10, 0}));
  EXPECT_EQ(WritePaletteTable(table, palette, 4), 16u);
  palette.NumColors = 3;
  EXPECT_EQ(WritePaletteTable(table, palette, 8), 3u);
}

TEST(WriteImageHeader, FillsTheBitmapHeader) {
  std::uint8_t block[40];
  std::memset(block, 0xAB, sizeof block);
  const ImageBlockPlan plan = *PlanImageBlock(ImageInfo(2550, 3300, 8, TWPT_GRAY), 65536);
  WriteImageHeader(block, plan, 8454144, 11811, 11811, 256);
  const auto get32 = [&](int at) {
    std::uint32_t v;
    std::memcpy(&v, block + at, 4);
    return v;
  };
  EXPECT_EQ(get32(0), 40u);
  EXPECT_EQ(get32(4), 2550u);
  EXPECT_EQ(get32(8), 3300u);
  EXPECT_EQ(block[12] | block[13] << 8, 1);
  EXPECT_EQ(block[14] | block[15] << 8, 8);
  EXPECT_EQ(get32(16), 0u);
  EXPECT_EQ(get32(20), 8454144u);
  EXPECT_EQ(get32(24), 11811u);
  EXPECT_EQ(get32(28), 11811u);
  EXPECT_EQ(get32(32), 256u);
  EXPECT_EQ(get32(36), 0u);
}

// The pixels of a plan, top row first, with a guard zone after them that must stay clean.
struct Canvas {
  explicit Canvas(const ImageBlockPlan& p) : plan(p), bytes(p.rowBytes * p.height + 64, 0) {}
  bool GuardClean() const {
    for (std::size_t i = plan.rowBytes * plan.height; i < bytes.size(); ++i) {
      if (bytes[i] != 0) return false;
    }
    return true;
  }
  std::vector<std::uint8_t> Row(int y) const {
    return {bytes.begin() + y * plan.rowBytes, bytes.begin() + (y + 1) * plan.rowBytes};
  }
  ImageBlockPlan plan;
  std::vector<std::uint8_t> bytes;
};

TW_IMAGEMEMXFER Strip(TW_UINT32 bytesPerRow, TW_UINT32 rows, TW_UINT32 columns, TW_UINT32 x, TW_UINT32 y,
                      TW_UINT32 written) {
  TW_IMAGEMEMXFER strip{};
  strip.BytesPerRow = bytesPerRow;
  strip.Rows = rows;
  strip.Columns = columns;
  strip.XOffset = x;
  strip.YOffset = y;
  strip.BytesWritten = written;
  return strip;
}

TEST(PlaceStrip, PlacesRowsByTheirOwnLengthAndOffsets) {
  struct Case {
    const char* name;
    int width, height, bits;
    TW_IMAGEMEMXFER strip;
    std::vector<std::uint8_t> data;
    std::vector<std::vector<std::uint8_t>> rows;  // expected rows, top of the block first
    StripPlacement placement = {};
  };
  constexpr StripPlacement kBitmapOrder{true, true};
  const Case cases[] = {
      {"padded rows, padding left clean", 3, 2, 8, Strip(4, 2, 3, 0, 0, 8), {1, 2, 3, 9, 4, 5, 6, 9},
       {{1, 2, 3, 0}, {4, 5, 6, 0}}},
      {"unpadded rows", 3, 2, 8, Strip(3, 2, 3, 0, 0, 6), {1, 2, 3, 4, 5, 6}, {{1, 2, 3, 0}, {4, 5, 6, 0}}},
      {"rows padded wider than ours", 2, 2, 8, Strip(8, 2, 2, 0, 0, 16),
       {1, 2, 7, 7, 7, 7, 7, 7, 3, 4, 7, 7, 7, 7, 7, 7}, {{1, 2, 0, 0}, {3, 4, 0, 0}}},
      {"second strip lower down", 2, 3, 8, Strip(2, 1, 2, 0, 2, 2), {5, 6}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {5, 6, 0, 0}}},
      {"tile to the right", 4, 1, 8, Strip(2, 1, 2, 2, 0, 2), {5, 6}, {{0, 0, 5, 6}}},
      {"rows past the bottom are left out", 1, 1, 8, Strip(1, 3, 1, 0, 0, 3), {1, 2, 3}, {{1, 0, 0, 0}}},
      {"columns past the right edge are left out", 2, 1, 24, Strip(9, 1, 3, 1, 0, 9), {1, 2, 3, 4, 5, 6, 7, 8, 9},
       {{0, 0, 0, 1, 2, 3, 0, 0}}},
      {"fewer bytes written than rows claim", 2, 2, 8, Strip(2, 2, 2, 0, 0, 3), {1, 2, 3},
       {{1, 2, 0, 0}, {3, 0, 0, 0}}},
      {"an offset beyond the image", 2, 2, 8, Strip(2, 1, 2, 0, 0xffffffff, 2), {1, 2}, {{0, 0, 0, 0}, {0, 0, 0, 0}}},
      {"fields left unfilled", 3, 2, 8, Strip(0, 0, 0, 0, 0, 8), {1, 2, 3, 9, 4, 5, 6, 9},
       {{1, 2, 3, 0}, {4, 5, 6, 0}}},
      {"1-bit width 9 unpadded", 9, 2, 1, Strip(2, 2, 9, 0, 0, 4), {0xff, 0x80, 0xaa, 0x00},
       {{0xff, 0x80, 0, 0}, {0xaa, 0x00, 0, 0}}},
      {"1-bit tile starting inside a byte", 16, 1, 1, Strip(1, 1, 4, 3, 0, 1), {0xf0}, {{0x1e, 0, 0, 0}}},
      {"4-bit tile starting inside a byte", 4, 1, 4, Strip(1, 1, 2, 1, 0, 1), {0xab}, {{0x0a, 0xb0, 0, 0}}},
      {"bitmap order: rows turned, red and blue swapped", 3, 3, 24, Strip(9, 2, 3, 0, 0, 18),
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18},
       {std::vector<std::uint8_t>(12, 0), {12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0},
        {3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}}, kBitmapOrder},
      {"bitmap order: a partly written pixel keeps its bytes apart", 2, 1, 24, Strip(6, 1, 2, 0, 0, 5),
       {1, 2, 3, 4, 5}, {{3, 2, 1, 0, 5, 4, 0, 0}}, kBitmapOrder},
      {"bitmap order: a tile to the right of odd width", 3, 1, 24, Strip(3, 1, 1, 2, 0, 3), {1, 2, 3},
       {{0, 0, 0, 0, 0, 0, 3, 2, 1, 0, 0, 0}}, kBitmapOrder},
      {"bitmap order: grey rows turned, never swapped", 3, 2, 8, Strip(3, 1, 3, 0, 1, 3), {1, 2, 3},
       {{1, 2, 3, 0}, {0, 0, 0, 0}}, kBitmapOrder},
      {"bitmap order: 4-bit tile inside a byte", 4, 2, 4, Strip(1, 1, 2, 1, 0, 1), {0xab},
       {{0, 0, 0, 0}, {0x0a, 0xb0, 0, 0}}, kBitmapOrder},
  };
  for (const Case& c : cases) {
    const ImageBlockPlan plan = *PlanImageBlock(ImageInfo(c.width, c.height, c.bits, TWPT_GRAY), 65536);
    Canvas canvas(plan);
    PlaceStrip(canvas.bytes.data(), plan, c.strip, c.data.data(), c.data.size(), c.placement);
    for (int y = 0; y < c.height; ++y) EXPECT_EQ(canvas.Row(y), c.rows[y]) << c.name << " row " << y;
    EXPECT_TRUE(canvas.GuardClean()) << c.name;
  }
}

TEST(FlipRows, TurnsRowsOverAndSwapsRedAndBlueOfEveryPixel) {
  struct Case {
    int height;
    bool swap;
    std::vector<std::uint8_t> before, after;
  };
  // Two pixels of 24 bits in rows of 8 bytes.
  const Case cases[] = {
      {1, true, {1, 2, 3, 4, 5, 6, 0, 0}, {3, 2, 1, 6, 5, 4, 0, 0}},
      {2, false, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}, {7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0}},
      {3, true,
       {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0, 13, 14, 15, 16, 17, 18, 0, 0},
       {15, 14, 13, 18, 17, 16, 0, 0, 9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> pixels = c.before;
    ASSERT_TRUE(FlipRows(pixels.data(), 8, c.height, 2, c.swap));
    EXPECT_EQ(pixels, c.after) << c.height;
  }
}

}  // namespace
}  // namespace kamolt
