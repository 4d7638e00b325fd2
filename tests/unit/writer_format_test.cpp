#include <gtest/gtest.h>

#include "base/scan_settings.h"
#include "convert/output_format.h"

namespace kamolt {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(OutputFormat, AutomaticTakesTheBitCount) {
  EXPECT_EQ(EffectiveFormatCode(kFormatAuto, 1), 1);
  EXPECT_EQ(EffectiveFormatCode(kFormatAuto, 24), 24);
  EXPECT_EQ(EffectiveFormatCode(kFormatGif, 1), kFormatGif);

  const OutputFormat mono = OutputFormatFor(kFormatAuto, 1);
  EXPECT_EQ(mono.extension, "PCX");
  EXPECT_EQ(mono.route, OutputRoute::Module);
  EXPECT_EQ(mono.optionBlock, (Bytes{0x00, 0x02, 5, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
  for (int bits : {4, 8, 16, 24, 32}) {
    const OutputFormat f = OutputFormatFor(kFormatAuto, bits);
    EXPECT_EQ(f.extension, "JPG") << bits;
    EXPECT_EQ(f.optionBlock, (Bytes{0x00, 0x02, 0, 0, 85, 0, 0, 0, 0, 0, 0, 0})) << bits;
  }
}

TEST(OutputFormat, EveryCodeHasItsExtensionRouteAndBlock) {
  struct Row {
    int code;
    std::string_view extension;
    OutputRoute route;
    Bytes block;
  };
  const Row rows[] = {
      {kFormatPcx, "PCX", OutputRoute::Module, {0x00, 0x02, 5, 0, 8, 0, 0, 0, 1, 0, 0, 0}},
      {kFormatGif, "GIF", OutputRoute::Module, {0x00, 0x02, 0, 0, 87, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {kFormatJpg, "JPG", OutputRoute::Module, {0x00, 0x02, 0, 0, 85, 0, 0, 0, 0, 0, 0, 0}},
      {kFormatBmp, "BMP", OutputRoute::Bitmap, {}},
      {kFormatPcd, "JPG", OutputRoute::Module, {0x00, 0x02, 0, 0, 85, 0, 0, 0, 0, 0, 0, 0}},
      {kFormatTif, "TIF", OutputRoute::Module, {0x00, 0x02, 0, 0, 8, 0, 0, 0, 0x05, 0x80, 0, 0, 10, 0, 0, 0}},
      {kFormatEps, "EPS", OutputRoute::Module,
       {0x00, 0x02, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
      {kFormatPng, "TMP", OutputRoute::Png, {}},
      {4711, "JPG", OutputRoute::Module, {0x00, 0x02, 0, 0, 85, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    const OutputFormat f = OutputFormatFor(row.code, 8);
    EXPECT_EQ(f.effectiveCode, row.code);
    EXPECT_EQ(f.extension, row.extension) << row.code;
    EXPECT_EQ(f.route, row.route) << row.code;
    EXPECT_EQ(f.optionBlock, row.block) << row.code;
  }
  // The TIF block carries the picture's own bit count.
  EXPECT_EQ(OutputFormatFor(kFormatTif, 24).optionBlock[4], 24);
}

TEST(OutputFormat, SaveDialogFilters) {
  EXPECT_EQ(SaveFilterText("BMP"), std::string("Windows Bitmap (*.bmp)\0*.bmp\0\0", 30));
  EXPECT_EQ(SaveFilterFor("GIF").description, "Compuserve GIF (*.gif)");
  EXPECT_EQ(SaveFilterFor("PCX").description, "Zsoft Paintbrush (*.pcx)");
  EXPECT_EQ(SaveFilterFor("JPG").description, "JPEG-Dateien (*.jpg)");
  EXPECT_EQ(SaveFilterFor("TIF").description, "Tagged Image File Format (*.tif)");
  EXPECT_EQ(SaveFilterFor("EPS").pattern, "*.eps");
  EXPECT_EQ(SaveFilterFor("TMP").description, "Alle (*.*)");
  EXPECT_EQ(SaveFilterFor("TMP").pattern, "*.*");
}

}  // namespace
}  // namespace kamolt
