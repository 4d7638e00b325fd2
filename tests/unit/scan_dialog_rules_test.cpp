#include "scan/scan_dialog_rules.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace kamolt {
namespace {

class ScanDialogSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kamolt-scan-XXXXXX";
    folder_ = mkdtemp(pattern);
    path_ = folder_ + "/Kamolt.INI";
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }
  ScanDialogFields Read(const std::string& ini) const {
    std::ofstream(path_) << ini;
    return ReadScanDialogSettings(IniFile(path_));
  }

  std::string folder_, path_;
};

TEST_F(ScanDialogSettingsTest, WithoutSettingsEveryListIsEmptyAndTheFrameIsZero) {
  const ScanDialogFields fields = ReadScanDialogSettings(IniFile(path_));
  EXPECT_EQ(fields.formatIndex, 0);
  EXPECT_TRUE(fields.fileNames.empty());
  EXPECT_TRUE(fields.resolutions.empty());
  EXPECT_EQ(fields.resolutionIndex, -1);
  EXPECT_EQ(fields.resolutionText, "");
  EXPECT_TRUE(fields.papers.empty());
  EXPECT_EQ(fields.paperIndex, -1);
  EXPECT_EQ(fields.widthText, "0");
  EXPECT_EQ(fields.heightText, "0");
  EXPECT_EQ(fields.colour, ColourMode::Colour);
  EXPECT_FALSE(fields.selectSource || fields.showSourceUi || fields.transmissive || fields.pixelFlavor ||
               fields.duplex);
}

TEST_F(ScanDialogSettingsTest, ListsSkipEmptyKeysAndTheDefaultsPickTheirEntryIgnoringCase) {
  const ScanDialogFields fields = Read(
      "[Others]\nDefExt=tif\nFilename3=C:\\B\\D.JPG\n"
      "[Scan]\nDPI0=150\nDPI1=\nDPI2=300\nDefDPI=300\n"
      "Format1=148,210,DIN A5\nFormat4=210,297,DIN A4\nFormat9=216,279,Letter\nDefFormat=din a4\n"
      "SelectSource=1\nTwain=7\nTransmissive=0\nPixelFlavor=abc\nDuplex=1\n");
  EXPECT_EQ(fields.formatIndex, 6);
  EXPECT_EQ(fields.fileNames, std::vector<std::string>{"C:\\B\\D.JPG"});
  EXPECT_EQ(fields.resolutions, (std::vector<std::string>{"150", "300"}));
  EXPECT_EQ(fields.resolutionIndex, 1);
  EXPECT_EQ(fields.resolutionText, "300");
  ASSERT_EQ(fields.papers.size(), 3u);
  EXPECT_EQ(fields.papers[2].name, "Letter");
  EXPECT_EQ(fields.paperIndex, 1);
  EXPECT_EQ(fields.widthText, "210");
  EXPECT_EQ(fields.heightText, "297");
  EXPECT_TRUE(fields.selectSource);
  EXPECT_TRUE(fields.showSourceUi);
  EXPECT_FALSE(fields.transmissive);
  EXPECT_FALSE(fields.pixelFlavor);  // no number: the default
  EXPECT_TRUE(fields.duplex);
}

TEST_F(ScanDialogSettingsTest, DefaultsThatNameNoEntryPickTheFirst) {
  const ScanDialogFields fields =
      Read("[Others]\nDefExt=JPEG\n[Scan]\nDPI0=150\nDPI1=300\nDefDPI=600\nFormat0=148,210,DIN A5\n"
           "Format1=210,297,DIN A4\nDefFormat=A3\n");
  EXPECT_EQ(fields.formatIndex, 0);
  EXPECT_EQ(fields.resolutionIndex, 0);
  EXPECT_EQ(fields.resolutionText, "150");
  EXPECT_EQ(fields.paperIndex, 0);
  EXPECT_EQ(fields.widthText, "148");
  EXPECT_EQ(fields.heightText, "210");
}

TEST(PaperSize, WidthHeightAndTheRestAsName) {
  const struct {
    const char* value;
    double width, height;
    const char* name;
  } cases[] = {
      {"210,297,DIN A4", 210, 297, "DIN A4"},
      {" 210, 297,DIN A4", 210, 297, "DIN A4"},
      {"210,297,Brief, quer", 210, 297, "Brief, quer"},
      {"210,297", 210, 297, ""},
      {"210", 210, 0, ""},
      {"abc,297,X", 0, 297, "X"},
      {"210 ,297,X", 210, 297, "X"},
      {"215.9,279.4,Letter", 215.9, 279.4, "Letter"},
      {"215,9,279,Letter", 215, 9, "279,Letter"},  // the settings write a point
      {"1.2.3,.5,X", 0, 0.5, "X"},
      {"3000000000.5,-2.5,X", 0, -2.5, "X"},
      {"$D2,297,Hex", 210, 297, "Hex"},
      {",,leer", 0, 0, "leer"},
  };
  for (const auto& c : cases) {
    const PaperSize paper = ParsePaperSize(c.value);
    EXPECT_EQ(paper.width, c.width) << c.value;
    EXPECT_EQ(paper.height, c.height) << c.value;
    EXPECT_EQ(paper.name, c.name) << c.value;
  }
}

TEST(PaperSize, ChoosingANameShowsItsSizeAndANameNotInTheListChangesNothing) {
  ScanDialogFields fields;
  fields.papers = {{148, 210, "DIN A5"}, {210, 297, "DIN A4"}, ParsePaperSize("215.9,279.4,Letter")};
  fields.widthText = "1";
  fields.heightText = "2";
  SelectPaperSize(fields, -1);
  SelectPaperSize(fields, 3);
  EXPECT_EQ(fields.widthText + "x" + fields.heightText, "1x2");
  // The list's positions count the sizes, not the settings keys they came from.
  SelectPaperSize(fields, 1);
  EXPECT_EQ(fields.paperIndex, 1);
  EXPECT_EQ(fields.widthText + "x" + fields.heightText, "210x297");
  // Decimals survive the change there and back.
  SelectPaperSize(fields, 2);
  EXPECT_EQ(fields.widthText + "x" + fields.heightText, "215.9x279.4");
  SelectPaperSize(fields, 0);
  SelectPaperSize(fields, 2);
  EXPECT_EQ(fields.widthText + "x" + fields.heightText, "215.9x279.4");
}

// The dialog as its settings fill it: two resolutions, an A4 frame.
struct Created {
  ScanDialogFields fields;
  UnattendedRun run;
  Created() {
    fields.resolutions = {"150", "300"};
    fields.resolutionIndex = 0;
    fields.resolutionText = "150";
    fields.widthText = "210";
    fields.heightText = "297";
  }
  Created& Apply(const std::vector<std::string>& arguments, char separator = '.') {
    ApplyScanArguments(arguments, separator, fields, run);
    return *this;
  }
};

TEST(ScanArguments, SwitchesSetTheControlsAndTheLastOneWins) {
  const struct {
    std::vector<std::string> arguments;
    ColourMode colour;
    int formatIndex;
    bool formatGiven;
    const char* resolution;
    bool transmissive, pixelFlavor, duplex, showSourceUi, selectSource, automatic;
  } cases[] = {
      {{}, ColourMode::Colour, 0, false, "150", false, false, false, false, false, false},
      {{"/B"}, ColourMode::BlackWhite, 0, false, "150", false, false, false, false, false, false},
      {{"/B", "/G"}, ColourMode::Grey, 0, false, "150", false, false, false, false, false, false},
      {{"/G", "/R"}, ColourMode::Colour, 0, false, "150", false, false, false, false, false, false},
      {{"/b", "/g", "/x", "/j", "/s"}, ColourMode::Colour, 0, false, "150", false, false, false, false, false, false},
      {{"/Cjpg"}, ColourMode::Colour, 3, true, "150", false, false, false, false, false, false},
      {{"/CTIF", "/CJPEG"}, ColourMode::Colour, 6, true, "150", false, false, false, false, false, false},
      {{"/CJPEG"}, ColourMode::Colour, 0, false, "150", false, false, false, false, false, false},
      {{"/cJPG"}, ColourMode::Colour, 0, false, "150", false, false, false, false, false, false},
      {{"/P300"}, ColourMode::Colour, 0, false, "300", false, false, false, false, false, false},
      {{"/P300", "/P600"}, ColourMode::Colour, 0, false, "300", false, false, false, false, false, false},
      {{"/D", "/I", "/Z"}, ColourMode::Colour, 0, false, "150", true, true, true, false, false, false},
      {{"/D", "/I", "/Z", "/d", "/i", "/z"}, ColourMode::Colour, 0, false, "150", false, false, false, false, false,
       false},
      {{"/J", "/S", "/X"}, ColourMode::Colour, 0, false, "150", false, false, false, true, true, true},
      {{"-S", "D:\\scan", "/", "/Q"}, ColourMode::Colour, 0, false, "150", false, false, false, false, false, false},
  };
  for (const auto& c : cases) {
    const std::string what = testing::PrintToString(c.arguments);
    const Created created = Created().Apply(c.arguments);
    const ScanDialogFields& f = created.fields;
    EXPECT_EQ(f.colour, c.colour) << what;
    EXPECT_EQ(f.formatIndex, c.formatIndex) << what;
    EXPECT_EQ(created.run.formatGiven, c.formatGiven) << what;
    EXPECT_EQ(f.resolutionText, c.resolution) << what;
    EXPECT_EQ(f.resolutions[static_cast<std::size_t>(f.resolutionIndex)], c.resolution) << what;
    EXPECT_EQ(f.transmissive, c.transmissive) << what;
    EXPECT_EQ(f.pixelFlavor, c.pixelFlavor) << what;
    EXPECT_EQ(f.duplex, c.duplex) << what;
    EXPECT_EQ(f.showSourceUi, c.showSourceUi) << what;
    EXPECT_EQ(f.selectSource, c.selectSource) << what;
    EXPECT_EQ(created.run.automatic, c.automatic) << what;
  }
}

TEST(ScanArguments, PaperSizeInCentimetresBecomesMillimetres) {
  const struct {
    const char* argument;
    char separator;
    const char* width;
    const char* height;
  } cases[] = {
      {"/F21X29.7", '.', "210", "297"},
      {"/F21x29.7", '.', "210", "297"},  // the value is upper-cased
      {"/F21X29,7", ',', "210", "297"},
      {"/F21X29.7", ',', "210", "297"},  // hosts write a point whatever the locale
      {"/F21.05X10", ',', "210,5", "100"},
      {"/F8.5X11", '.', "85", "110"},
      {"/F2.54X", '.', "25.4", "297"},  // no number: the field keeps its value
      {"/F21,5X30", '.', "210", "300"},
      {"/FX30", '.', "210", "300"},
      {"/F21", '.', "210", "297"},
      {"/FabcXdef", '.', "210", "297"},
      {"/F1e3X-", '.', "210", "297"},
      {"/F", '.', "210", "297"},
  };
  for (const auto& c : cases) {
    const Created created = Created().Apply({c.argument}, c.separator);
    EXPECT_EQ(created.fields.widthText, c.width) << c.argument;
    EXPECT_EQ(created.fields.heightText, c.height) << c.argument;
  }
}

TEST(ScanArguments, FollowUpProgramKeepsAnEarlierDash) {
  const struct {
    std::vector<std::string> arguments;
    bool launch;
    const char* program;
  } cases[] = {
      {{}, false, ""},
      {{"/V"}, true, ""},
      {{"/V-"}, false, "-"},
      {{"/Vnotepad"}, true, "NOTEPAD"},
      {{"/V-", "/Vnotepad"}, false, "-"},
      {{"/Vnotepad", "/V-"}, false, "-"},
      {{"/Vnotepad", "/V"}, true, ""},
      {{"/v"}, false, ""},
  };
  for (const auto& c : cases) {
    const Created created = Created().Apply(c.arguments);
    EXPECT_EQ(created.run.launch, c.launch) << testing::PrintToString(c.arguments);
    EXPECT_EQ(created.run.viewerProgram, c.program) << testing::PrintToString(c.arguments);
  }
}

TEST(ScanTitle, ExtensionAfterTheSwitchesChoosesTheFormatAndLosesFourCharacters) {
  const struct {
    const char* title;
    int formatBefore;
    const char* name;
    int format;
  } cases[] = {
      {"D:\\scan", 3, "D:\\scan", 3},
      {"D:\\scan.tif", 3, "D:\\scan", 6},
      {"D:\\scan.Png", 0, "D:\\scan", 8},
      {"D:\\bild.jpeg", 4, "D:\\bildg", 4},  // no entry JPEG: the format stays
      {"D:\\scan.xyz", 2, "D:\\scan", 2},
      {"D:\\alt.dir\\scan", 3, "D:\\alt.dir\\scan", 3},
      {"D:\\scan.", 3, "D:\\scan.", 3},
      {"", 0, "", 0},
  };
  for (const auto& c : cases) {
    ScanDialogFields fields;
    fields.formatIndex = c.formatBefore;
    EXPECT_EQ(TakeScanNameFromTitle(c.title, fields), c.name) << c.title;
    EXPECT_EQ(fields.fileName, c.name) << c.title;
    EXPECT_EQ(fields.formatIndex, c.format) << c.title;
  }
}

TEST(Decimal, ReadsPointOrTheLocalesSeparatorAndNothingElse) {
  const struct {
    const char* text;
    char separator;
    std::optional<double> value;
  } cases[] = {
      {"29.7", '.', 29.7}, {"29,7", ',', 29.7},    {"29.7", ',', 29.7},       {"29,7", '.', std::nullopt},
      {" 12 ", '.', 12},   {"+5", '.', 5},         {"-2.5", '.', -2.5},       {".5", '.', 0.5},
      {"12.", '.', 12},    {"", '.', std::nullopt}, {".", '.', std::nullopt}, {"-", '.', std::nullopt},
      {"1.2.3", '.', std::nullopt}, {"1,2.3", ',', std::nullopt}, {"1e3", '.', std::nullopt},
      {"inf", '.', std::nullopt},   {"nan", '.', std::nullopt},   {"5-", '.', std::nullopt},
      {"0x10", '.', std::nullopt},  {"1 2", '.', std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadDecimal(c.text, c.separator), c.value) << c.text;

  EXPECT_EQ(WriteDecimal(297.0, '.'), "297");
  EXPECT_EQ(WriteDecimal(29.7 * 10, ','), "297");
  EXPECT_EQ(WriteDecimal(210.5, ','), "210,5");
  EXPECT_EQ(WriteDecimal(0.1 + 0.2, '.'), "0.3");
  EXPECT_EQ(WriteDecimal(-0.0000001, '.'), "0");
  EXPECT_EQ(WriteDecimal(1e7, '.'), "10000000");
}

// What the dialog shows when OK is pressed: A4 at 300 dpi, in colour, as JPG.
ScanDialogFields A4() {
  ScanDialogFields fields;
  fields.fileName = "D:\\scan";
  fields.formatIndex = 3;
  fields.resolutionText = "300";
  fields.widthText = "210";
  fields.heightText = "297";
  return fields;
}

TEST(ScanOK, FrameInWholePixelsThenInches) {
  const struct {
    const char* width;
    const char* height;
    const char* resolution;
    char separator;
    double expectedResolution;
    double widthPixels, heightPixels;
  } cases[] = {
      {"210", "297", "300", '.', 300, 2480, 3508},
      {"210", "297", "", '.', 100, 827, 1169},
      {"210", "297", "abc", '.', 100, 827, 1169},
      {"210", "297", "300dpi", '.', 100, 827, 1169},
      {"210", "297", "0", '.', 100, 827, 1169},
      {"210", "297", "-300", '.', 100, 827, 1169},
      {"210", "297", "$12C", '.', 300, 2480, 3508},
      {"25,4", "25.4", "96", ',', 96, 96, 96},
      {"215.9", "279.4", "600", '.', 600, 5100, 6600},
      {"0", "0", "300", '.', 300, 0, 0},
  };
  for (const auto& c : cases) {
    ScanDialogFields fields = A4();
    fields.widthText = c.width;
    fields.heightText = c.height;
    fields.resolutionText = c.resolution;
    ScanSettings settings;
    ASSERT_EQ(FillScanSettings(fields, c.separator, settings), ScanRequestFault::None) << c.width;
    EXPECT_EQ(settings.resolution, c.expectedResolution) << c.resolution;
    EXPECT_DOUBLE_EQ(settings.width, c.widthPixels / c.expectedResolution) << c.width;
    EXPECT_DOUBLE_EQ(settings.height, c.heightPixels / c.expectedResolution) << c.height;
  }
  ScanSettings a4;
  ASSERT_EQ(FillScanSettings(A4(), '.', a4), ScanRequestFault::None);
  EXPECT_NEAR(a4.width, 8.2667, 0.00005);
  EXPECT_NEAR(a4.height, 11.6933, 0.00005);
}

TEST(ScanOK, EachChoiceReachesItsOwnFieldOfTheRecord) {
  const struct {
    ColourMode colour;
    int formatIndex;
    bool ScanDialogFields::*flag;
    std::int32_t ScanSettings::*field;
    std::int32_t colorMode, formatCode;
  } cases[] = {
      {ColourMode::BlackWhite, 0, &ScanDialogFields::showSourceUi, &ScanSettings::showSourceUI, 0, 0},
      {ColourMode::Grey, 1, &ScanDialogFields::selectSource, &ScanSettings::selectSource, 1, 1001},
      {ColourMode::Colour, 3, &ScanDialogFields::transmissive, &ScanSettings::transmissive, 2, 1003},
      {ColourMode::Colour, 5, &ScanDialogFields::pixelFlavor, &ScanSettings::pixelFlavor, 2, 1005},
      {ColourMode::Grey, 8, &ScanDialogFields::duplex, &ScanSettings::duplex, 1, 1008},
  };
  for (const auto& c : cases) {
    ScanDialogFields fields = A4();
    fields.colour = c.colour;
    fields.formatIndex = c.formatIndex;
    fields.*c.flag = true;
    ScanSettings settings;
    ASSERT_EQ(FillScanSettings(fields, '.', settings), ScanRequestFault::None);
    EXPECT_EQ(settings.colorMode, c.colorMode);
    EXPECT_EQ(settings.formatCode, c.formatCode);
    int set = 0;
    for (const auto field : {&ScanSettings::showSourceUI, &ScanSettings::selectSource, &ScanSettings::transmissive,
                             &ScanSettings::pixelFlavor, &ScanSettings::duplex}) {
      set += settings.*field;
    }
    EXPECT_EQ(settings.*c.field, 1) << c.formatIndex;
    EXPECT_EQ(set, 1) << "only its own field, " << c.formatIndex;
    EXPECT_STREQ(settings.fileName, "D:\\scan");
  }
}

TEST(ScanOK, RefusesWhatCannotBeScannedAndLeavesTheRecordAlone) {
  const std::string longest(kScanSettingsNameSize - 1, 'n');
  const struct {
    const char* what;
    std::string fileName;
    std::string width;
    const char* height;
    int formatIndex;
    ScanRequestFault fault;
  } cases[] = {
      {"no name", "", "210", "297", 3, ScanRequestFault::NoFileName},
      {"no name and no frame", "", "x", "297", 3, ScanRequestFault::NoFileName},
      {"longest name", longest, "210", "297", 3, ScanRequestFault::None},
      {"name too long", longest + "n", "210", "297", 3, ScanRequestFault::FileNameTooLong},
      {"width not a number", "D:\\s", "21O", "297", 3, ScanRequestFault::FrameNotNumbers},
      {"height empty", "D:\\s", "210", "", 3, ScanRequestFault::FrameNotNumbers},
      {"negative width", "D:\\s", "-210", "297", 3, ScanRequestFault::FrameNotNumbers},
      {"width beyond any pixel count", "D:\\s", std::string(400, '9'), "297", 3,
       ScanRequestFault::FrameNotNumbers},
  };
  for (const auto& c : cases) {
    ScanDialogFields fields = A4();
    fields.fileName = c.fileName;
    fields.widthText = c.width;
    fields.heightText = c.height;
    fields.formatIndex = c.formatIndex;
    ScanSettings settings;
    settings.resolution = 42;
    EXPECT_EQ(FillScanSettings(fields, '.', settings), c.fault) << c.what;
    if (c.fault != ScanRequestFault::None) {
      EXPECT_EQ(settings.resolution, 42) << c.what;
      EXPECT_STREQ(settings.fileName, "") << c.what;
    } else {
      EXPECT_EQ(std::string(settings.fileName), longest);
    }
  }
}

TEST(ScanExitCode, EveryPageWrittenNoneOrSome) {
  struct Case {
    int written, failed, code;
  };
  const Case cases[] = {{3, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 2, 1}, {2, 1, 2}, {1, 5, 2}};
  for (const Case& c : cases) EXPECT_EQ(ScanExitCode({c.written, c.failed}), c.code) << c.written << "/" << c.failed;
}

}  // namespace
}  // namespace kamolt
