// The virtual scanner as a data source: its states, its capabilities and its transfers.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/virtual_scanner_fake.h"

namespace kamolt::scanner::testing {
namespace {

struct StateCase {
  int state;
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  TW_UINT16 result;
  TW_UINT16 condition;  // for a failure
};

class VirtualSourceStates : public SourceDriver {};

// A triplet in the wrong state, or one the source does not know, fails with its condition
// code and leaves the state alone.
TEST_F(VirtualSourceStates, EveryTripletAnswersOnlyInItsStates) {
  constexpr TW_UINT16 kUnknownDat = 0x0099;
  const StateCase cases[] = {
      {3, DG_CONTROL, DAT_IDENTITY, MSG_GET, TWRC_SUCCESS, 0},
      {3, DG_CONTROL, DAT_CAPABILITY, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {3, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {3, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {3, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWRC_FAILURE, TWCC_SEQERROR},
      {4, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, TWRC_FAILURE, TWCC_MAXCONNECTIONS},
      {4, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {4, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, TWRC_FAILURE, TWCC_BADPROTOCOL},
      {4, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWRC_FAILURE, TWCC_SEQERROR},
      {4, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_FAILURE, TWCC_SEQERROR},
      {4, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, TWRC_SUCCESS, 0},
      {4, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWRC_SUCCESS, 0},
      {4, DG_CONTROL, kUnknownDat, MSG_GET, TWRC_FAILURE, TWCC_BADPROTOCOL},
      {4, DG_CONTROL, DAT_STATUS, MSG_SET, TWRC_FAILURE, TWCC_BADPROTOCOL},
      {4, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {4, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETNEXT, TWRC_FAILURE, TWCC_BADPROTOCOL},
      {4, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {4, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {4, DG_IMAGE, DAT_PALETTE8, MSG_GET, TWRC_SUCCESS, 0},
      {4, DG_IMAGE, DAT_PALETTE8, MSG_SET, TWRC_FAILURE, TWCC_BADPROTOCOL},
      {5, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {5, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {5, DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWRC_FAILURE, TWCC_SEQERROR},
      {5, DG_CONTROL, DAT_CAPABILITY, MSG_RESET, TWRC_FAILURE, TWCC_SEQERROR},
      {5, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, TWRC_FAILURE, TWCC_SEQERROR},
      {5, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, TWRC_FAILURE, TWCC_SEQERROR},
      {5, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {6, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {6, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {6, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWRC_SUCCESS, 0},
      {6, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_SUCCESS, 0},
      {6, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, TWRC_SUCCESS, 0},
      {7, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {7, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, TWRC_FAILURE, TWCC_SEQERROR},
      {7, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_FAILURE, TWCC_SEQERROR},
      {7, DG_IMAGE, DAT_PALETTE8, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {7, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {7, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_FAILURE, TWCC_SEQERROR},
      {7, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_SUCCESS, 0},
  };
  for (const StateCase& c : cases) {
    Restart();
    ToState(c.state);
    SCOPED_TRACE(::testing::Message() << "state " << c.state << " dat " << c.dat << " msg " << c.msg);
    alignas(8) std::uint8_t record[2048] = {};
    auto* capability = reinterpret_cast<TW_CAPABILITY*>(record);
    capability->Cap = ICAP_PIXELTYPE;
    EXPECT_EQ(Call(c.dg, c.dat, c.msg, record), c.result);
    if (c.result == TWRC_FAILURE) {
      EXPECT_EQ(source->State(), c.state);
      EXPECT_EQ(Condition(), c.condition);
      EXPECT_EQ(Condition(), TWCC_SUCCESS) << "the status query clears the code";
    }
    if (c.dat == DAT_CAPABILITY && c.result == TWRC_SUCCESS) host.FreeMemory(capability->hContainer);
  }
}

TEST_F(VirtualSourceStates, OneSessionRunsThroughAllStatesAndBack) {
  Open("[Scanner]\nPages=1\n");
  ASSERT_EQ(SetCap(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(source->State(), 5);
  ASSERT_EQ(host.wakes.size(), 1u);
  EXPECT_EQ(host.wakes[0], &parent) << "the notice is sent to the window the application gave";
  EXPECT_EQ(NextNotice(&host.otherEvent), MSG_NULL) << "someone else's message carries no notice";
  EXPECT_EQ(lastEventResult, TWRC_NOTDSEVENT);
  EXPECT_EQ(NextNotice(), MSG_XFERREADY);
  EXPECT_EQ(lastEventResult, TWRC_DSEVENT);
  EXPECT_EQ(source->State(), 6);
  EXPECT_EQ(NextNotice(), MSG_NULL) << "a notice is given once";
  std::vector<std::uint8_t> rows;
  EXPECT_EQ(TransferPage(1 << 20, rows), TWRC_XFERDONE);
  EXPECT_EQ(source->State(), 7);
  TW_UINT16 count = 99;
  EXPECT_EQ(EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(source->State(), 5);
  TW_USERINTERFACE ui{0, 0, &parent};
  EXPECT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);
  EXPECT_EQ(source->State(), 3);
  EXPECT_EQ(host.LiveBlocks(), 0u);
  Open("[Scanner]\nPages=1\n");  // and it opens again
}

TEST_F(VirtualSourceStates, IdentityKeepsTheManagersNumber) {
  TW_IDENTITY identity{};
  identity.Id = 42;
  ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_EQ(identity.Id, 42u);
  EXPECT_STREQ(identity.ProductName, kProductName);
  EXPECT_EQ(TW_UINT32{identity.SupportedGroups}, DG_CONTROL | DG_IMAGE);
  EXPECT_EQ(source->State(), 3);
}

TEST_F(VirtualSourceStates, ScriptedDataTypesAndMissingRecordsAreRefused) {
  ToState(4, "Unsupported=DAT_PALETTE8\n");
  TW_PALETTE8 palette{};
  EXPECT_EQ(Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
  EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADVALUE);
}

struct CapCase {
  TW_UINT16 cap;
  TW_UINT16 itemType;
  TW_UINT32 item;
  TW_UINT16 condition;  // TWCC_SUCCESS when taken
};

class VirtualSourceCapabilities : public SourceDriver {};

TEST_F(VirtualSourceCapabilities, SetTakesOnlyValidValuesOfTheRightType) {
  const CapCase cases[] = {
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY, TWCC_SUCCESS},
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE, TWCC_BADVALUE},
      {ICAP_XFERMECH, TWTY_UINT32, TWSX_MEMORY, TWCC_BADVALUE},
      {ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY, TWCC_SUCCESS},
      {ICAP_PIXELTYPE, TWTY_UINT16, 9, TWCC_BADVALUE},
      {ICAP_BITDEPTH, TWTY_UINT16, 24, TWCC_BADVALUE},  // grey has 8 and 4
      {ICAP_BITDEPTH, TWTY_UINT16, 4, TWCC_SUCCESS},
      {CAP_DUPLEXENABLED, TWTY_BOOL, 1, TWCC_SUCCESS},
      {CAP_DUPLEXENABLED, TWTY_UINT16, 1, TWCC_BADVALUE},
      {CAP_DUPLEXENABLED, TWTY_BOOL, 2, TWCC_BADVALUE},
      {CAP_FEEDERENABLED, TWTY_BOOL, 0, TWCC_SUCCESS},
      {CAP_INDICATORS, TWTY_BOOL, 0, TWCC_SUCCESS},
      {CAP_XFERCOUNT, TWTY_INT16, 0, TWCC_BADVALUE},
      {CAP_XFERCOUNT, TWTY_INT16, 0xfffe, TWCC_BADVALUE},  // -2
      {CAP_XFERCOUNT, TWTY_INT16, 0xffff, TWCC_SUCCESS},   // -1: all pages
      {CAP_XFERCOUNT, TWTY_INT16, 3, TWCC_SUCCESS},
      {ICAP_LIGHTPATH, TWTY_UINT16, TWLP_TRANSMISSIVE, TWCC_SUCCESS},
      {ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_VANILLA, TWCC_SUCCESS},
      {ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS, TWCC_BADVALUE},
      {ICAP_COMPRESSION, TWTY_UINT16, TWCP_NONE, TWCC_SUCCESS},
      {ICAP_COMPRESSION, TWTY_UINT16, 1, TWCC_BADVALUE},
      {ICAP_XRESOLUTION, TWTY_FIX32, FixItem(ToFix(300)), TWCC_SUCCESS},
      {ICAP_XRESOLUTION, TWTY_FIX32, FixItem(ToFix(72.5)), TWCC_SUCCESS},
      {ICAP_YRESOLUTION, TWTY_FIX32, FixItem(ToFix(1201)), TWCC_BADVALUE},
      {ICAP_YRESOLUTION, TWTY_FIX32, FixItem(ToFix(24)), TWCC_BADVALUE},
      {ICAP_YRESOLUTION, TWTY_UINT16, 300, TWCC_BADVALUE},
      {CAP_UICONTROLLABLE, TWTY_BOOL, 1, TWCC_CAPBADOPERATION},
      {ICAP_PHYSICALWIDTH, TWTY_FIX32, FixItem(ToFix(5)), TWCC_CAPBADOPERATION},
      {CAP_SUPPORTEDCAPS, TWTY_UINT16, 0, TWCC_CAPBADOPERATION},
      {0x1101 /* ICAP_BRIGHTNESS */, TWTY_FIX32, 0, TWCC_CAPUNSUPPORTED},
  };
  Open();
  ASSERT_EQ(SetCap(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  for (const CapCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "cap " << c.cap << " type " << c.itemType << " item " << c.item);
    const bool known = c.condition != TWCC_CAPUNSUPPORTED;
    const TW_UINT32 before = known ? Current(c.cap) : 0;
    const TW_UINT16 result = SetCap(c.cap, c.itemType, c.item);
    if (c.condition == TWCC_SUCCESS) {
      EXPECT_EQ(result, TWRC_SUCCESS);
      EXPECT_EQ(Current(c.cap), c.itemType == TWTY_FIX32 ? c.item : c.item & 0xffff);
    } else {
      EXPECT_EQ(result, TWRC_FAILURE);
      EXPECT_EQ(Condition(), c.condition);
      if (known && c.cap != CAP_SUPPORTEDCAPS) {
        EXPECT_EQ(Current(c.cap), before) << "a refused value changes nothing";
      }
    }
  }
  EXPECT_EQ(host.LiveBlocks(), 0u);
}

TEST_F(VirtualSourceCapabilities, SetRefusesContainersOtherThanOneValue) {
  Open();
  TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_ENUMERATION, host.AllocMemory(64)};
  EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADVALUE);
  host.FreeMemory(capability.hContainer);
  TW_CAPABILITY tooSmall{ICAP_PIXELTYPE, TWON_ONEVALUE, host.AllocMemory(4)};
  EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &tooSmall), TWRC_FAILURE);
  host.FreeMemory(tooSmall.hContainer);
  TW_CAPABILITY none{ICAP_PIXELTYPE, TWON_ONEVALUE, nullptr};
  EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &none), TWRC_FAILURE);
}

TEST_F(VirtualSourceCapabilities, GetAnswersInTheStandardContainers) {
  Open("[Scanner]\nPixelFlavor=1\n");
  TW_UINT16 conType = 0;
  auto bytes = Get(ICAP_PIXELTYPE, MSG_GET, &conType);
  EXPECT_EQ(conType, TWON_ENUMERATION);
  TW_ENUMERATION enumeration;
  std::memcpy(&enumeration, bytes.data(), offsetof(TW_ENUMERATION, ItemList));
  EXPECT_EQ(TW_UINT16{enumeration.ItemType}, TWTY_UINT16);
  EXPECT_EQ(TW_UINT32{enumeration.NumItems}, 4u);
  EXPECT_EQ(TW_UINT32{enumeration.CurrentIndex}, 2u);  // RGB
  EXPECT_EQ(TW_UINT32{enumeration.DefaultIndex}, 2u);
  ASSERT_EQ(bytes.size(), offsetof(TW_ENUMERATION, ItemList) + 4 * 2);
  EXPECT_EQ(bytes[offsetof(TW_ENUMERATION, ItemList) + 6], TWPT_PALETTE);

  bytes = Get(ICAP_XRESOLUTION, MSG_GET, &conType);
  EXPECT_EQ(conType, TWON_RANGE);
  TW_RANGE range;
  ASSERT_EQ(bytes.size(), sizeof range);
  std::memcpy(&range, bytes.data(), sizeof range);
  EXPECT_EQ(TW_UINT16{range.ItemType}, TWTY_FIX32);
  EXPECT_DOUBLE_EQ(FromFix(ItemFix(range.MinValue)), 25);
  EXPECT_DOUBLE_EQ(FromFix(ItemFix(range.MaxValue)), 1200);
  EXPECT_DOUBLE_EQ(FromFix(ItemFix(range.CurrentValue)), 150);

  bytes = Get(CAP_SUPPORTEDCAPS, MSG_GET, &conType);
  EXPECT_EQ(conType, TWON_ARRAY);
  TW_ARRAY array;
  std::memcpy(&array, bytes.data(), offsetof(TW_ARRAY, ItemList));
  EXPECT_EQ(TW_UINT32{array.NumItems}, 18u);
  ASSERT_EQ(bytes.size(), offsetof(TW_ARRAY, ItemList) + 18 * 2);

  Get(ICAP_PIXELFLAVOR, MSG_GETDEFAULT, &conType);
  EXPECT_EQ(conType, TWON_ONEVALUE);
  EXPECT_EQ(Current(ICAP_PIXELFLAVOR), TWPF_VANILLA) << "the script sets the flavour the source starts with";
  EXPECT_EQ(Current(CAP_XFERCOUNT), 0xffffu);

  TW_ONEVALUE support{};
  bytes = Get(ICAP_XFERMECH, MSG_QUERYSUPPORT, &conType);
  std::memcpy(&support, bytes.data(), sizeof support);
  EXPECT_EQ(TW_UINT16{support.ItemType}, TWTY_INT32);
  EXPECT_EQ(TW_UINT32{support.Item}, static_cast<TW_UINT32>(TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET));
  bytes = Get(CAP_UICONTROLLABLE, MSG_QUERYSUPPORT);
  std::memcpy(&support, bytes.data(), sizeof support);
  EXPECT_EQ(TW_UINT32{support.Item}, static_cast<TW_UINT32>(TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT));
  EXPECT_EQ(host.LiveBlocks(), 0u);
}

TEST_F(VirtualSourceCapabilities, ResetGoesBackToTheDefaultAndDepthFollowsPixelType) {
  Open();
  ASSERT_EQ(SetCap(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
  EXPECT_EQ(Current(ICAP_BITDEPTH), 1u);
  ASSERT_EQ(SetCap(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  EXPECT_EQ(Current(ICAP_BITDEPTH), 8u);
  TW_UINT16 conType = 0;
  Get(ICAP_PIXELTYPE, MSG_RESET, &conType);
  EXPECT_EQ(conType, TWON_ENUMERATION);
  EXPECT_EQ(Current(ICAP_PIXELTYPE), TWPT_RGB);
  EXPECT_EQ(Current(ICAP_BITDEPTH), 24u);
  TW_CAPABILITY fixed{CAP_UICONTROLLABLE, TWON_DONTCARE16, nullptr};
  EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &fixed), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_CAPBADOPERATION);
}

TEST_F(VirtualSourceCapabilities, ScriptedCapabilitiesAreUnsupportedEverywhere) {
  Open("[Scanner]\nUnsupported=ICAP_PIXELFLAVOR\n");
  TW_CAPABILITY capability{ICAP_PIXELFLAVOR, TWON_DONTCARE16, nullptr};
  for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET, MSG_QUERYSUPPORT}) {
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, msg, &capability), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_CAPUNSUPPORTED);
  }
  EXPECT_EQ(SetCap(ICAP_PIXELFLAVOR, TWTY_UINT16, 0), TWRC_FAILURE);
  const auto bytes = Get(CAP_SUPPORTEDCAPS, MSG_GET);
  for (std::size_t at = offsetof(TW_ARRAY, ItemList); at + 1 < bytes.size(); at += 2) {
    EXPECT_NE(bytes[at] | bytes[at + 1] << 8, ICAP_PIXELFLAVOR);
  }
}

TEST_F(VirtualSourceCapabilities, UnitsChangeHowLengthsAndResolutionsReadNotWhatIsScanned) {
  Open();
  ASSERT_EQ(SetFix(ICAP_XRESOLUTION, 254), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS), TWRC_SUCCESS);
  EXPECT_NEAR(FromFix(ItemFix(Current(ICAP_XRESOLUTION))), 100, 1e-4);
  EXPECT_NEAR(FromFix(ItemFix(Current(ICAP_PHYSICALWIDTH))), 8.75 * 2.54, 1e-4);
  ASSERT_EQ(SetFix(ICAP_YRESOLUTION, 100), TWRC_SUCCESS);  // per centimetre
  TW_IMAGELAYOUT layout{};
  layout.Frame = {ToFix(0), ToFix(0), ToFix(2.54), ToFix(5.08)};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  ASSERT_EQ(NextNotice(), MSG_XFERREADY);
  const TW_IMAGEINFO info = Info();
  EXPECT_EQ(info.ImageWidth, 254);
  EXPECT_EQ(info.ImageLength, 508);
  EXPECT_NEAR(FromFix(info.XResolution), 100, 1e-4);
}

struct FrameCase {
  double left, top, right, bottom;
  TW_UINT16 result;
  double keptRight, keptBottom;
};

TEST_F(VirtualSourceCapabilities, FramesOffTheBedAreCutOrRefused) {
  const FrameCase cases[] = {
      {0, 0, 8.2667, 11.6933, TWRC_SUCCESS, 8.2667, 11.6933},
      {1, 1, 8.75, 14, TWRC_SUCCESS, 8.75, 14},
      {0, 0, 9.5, 15, TWRC_CHECKSTATUS, 8.75, 14},
      {2, 0, 2, 5, TWRC_FAILURE, 8.75, 14},
      {0, 3, 4, 2, TWRC_FAILURE, 8.75, 14},
      {-1, 0, 4, 2, TWRC_FAILURE, 8.75, 14},
      {9, 0, 10, 2, TWRC_FAILURE, 8.75, 14},
  };
  for (const FrameCase& c : cases) {
    Restart();
    Open();
    TW_IMAGELAYOUT layout{};
    layout.Frame = {ToFix(c.left), ToFix(c.top), ToFix(c.right), ToFix(c.bottom)};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), c.result) << c.right;
    if (c.result == TWRC_FAILURE) {
      EXPECT_EQ(Condition(), TWCC_BADVALUE);
    }
    TW_IMAGELAYOUT now{};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &now), TWRC_SUCCESS);
    EXPECT_NEAR(FromFix(now.Frame.Right), c.keptRight, 1e-4);
    EXPECT_NEAR(FromFix(now.Frame.Bottom), c.keptBottom, 1e-4);
  }
  TW_IMAGELAYOUT reset{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &reset), TWRC_SUCCESS);
  EXPECT_NEAR(FromFix(reset.Frame.Right), 8.75, 1e-4);
}

// A4 at 300 dots per inch as an application rounds its width to 32 pixels.
TEST_F(VirtualSourceCapabilities, ImageSizeFollowsFrameAndResolution) {
  Open();
  ASSERT_EQ(SetFix(ICAP_XRESOLUTION, 300), TWRC_SUCCESS);
  ASSERT_EQ(SetFix(ICAP_YRESOLUTION, 300), TWRC_SUCCESS);
  TW_IMAGELAYOUT layout{};
  layout.Frame = {ToFix(0), ToFix(0), ToFix(2496.001 / 300), ToFix(11.6933)};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  ASSERT_EQ(NextNotice(), MSG_XFERREADY);
  const TW_IMAGEINFO info = Info();
  EXPECT_EQ(info.ImageWidth, 2496);
  EXPECT_EQ(info.ImageLength, 3508);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(info.SamplesPerPixel, 3);
  EXPECT_EQ(info.PixelType, TWPT_RGB);
}

}  // namespace
}  // namespace kamolt::scanner::testing
