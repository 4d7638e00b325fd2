// The virtual scanner's page pattern, its packing into rows, and its script.
#include <gtest/gtest.h>

#include <vector>

#include "tools/virtual_scanner/page_pattern.h"
#include "tools/virtual_scanner/scanner_config.h"

namespace kamolt::scanner {
namespace {

// Where a test finds each mark on a 400 x 320 page, and what it finds there.
struct Landmark {
  const char* what;
  std::int32_t x, y;
  int index;
};

TEST(VirtualScannerPattern, LandmarksSitWhereTheyAreDescribed) {
  // Page 5 is 00000101: cells 5 and 7 are black.
  const Landmark marks[] = {
      {"corner square", 0, 0, kBlack},           {"corner square's far corner", 39, 39, kBlack},
      {"right of the square", 60, 100, kWhite},  {"top-right corner", 399, 0, kWhite},
      {"bottom-left corner", 0, 319, kWhite},    {"bar 0 (white)", 25, 160, 0},
      {"bar 1 (yellow)", 75, 160, 1},            {"bar 4 (magenta)", 225, 120, 4},
      {"bar 7 (black)", 399, 199, 7},            {"above the bars", 225, 119, kWhite},
      {"below the bars", 225, 200, kWhite},      {"cell 0 of the number", 25, 250, kWhite},
      {"cell 5 of the number", 275, 250, kBlack}, {"cell 6 of the number", 325, 250, kWhite},
      {"cell 7 of the number", 375, 279, kBlack}, {"below the cells", 375, 280, kWhite},
  };
  for (const Landmark& mark : marks) {
    EXPECT_EQ(PatternIndex(400, 320, 5, mark.x, mark.y), mark.index) << mark.what;
  }
}

struct PackingCase {
  TW_UINT16 pixelType;
  int bitDepth;
  TW_UINT16 flavor;
  std::int32_t width;
};

// Every packed pixel read back must be the sample of the pattern's colour there.
TEST(VirtualScannerPattern, RowsPackEveryPixelTypeAndDepth) {
  const PackingCase cases[] = {
      {TWPT_BW, 1, TWPF_CHOCOLATE, 37},   {TWPT_BW, 1, TWPF_VANILLA, 37},    {TWPT_GRAY, 8, TWPF_CHOCOLATE, 33},
      {TWPT_GRAY, 8, TWPF_VANILLA, 33},   {TWPT_GRAY, 4, TWPF_CHOCOLATE, 35}, {TWPT_RGB, 24, TWPF_CHOCOLATE, 31},
      {TWPT_PALETTE, 8, TWPF_CHOCOLATE, 40}, {TWPT_PALETTE, 4, TWPF_CHOCOLATE, 41},
  };
  for (const PackingCase& c : cases) {
    const PageFormat page{c.width, 29, c.pixelType, c.bitDepth, c.flavor, 3};
    const std::uint64_t rowBytes = PackedRowBytes(page);
    ASSERT_EQ(rowBytes, (static_cast<std::uint64_t>(c.width) * c.bitDepth + 7) / 8);
    std::vector<std::uint8_t> row(rowBytes + 1, 0xee);
    for (std::int32_t y = 0; y < page.length; ++y) {
      WriteRow(page, y, row.data());
      ASSERT_EQ(row[rowBytes], 0xee) << "wrote past the row";
      for (std::int32_t x = 0; x < c.width; ++x) {
        std::uint32_t value;
        switch (c.bitDepth) {
          case 1: value = row[x / 8] >> (7 - x % 8) & 1; break;
          case 4: value = x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4; break;
          case 8: value = row[x]; break;
          default: value = row[3 * x] << 16 | row[3 * x + 1] << 8 | row[3 * x + 2]; break;
        }
        ASSERT_EQ(value, SampleValue(page, PatternIndex(c.width, 29, 3, x, y)))
            << "type " << c.pixelType << " depth " << c.bitDepth << " at " << x << "," << y;
      }
    }
  }
}

TEST(VirtualScannerPattern, SamplesHonourTheFlavour) {
  const PageFormat bwChocolate{8, 8, TWPT_BW, 1, TWPF_CHOCOLATE, 1};
  const PageFormat bwVanilla{8, 8, TWPT_BW, 1, TWPF_VANILLA, 1};
  const PageFormat grey{8, 8, TWPT_GRAY, 8, TWPF_CHOCOLATE, 1};
  const PageFormat greyVanilla{8, 8, TWPT_GRAY, 8, TWPF_VANILLA, 1};
  const PageFormat grey4{8, 8, TWPT_GRAY, 4, TWPF_CHOCOLATE, 1};
  EXPECT_EQ(SampleValue(bwChocolate, kBlack), 0u);
  EXPECT_EQ(SampleValue(bwChocolate, kWhite), 1u);
  EXPECT_EQ(SampleValue(bwVanilla, kBlack), 1u);
  EXPECT_EQ(SampleValue(bwVanilla, kWhite), 0u);
  EXPECT_EQ(SampleValue(bwChocolate, 1), 1u);  // yellow is light
  EXPECT_EQ(SampleValue(bwChocolate, 5), 0u);  // red is dark
  EXPECT_EQ(SampleValue(grey, kWhite), 255u);
  EXPECT_EQ(SampleValue(greyVanilla, kWhite), 0u);
  EXPECT_EQ(SampleValue(grey, 5), 76u);
  EXPECT_EQ(SampleValue(grey4, kWhite), 15u);
}

TEST(VirtualScannerPattern, RowSizesRefuseWhatCannotBePacked) {
  EXPECT_EQ(PackedRowBytes({0, 10, TWPT_RGB, 24, 0, 1}), 0u);
  EXPECT_EQ(PackedRowBytes({-5, 10, TWPT_RGB, 24, 0, 1}), 0u);
  EXPECT_EQ(PackedRowBytes({10, 10, TWPT_RGB, 8, 0, 1}), 0u);
  EXPECT_EQ(PackedRowBytes({0x7fffffff, 10, TWPT_RGB, 24, 0, 1}), 0x7fffffffull * 3);
}

struct ScriptCase {
  const char* text;
  ScannerConfig expected;
};

TEST(VirtualScannerScript, ReadsEveryKeyAndKeepsDefaultsForNonsense) {
  const auto with = [](auto change) {
    ScannerConfig config;
    change(config);
    return config;
  };
  const ScriptCase cases[] = {
      {"", ScannerConfig{}},
      {"[Scanner]\nPages=3\n", with([](ScannerConfig& c) { c.pages = 3; })},
      {"[Scanner]\nPages=-2\n", with([](ScannerConfig& c) { c.pages = 0; })},
      {"[Scanner]\nPages=lots\n", ScannerConfig{}},
      {"[Other]\nPages=3\n", ScannerConfig{}},
      {"[scanner]\npreferredbuffer=0\n", with([](ScannerConfig& c) { c.preferredBuffer = 0; })},
      {"[Scanner]\nPreferredBuffer=-1\n", ScannerConfig{}},
      {"[Scanner]\nStripRows=7\nPadRows=1\n", with([](ScannerConfig& c) {
         c.stripRows = 7;
         c.padRows = true;
       })},
      {"[Scanner]\nCancelPage=2\nFailPage=3\n", with([](ScannerConfig& c) {
         c.cancelPage = 2;
         c.failPage = 3;
       })},
      {"[Scanner]\nImageWidth=-4\nImageLength=2000000000\n", with([](ScannerConfig& c) {
         c.imageWidth = -4;
         c.imageLength = 2000000000;
       })},
      {"[Scanner]\nCloseRequest=1\nStrictMechanism=0\nPixelFlavor=1\n", with([](ScannerConfig& c) {
         c.closeRequest = true;
         c.strictMechanism = false;
         c.pixelFlavor = TWPF_VANILLA;
       })},
      {"[Scanner]\nUnknownLength=1\nMinBuffer=100000\nCheckStatusOnEnable=1\nEmptyStrips=5\nFailEndTransfer=2\n",
       with([](ScannerConfig& c) {
         c.failEndTransfer = 2;
         c.unknownLength = true;
         c.minBuffer = 100000;
         c.checkStatusOnEnable = true;
         c.emptyStrips = 5;
       })},
      {"[Scanner]\nMinBuffer=-3\nEmptyStrips=many\n", ScannerConfig{}},
      {"[Scanner]\nPixelType= palette\n", with([](ScannerConfig& c) { c.onlyPixelType = TWPT_PALETTE; })},
      {"[Scanner]\nPixelType=CMYK\n", with([](ScannerConfig&) {})},
      {"[Scanner]\nUnsupported= icap_pixelflavor , DAT_PALETTE8,NOPE,,ICAP_UNITS\n", with([](ScannerConfig& c) {
         c.unsupportedCaps = {ICAP_PIXELFLAVOR, ICAP_UNITS};
         c.unsupportedData = {DAT_PALETTE8};
       })},
  };
  for (const ScriptCase& c : cases) {
    const ScannerConfig got = ParseScannerConfig(c.text);
    const ScannerConfig& want = c.expected;
    SCOPED_TRACE(c.text);
    EXPECT_EQ(got.pages, want.pages);
    EXPECT_EQ(got.preferredBuffer, want.preferredBuffer);
    EXPECT_EQ(got.stripRows, want.stripRows);
    EXPECT_EQ(got.padRows, want.padRows);
    EXPECT_EQ(got.cancelPage, want.cancelPage);
    EXPECT_EQ(got.failPage, want.failPage);
    EXPECT_EQ(got.unsupportedCaps, want.unsupportedCaps);
    EXPECT_EQ(got.unsupportedData, want.unsupportedData);
    EXPECT_EQ(got.imageWidth, want.imageWidth);
    EXPECT_EQ(got.imageLength, want.imageLength);
    EXPECT_EQ(got.closeRequest, want.closeRequest);
    EXPECT_EQ(got.strictMechanism, want.strictMechanism);
    EXPECT_EQ(got.pixelFlavor, want.pixelFlavor);
    EXPECT_EQ(got.onlyPixelType, want.onlyPixelType);
    EXPECT_EQ(got.unknownLength, want.unknownLength);
    EXPECT_EQ(got.minBuffer, want.minBuffer);
    EXPECT_EQ(got.checkStatusOnEnable, want.checkStatusOnEnable);
    EXPECT_EQ(got.emptyStrips, want.emptyStrips);
    EXPECT_EQ(got.failEndTransfer, want.failEndTransfer);
  }
}

}  // namespace
}  // namespace kamolt::scanner
