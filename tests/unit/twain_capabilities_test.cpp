#include "scan/twain_capabilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/unit/twain_fake.h"

namespace kamolt {
namespace {

using testing::CapabilitySet;
using testing::FakeSource;
using testing::FakeTwainPlatform;

TEST(Fix32, ConvertsBothWaysWithHalfUpRoundingAndHeldEnds) {
  struct Case {
    double value;
    TW_INT16 whole;
    TW_UINT16 frac;
  };
  const Case cases[] = {
      {8.5, 8, 32768},
      {300, 300, 0},
      {0, 0, 0},
      {1.0 / 65536, 0, 1},
      {0.4 / 65536, 0, 0},
      {-1.5, -2, 32769},
      {1e9, 32767, 65535},
      {-1e9, -32768, 0},
      {std::numeric_limits<double>::infinity(), 32767, 65535},
      {std::numeric_limits<double>::quiet_NaN(), 0, 0},
  };
  for (const Case& c : cases) {
    const TW_FIX32 fix = ToFix32(c.value);
    EXPECT_EQ(fix.Whole, c.whole) << c.value;
    EXPECT_EQ(fix.Frac, c.frac) << c.value;
  }
  EXPECT_FLOAT_EQ(FromFix32({8, 32768}), 8.5f);
  EXPECT_FLOAT_EQ(FromFix32({-2, 32768}), -1.5f);
  EXPECT_FLOAT_EQ(FromFix32(ToFix32(8.5333367)), 8.5333367f);
}

TEST(FormatItemValue, WritesEachTypeAsItsOwnKindOfNumberOrText) {
  struct Case {
    TW_UINT16 type;
    std::vector<std::uint8_t> bytes;
    std::string text;
  };
  const Case cases[] = {
      {TWTY_INT8, {0xff}, "-1"},
      {TWTY_UINT8, {0xff}, "255"},
      {TWTY_INT16, {0xfe, 0xff}, "-2"},
      {TWTY_UINT16, {0xfe, 0xff}, "65534"},
      {TWTY_BOOL, {1, 0}, "1"},
      {TWTY_INT32, {0xff, 0xff, 0xff, 0xff}, "-1"},
      {TWTY_UINT32, {0xff, 0xff, 0xff, 0xff}, "4294967295"},
      {TWTY_FIX32, {8, 0, 0, 0x80}, "8.500000"},
      {TWTY_STR32, {'A', 'b', 0, 'x'}, "Ab"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> item(256, 0);
    std::memcpy(item.data(), c.bytes.data(), c.bytes.size());
    std::string out;
    FormatItemValue(out, c.type, item.data());
    EXPECT_EQ(out, c.text) << c.type;
  }
  // A string that fills its item without a terminator ends with the item.
  std::vector<char> full(34, 'z');
  std::string out;
  FormatItemValue(out, TWTY_STR32, full.data());
  EXPECT_EQ(out, std::string(34, 'z'));
}

class NegotiationTest : public ::testing::Test {
 protected:
  NegotiationTest() : source(platform), diagnostics(platform), session(diagnostics) {
    diagnostics.SetDiagnosticLevel(1);
    TW_IDENTITY app{};
    session.TWSetAppIdentity(&app, &window);
    session.TWOpenDSM();
    session.TWOpenDS();
    source.calls.clear();
    settings.colorMode = 2;
    settings.width = 8.5;
    settings.height = 11;
    settings.resolution = 300;
  }

  std::vector<TW_UINT16> SetCaps() const {
    std::vector<TW_UINT16> caps;
    for (const CapabilitySet& set : source.sets) caps.push_back(set.cap);
    return caps;
  }
  TW_UINT32 ItemOf(TW_UINT16 cap) const {
    for (const CapabilitySet& set : source.sets) {
      if (set.cap == cap) return set.item;
    }
    ADD_FAILURE() << "not set: " << cap;
    return 0;
  }

  FakeTwainPlatform platform;
  FakeSource source;
  TwainDiagnostics diagnostics;
  TwainSession session;
  ScanSettings settings;
  int window = 0;
};

TEST_F(NegotiationTest, SetsEveryCapabilityInOrderAndAsksForMemoryTransfer) {
  settings.duplex = 1;
  settings.transmissive = 1;
  EXPECT_EQ(NegotiateScanCapabilities(session, &window, settings), TWRC_SUCCESS);
  EXPECT_EQ(SetCaps(), (std::vector<TW_UINT16>{ICAP_XFERMECH, CAP_DUPLEXENABLED, ICAP_XFERMECH, ICAP_LIGHTPATH,
                                               ICAP_PIXELTYPE, ICAP_BITDEPTH, ICAP_UNITS, ICAP_XRESOLUTION,
                                               ICAP_YRESOLUTION}));
  const std::vector<CapabilitySet> expected = {
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY},
      {CAP_DUPLEXENABLED, TWTY_BOOL, 1},
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY},
      {ICAP_LIGHTPATH, TWTY_UINT16, TWLP_TRANSMISSIVE},
      {ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB},
      {ICAP_BITDEPTH, TWTY_UINT16, 24},
      {ICAP_UNITS, TWTY_UINT16, TWUN_INCHES},
      {ICAP_XRESOLUTION, TWTY_FIX32, 300},
      {ICAP_YRESOLUTION, TWTY_FIX32, 300},
  };
  ASSERT_EQ(source.sets.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(source.sets[i].itemType, expected[i].itemType) << i;
    EXPECT_EQ(source.sets[i].item, expected[i].item) << i;
  }
  // The layout goes between the units and the resolution.
  ASSERT_EQ(source.layouts.size(), 1u);
  EXPECT_EQ(platform.LiveBlocks(), 0u);
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(NegotiationTest, PixelTypeAndBitDepthFollowTheColourMode) {
  struct Case {
    int colorMode;
    TW_UINT32 pixelType;
    TW_UINT32 bitDepth;
  };
  for (const Case& c : {Case{0, TWPT_BW, 1}, Case{1, TWPT_GRAY, 8}, Case{2, TWPT_RGB, 24}}) {
    source.sets.clear();
    settings.colorMode = c.colorMode;
    EXPECT_TRUE(ApplyScanSettings(session, settings));
    EXPECT_EQ(ItemOf(ICAP_PIXELTYPE), c.pixelType);
    EXPECT_EQ(ItemOf(ICAP_BITDEPTH), c.bitDepth);
  }
}

TEST_F(NegotiationTest, FrameWidthIsRoundedToWhole32PixelGroupsKeepingWideAndNarrowFrames) {
  struct Case {
    double width;
    double resolution;
    double newWidth;
  };
  const Case cases[] = {
      {8.5, 300, 2560.001 / 300},  // 2550 pixels become 2560
      {1, 100, 96.001 / 100},      // 100 become 96
      {0.48, 100, 64.001 / 100},   // a remainder of exactly 16 rounds up
      {8.27, 150, 1248.001 / 150}, // 1240.5: the whole part 1240 becomes 1248
      {0.1, 100, 32.001 / 100},    // 10 pixels keep one group: a frame of none is refused
      {0.001, 100, 32.001 / 100},  // so does a part of a pixel
      {0, 300, 0.001 / 300},       // no frame asked for stays none
      {109.3, 300, 32800.001 / 300},  // 32,790 pixels: past the fixed-point type's whole part
      {140, 300, 42016.001 / 300},    // 42,000 pixels, a remainder of 16 rounding up
      {400, 600, 240000.001 / 600},
  };
  for (const Case& c : cases) {
    source.layouts.clear();
    settings.width = c.width;
    settings.resolution = c.resolution;
    settings.height = 11.69;
    ApplyScanSettings(session, settings);
    EXPECT_DOUBLE_EQ(settings.width, c.newWidth) << c.width;
    ASSERT_EQ(source.layouts.size(), 1u);
    const TW_FRAME frame = source.layouts[0].Frame;
    EXPECT_EQ(frame.Left.Whole, 0);
    EXPECT_EQ(frame.Top.Whole, 0);
    EXPECT_EQ(frame.Right.Whole, ToFix32(c.newWidth).Whole);
    EXPECT_EQ(frame.Right.Frac, ToFix32(c.newWidth).Frac);
    EXPECT_EQ(frame.Bottom.Whole, 11);
    EXPECT_EQ(frame.Bottom.Frac, ToFix32(11.69).Frac);
  }
  EXPECT_NEAR(2560.001 / 300, 8.5333367, 1e-7);
}

TEST_F(NegotiationTest, UnknownColourModeStopsAfterTheLightPath) {
  settings.colorMode = 3;
  EXPECT_FALSE(ApplyScanSettings(session, settings));
  EXPECT_EQ(SetCaps(), (std::vector<TW_UINT16>{CAP_DUPLEXENABLED, ICAP_XFERMECH, ICAP_LIGHTPATH}));
  EXPECT_TRUE(source.layouts.empty());
  EXPECT_DOUBLE_EQ(settings.width, 8.5);
}

TEST_F(NegotiationTest, RefusedSettingsAreIgnoredAndOnlyTheLastDecidesTheResult) {
  source.AlwaysAnswer(DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWRC_FAILURE);
  EXPECT_FALSE(ApplyScanSettings(session, settings));
  EXPECT_EQ(source.CountOf(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 8);
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(NegotiationTest, RefusedMechanismIsReportedButTheSettingsStillGo) {
  source.conditionCode = TWCC_BADVALUE;
  source.Answer(DG_CONTROL, DAT_CAPABILITY, MSG_SET, {TWRC_FAILURE});
  EXPECT_EQ(NegotiateScanCapabilities(session, &window, settings), TWRC_FAILURE);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text,
            "Operation: MSG_SET of ICAP_XFERMECH\r\nReturn Code: TWRC_FAILURE\r\nCondition Code: TWCC_BADVALUE");
  EXPECT_EQ(platform.boxes[0].owner, &window);
  EXPECT_EQ(source.CountOf(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 9);
}

TEST_F(NegotiationTest, NoMemoryForTheContainerIsAFailureWithoutACall) {
  platform.failNextAllocations = 1;
  EXPECT_EQ(NegotiateScanCapabilities(session, &window, settings), TWRC_FAILURE);
  EXPECT_EQ(platform.BoxTexts(), std::vector<std::string>{"MSG_SET of ICAP_XFERMECH | Memory Allocation Failed"});
  EXPECT_EQ(source.CountOf(DG_CONTROL, DAT_CAPABILITY, MSG_SET), 8);
  diagnostics.SetDiagnosticLevel(0);
  platform.boxes.clear();
  platform.failNextAllocations = 1;
  NegotiateScanCapabilities(session, &window, settings);
  EXPECT_TRUE(platform.boxes.empty());
}

// A container as a source would hand it back, built byte by byte.
std::vector<std::uint8_t> Container(std::initializer_list<std::pair<int, std::uint32_t>> fields) {
  std::vector<std::uint8_t> bytes;
  for (const auto& [width, value] : fields) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  return bytes;
}

TEST_F(NegotiationTest, DumpShowsEachContainerKind) {
  struct Case {
    TW_UINT16 conType;
    std::vector<std::uint8_t> container;
    std::string tail;
  };
  const Case cases[] = {
      {TWON_ONEVALUE, Container({{2, TWTY_UINT16}, {4, 1}}),
       "\nConType: TWON_ONEVALUE\nhContainer.\n     ItemType: TWTY_UINT16\n     Item: 1"},
      {TWON_ENUMERATION, Container({{2, TWTY_UINT16}, {4, 3}, {4, 1}, {4, 0}, {2, 0}, {2, 1}, {2, 2}}),
       "\nConType: TWON_ENUMERATION\nhContainer.\n     ItemType: TWTY_UINT16\n     NumItems: 3"
       "\n     CurrentIndex: 1\n     DefaultIndex: 0\n     ItemList: 0, 1, 2"},
      {TWON_ARRAY, Container({{2, TWTY_FIX32}, {4, 2}, {2, 8}, {2, 0x8000}, {2, 300}, {2, 0}}),
       "\nConType: TWON_ARRAY\nhContainer.\n     ItemType: TWTY_FIX32\n     NumItems: 2"
       "\n     ItemList: 8.500000, 300.000000"},
      {TWON_RANGE, Container({{2, TWTY_INT16}, {4, 0xfffe}, {4, 100}, {4, 2}, {4, 50}, {4, 52}}),
       "\nConType: TWON_RANGE\nhContainer.\n     ItemType: TWTY_INT16\n     MinValue: -2\n     MaxValue: 100"
       "\n     StepSize: 2\n     DefaultValue: 50\n     CurrentValue: 52"},
      // A list that claims more items than its container holds shows only those inside.
      {TWON_ENUMERATION, Container({{2, TWTY_UINT32}, {4, 1000000}, {4, 0}, {4, 0}, {4, 7}}),
       "\nConType: TWON_ENUMERATION\nhContainer.\n     ItemType: TWTY_UINT32\n     NumItems: 1000000"
       "\n     CurrentIndex: 0\n     DefaultIndex: 0\n     ItemList: 7"},
      // A one-value container naming a wide type shows what lies inside it.
      {TWON_ONEVALUE, Container({{2, TWTY_STR255}, {4, 'O' | 'K' << 8}}),
       "\nConType: TWON_ONEVALUE\nhContainer.\n     ItemType: TWTY_STR255\n     Item: OK"},
      {TWON_ENUMERATION, Container({{2, TWTY_UINT16}, {4, 0}, {4, 0}, {4, 0}}),
       "\nConType: TWON_ENUMERATION\nhContainer.\n     ItemType: TWTY_UINT16\n     NumItems: 0"
       "\n     CurrentIndex: 0\n     DefaultIndex: 0\n     ItemList: "},
      {2, Container({{2, 0}}), "\nConType: 2\nhContainer."},
  };
  for (const Case& c : cases) {
    platform.boxes.clear();
    source.rawContainers[CAP_AUTHOR] = {c.conType, c.container};
    const std::string text = DumpCapability(session, &window, CAP_AUTHOR);
    EXPECT_EQ(text, "RETURN CODE: 0\n\nCap: CAP_AUTHOR" + c.tail);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].caption, "TW_CAPABILITY");
    EXPECT_EQ(platform.boxes[0].text, text);
  }
  EXPECT_EQ(platform.LiveBlocks(), 0u);
}

TEST_F(NegotiationTest, DumpOfARefusedCapabilityShowsTheConditionCode) {
  source.conditionCode = TWCC_CAPUNSUPPORTED;
  source.Answer(DG_CONTROL, DAT_CAPABILITY, MSG_GET, {TWRC_FAILURE});
  EXPECT_EQ(DumpCapability(session, &window, ICAP_PIXELFLAVOR), "RETURN CODE: 1\n\nCap: 4383\nCondition Code: 13");
  source.Answer(DG_CONTROL, DAT_CAPABILITY, MSG_GET, {TWRC_CHECKSTATUS});
  EXPECT_EQ(DumpCapability(session, &window, ICAP_PIXELFLAVOR), "RETURN CODE: 2\n\nCap: 4383");
}

TEST_F(NegotiationTest, LongDumpsAreCutAtTheBoxBuffer) {
  std::vector<std::uint8_t> big = Container({{2, TWTY_UINT32}, {4, 500}, {4, 0}, {4, 0}});
  for (int i = 0; i < 500; ++i) {
    const auto more = Container({{4, 4000000000u}});
    big.insert(big.end(), more.begin(), more.end());
  }
  source.rawContainers[CAP_AUTHOR] = {TWON_ENUMERATION, big};
  EXPECT_EQ(DumpCapability(session, &window, CAP_AUTHOR).size(), 1023u);
}

}  // namespace
}  // namespace kamolt
