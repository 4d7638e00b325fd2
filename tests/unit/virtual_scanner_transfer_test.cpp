// The virtual scanner's pages: memory and native transfers, runs of pages, and the
// script's faults.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>

#include "tests/unit/virtual_scanner_fake.h"

namespace kamolt::scanner::testing {
namespace {

class VirtualSourceTransfer : public SourceDriver {
 protected:
  // Opens with the script, sets the pixel type and a small frame at 100 dpi, and enables.
  // The mechanism is memory unless named: the source is strict about it.
  void Prepare(const std::string& script, TW_UINT16 pixelType, int bitDepth, TW_UINT16 mechanism = TWSX_MEMORY) {
    Open("[Scanner]\n" + script);
    ASSERT_EQ(SetCap(ICAP_XFERMECH, TWTY_UINT16, mechanism), TWRC_SUCCESS);
    ASSERT_EQ(SetCap(ICAP_PIXELTYPE, TWTY_UINT16, pixelType), TWRC_SUCCESS);
    ASSERT_EQ(SetCap(ICAP_BITDEPTH, TWTY_UINT16, static_cast<TW_UINT32>(bitDepth)), TWRC_SUCCESS);
    SmallFrame();
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  }

  // 37 x 23 pixels.
  void SmallFrame() {
    ASSERT_EQ(SetFix(ICAP_XRESOLUTION, 100), TWRC_SUCCESS);
    ASSERT_EQ(SetFix(ICAP_YRESOLUTION, 100), TWRC_SUCCESS);
    TW_IMAGELAYOUT layout{};
    layout.Frame = {ToFix(0), ToFix(0), ToFix(0.37), ToFix(0.23)};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
  }

  PageFormat Expected(int pageNumber) {
    const TW_IMAGEINFO info = Info();
    const TW_UINT16 flavor = static_cast<TW_UINT16>(Current(ICAP_PIXELFLAVOR));
    return PageFormat{info.ImageWidth, info.ImageLength, static_cast<TW_UINT16>(info.PixelType), info.BitsPerPixel,
                      flavor, pageNumber};
  }
};

struct StripCase {
  const char* script;
  TW_UINT16 pixelType;
  int bitDepth;
  TW_UINT32 buffer;
  TW_UINT32 bytesPerRow;  // what each strip reports
  std::size_t strips;
};

// A 37 x 23 page: rows of 5, 37, 111 or 19 packed bytes.
TEST_F(VirtualSourceTransfer, StripsCarryThePatternRowByRow) {
  const StripCase cases[] = {
      {"", TWPT_BW, 1, 4096, 5, 1},
      {"PadRows=1\n", TWPT_BW, 1, 4096, 8, 1},
      {"PixelFlavor=1\n", TWPT_BW, 1, 4096, 5, 1},
      {"", TWPT_GRAY, 8, 37 * 5, 37, 5},
      {"PadRows=1\n", TWPT_GRAY, 8, 40 * 5, 40, 5},
      {"PadRows=1\n", TWPT_GRAY, 8, 40 * 5 + 39, 40, 5},  // the rest of a buffer stays empty
      {"", TWPT_GRAY, 4, 19, 19, 23},
      {"", TWPT_RGB, 24, 111 * 23, 111, 1},
      {"StripRows=4\n", TWPT_RGB, 24, 111 * 23, 111, 6},
      {"PadRows=1\nStripRows=1\n", TWPT_RGB, 24, 65536, 112, 23},
      {"", TWPT_PALETTE, 8, 4096, 37, 1},
      {"", TWPT_PALETTE, 4, 4096, 19, 1},
  };
  for (const StripCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.script << " type " << c.pixelType << " depth " << c.bitDepth);
    Restart();
    Prepare(c.script, c.pixelType, c.bitDepth);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    std::vector<std::uint8_t> rows;
    std::vector<TW_IMAGEMEMXFER> strips;
    ASSERT_EQ(TransferPage(c.buffer, rows, &strips), TWRC_XFERDONE);
    EXPECT_EQ(rows, ExpectedRows(Expected(1)));
    EXPECT_EQ(strips.size(), c.strips);
    TW_UINT32 nextRow = 0;
    for (const TW_IMAGEMEMXFER& strip : strips) {
      EXPECT_EQ(TW_UINT32{strip.BytesPerRow}, c.bytesPerRow);
      EXPECT_EQ(TW_UINT32{strip.Columns}, 37u);
      EXPECT_EQ(TW_UINT32{strip.YOffset}, nextRow);
      nextRow += strip.Rows;
    }
    EXPECT_EQ(nextRow, 23u);
  }
}

TEST_F(VirtualSourceTransfer, PaddingBytesAreZero) {
  Prepare("PadRows=1\n", TWPT_GRAY, 8);
  ASSERT_EQ(NextNotice(), MSG_XFERREADY);
  std::vector<std::uint8_t> buffer(4096, 0xcd);
  TW_IMAGEMEMXFER strip{};
  strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, 4096, buffer.data()};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_XFERDONE);
  for (int row = 0; row < 23; ++row) {
    for (int pad = 37; pad < 40; ++pad) EXPECT_EQ(buffer[row * 40 + pad], 0);
  }
  EXPECT_EQ(buffer[23 * 40], 0xcd) << "nothing past the rows";
}

TEST_F(VirtualSourceTransfer, MemoryByHandleWorksLikeByPointer) {
  Prepare("", TWPT_GRAY, 8);
  ASSERT_EQ(NextNotice(), MSG_XFERREADY);
  TW_IMAGEMEMXFER strip{};
  strip.Memory = {TWMF_APPOWNS | TWMF_HANDLE, 37 * 23, host.AllocMemory(37 * 23)};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_XFERDONE);
  const auto* bytes = static_cast<const std::uint8_t*>(strip.Memory.TheMem);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 37 * 23), ExpectedRows(Expected(1)));
  host.FreeMemory(strip.Memory.TheMem);
}

TEST_F(VirtualSourceTransfer, BuffersThatCannotHoldARowAreRefused) {
  Prepare("PreferredBuffer=0\n", TWPT_RGB, 24);
  TW_SETUPMEMXFER setup{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_EQ(TW_UINT32{setup.Preferred}, 0u);
  EXPECT_EQ(TW_UINT32{setup.MinBufSize}, 111u);
  EXPECT_EQ(TW_UINT32{setup.MaxBufSize}, TWON_DONTCARE32);
  ASSERT_EQ(NextNotice(), MSG_XFERREADY);
  std::vector<std::uint8_t> buffer(200);
  const TW_MEMORY tooSmall{TWMF_APPOWNS | TWMF_POINTER, 110, buffer.data()};
  const TW_MEMORY noMemory{TWMF_APPOWNS | TWMF_POINTER, 200, nullptr};
  const TW_MEMORY noFlags{TWMF_APPOWNS, 200, buffer.data()};
  for (const TW_MEMORY& memory : {tooSmall, noMemory, noFlags}) {
    TW_IMAGEMEMXFER strip{};
    strip.Memory = memory;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_EQ(source->State(), 6);
  }
}

struct MechanismCase {
  const char* script;
  TW_UINT16 mechanism;
  TW_UINT16 memoryResult;
  TW_UINT16 nativeResult;
};

TEST_F(VirtualSourceTransfer, StrictScriptRefusesTheOtherMechanism) {
  const MechanismCase cases[] = {
      {"StrictMechanism=0\n", TWSX_NATIVE, TWRC_XFERDONE, TWRC_XFERDONE},
      {"StrictMechanism=0\n", TWSX_MEMORY, TWRC_XFERDONE, TWRC_XFERDONE},
      {"StrictMechanism=1\n", TWSX_NATIVE, TWRC_FAILURE, TWRC_XFERDONE},
      {"StrictMechanism=1\n", TWSX_MEMORY, TWRC_XFERDONE, TWRC_FAILURE},
      {"", TWSX_NATIVE, TWRC_FAILURE, TWRC_XFERDONE},  // strict unless told otherwise
      {"", TWSX_MEMORY, TWRC_XFERDONE, TWRC_FAILURE},
  };
  for (const MechanismCase& c : cases) {
    for (const bool memory : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "script " << c.script << " mechanism " << c.mechanism << " memory "
                                        << memory);
      Restart();
      Open(std::string("[Scanner]\n") + c.script);
      ASSERT_EQ(SetCap(ICAP_XFERMECH, TWTY_UINT16, c.mechanism), TWRC_SUCCESS);
      SmallFrame();
      ASSERT_EQ(Enable(false), TWRC_SUCCESS);
      ASSERT_EQ(NextNotice(), MSG_XFERREADY);
      TW_UINT16 result;
      if (memory) {
        std::vector<std::uint8_t> rows;
        result = TransferPage(1 << 20, rows);
      } else {
        TW_HANDLE dib = nullptr;
        result = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib);
        if (dib != nullptr) host.FreeMemory(dib);
      }
      EXPECT_EQ(result, memory ? c.memoryResult : c.nativeResult);
      if (result == TWRC_FAILURE) {
        EXPECT_EQ(Condition(), TWCC_SEQERROR);
        EXPECT_EQ(source->State(), 6);
      }
    }
  }
}

// The script's stand-ins for what real sources do: a length known only at the end, a
// least buffer above 64 KiB, a check-status from enabling, strips of nothing.
TEST_F(VirtualSourceTransfer, ScriptedQuirksOfRealSources) {
  struct Case {
    const char* script;
    TW_UINT16 enabled;
    TW_INT32 reportedLength;
    TW_UINT32 least;
    TW_UINT32 buffer;
    TW_UINT16 result;
    std::size_t emptyStrips;
  };
  const Case cases[] = {
      {"UnknownLength=1\n", TWRC_SUCCESS, -1, 37, 370, TWRC_XFERDONE, 0},
      {"MinBuffer=100000\n", TWRC_SUCCESS, 23, 100000, 65536, TWRC_FAILURE, 0},
      {"MinBuffer=100000\n", TWRC_SUCCESS, 23, 100000, 100000, TWRC_XFERDONE, 0},
      {"MinBuffer=10\n", TWRC_SUCCESS, 23, 37, 37, TWRC_XFERDONE, 0},
      {"CheckStatusOnEnable=1\n", TWRC_CHECKSTATUS, 23, 37, 4096, TWRC_XFERDONE, 0},
      {"EmptyStrips=3\n", TWRC_SUCCESS, 23, 37, 4096, TWRC_XFERDONE, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Restart();
    Open(std::string("[Scanner]\n") + c.script);
    ASSERT_EQ(SetCap(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    ASSERT_EQ(SetCap(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
    SmallFrame();
    ASSERT_EQ(Enable(false), c.enabled);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    EXPECT_EQ(TW_INT32{Info().ImageLength}, c.reportedLength);
    TW_SETUPMEMXFER setup{};
    ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(TW_UINT32{setup.MinBufSize}, c.least);
    std::vector<std::uint8_t> rows;
    std::vector<TW_IMAGEMEMXFER> strips;
    ASSERT_EQ(TransferPage(c.buffer, rows, &strips), c.result);
    if (c.result != TWRC_XFERDONE) {
      EXPECT_EQ(Condition(), TWCC_BADVALUE);
      continue;
    }
    EXPECT_EQ(rows, ExpectedRows({37, 23, TWPT_GRAY, 8, TWPF_CHOCOLATE, 1}));
    const auto empty = std::count_if(strips.begin(), strips.end(),
                                     [](const TW_IMAGEMEMXFER& s) { return TW_UINT32{s.BytesWritten} == 0; });
    EXPECT_EQ(static_cast<std::size_t>(empty), c.emptyStrips);
  }
}

struct RunCase {
  const char* script;
  bool feeder;
  bool duplex;
  TW_INT16 xferCount;
  std::vector<TW_UINT16> results;  // per page, by memory transfer
};

// Every page offered is ended with MSG_ENDXFER, and the count falls to 0 whatever
// happened to the pages on the way.
TEST_F(VirtualSourceTransfer, RunsOfPagesEndWhenTheCountReachesZero) {
  const RunCase cases[] = {
      {"Pages=3\n", true, false, -1, {TWRC_XFERDONE, TWRC_XFERDONE, TWRC_XFERDONE}},
      {"Pages=3\nCancelPage=2\n", true, false, -1, {TWRC_XFERDONE, TWRC_CANCEL, TWRC_XFERDONE}},
      {"Pages=3\nFailPage=1\n", true, false, -1, {TWRC_FAILURE, TWRC_XFERDONE, TWRC_XFERDONE}},
      {"Pages=3\n", false, false, -1, {TWRC_XFERDONE}},
      {"Pages=2\n", true, true, -1, {TWRC_XFERDONE, TWRC_XFERDONE, TWRC_XFERDONE, TWRC_XFERDONE}},
      {"Pages=5\n", true, false, 2, {TWRC_XFERDONE, TWRC_XFERDONE}},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.script);
    Restart();
    Open(std::string("[Scanner]\n") + c.script);
    ASSERT_EQ(SetCap(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    ASSERT_EQ(SetCap(CAP_FEEDERENABLED, TWTY_BOOL, c.feeder), TWRC_SUCCESS);
    ASSERT_EQ(SetCap(CAP_DUPLEXENABLED, TWTY_BOOL, c.duplex), TWRC_SUCCESS);
    ASSERT_EQ(SetCap(CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT16>(c.xferCount)), TWRC_SUCCESS);
    SmallFrame();
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    for (std::size_t page = 0; page < c.results.size(); ++page) {
      SCOPED_TRACE(page + 1);
      ASSERT_EQ(source->State(), 6);
      TW_PENDINGXFERS pending{};
      ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
      EXPECT_EQ(pending.Count, c.results.size() - page);
      std::vector<std::uint8_t> rows;
      EXPECT_EQ(TransferPage(1 << 20, rows), c.results[page]);
      if (c.results[page] == TWRC_XFERDONE) {
        EXPECT_EQ(rows, ExpectedRows(Expected(static_cast<int>(page + 1)))) << "the page number is on the page";
      }
      if (c.results[page] == TWRC_FAILURE) {
        EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
      }
      if (c.results[page] == TWRC_CANCEL) {
        std::vector<std::uint8_t> buffer(1 << 20);
        TW_IMAGEMEMXFER more{};
        more.Memory = {TWMF_APPOWNS | TWMF_POINTER, 1 << 20, buffer.data()};
        EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &more), TWRC_FAILURE) << "a cancelled page is over";
      }
      TW_UINT16 count = 99;
      ASSERT_EQ(EndTransfer(&count), TWRC_SUCCESS);
      EXPECT_EQ(count, c.results.size() - page - 1);
    }
    EXPECT_EQ(source->State(), 5);
    EXPECT_EQ(host.wakes.size(), 1u) << "one notice for the whole run";
  }
}

TEST_F(VirtualSourceTransfer, ResetDropsThePagesLeft) {
  ToState(6, "Pages=3\n");
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0);
  EXPECT_EQ(source->State(), 5);
}

TEST_F(VirtualSourceTransfer, ScriptCanAskToBeClosedInsteadOfOfferingPages) {
  for (const char* script : {"CloseRequest=1\n", "Pages=0\n"}) {
    SCOPED_TRACE(script);
    Restart();
    ToState(4, script);
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(NextNotice(), MSG_CLOSEDSREQ);
    EXPECT_EQ(source->State(), 5);
    TW_USERINTERFACE ui{0, 0, &parent};
    EXPECT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
}

TEST_F(VirtualSourceTransfer, AbsurdSizesAreReportedAndNeverWrittenPastABuffer) {
  struct AbsurdCase {
    const char* script;
    TW_UINT16 memoryCondition;
  };
  const AbsurdCase cases[] = {
      {"ImageWidth=2000000000\nImageLength=2000000000\n", TWCC_OPERATIONERROR},  // no row fits 32 bits
      {"ImageWidth=1000000\nImageLength=2000000000\n", TWCC_BADVALUE},           // nor this buffer
      {"ImageWidth=-3\n", TWCC_OPERATIONERROR},
      {"ImageLength=0\n", TWCC_OPERATIONERROR},
  };
  for (const AbsurdCase& c : cases) {
    SCOPED_TRACE(c.script);
    Restart();
    Prepare(c.script, TWPT_RGB, 24);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    const ScannerConfig script = ParseScannerConfig(std::string("[Scanner]\n") + c.script);
    const TW_IMAGEINFO info = Info();
    EXPECT_EQ(info.ImageWidth, script.imageWidth.value_or(37));
    EXPECT_EQ(info.ImageLength, script.imageLength.value_or(23));
    std::vector<std::uint8_t> buffer(65536);
    TW_IMAGEMEMXFER strip{};
    strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65536, buffer.data()};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
    EXPECT_EQ(Condition(), c.memoryCondition);
    TW_HANDLE dib = nullptr;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_FAILURE);
    EXPECT_EQ(host.LiveBlocks(), 0u);
  }
}

struct NativeCase {
  TW_UINT16 pixelType;
  int bitDepth;
  const char* script;
  std::uint32_t colours;
  Rgb firstColour;
};

// A native transfer hands over a DIB: bottom-up rows padded to 4 bytes, blue first.
TEST_F(VirtualSourceTransfer, NativeTransferBuildsADib) {
  const NativeCase cases[] = {
      {TWPT_BW, 1, "", 2, {0, 0, 0}},
      {TWPT_BW, 1, "PixelFlavor=1\n", 2, {255, 255, 255}},
      {TWPT_GRAY, 8, "", 256, {0, 0, 0}},
      {TWPT_GRAY, 4, "", 16, {0, 0, 0}},
      {TWPT_RGB, 24, "", 0, {0, 0, 0}},
      {TWPT_PALETTE, 8, "", 8, {255, 255, 255}},
  };
  for (const NativeCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.pixelType << " depth " << c.bitDepth << " " << c.script);
    Restart();
    Prepare(c.script, c.pixelType, c.bitDepth, TWSX_NATIVE);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    const PageFormat page = Expected(1);
    TW_HANDLE dib = nullptr;
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
    const auto* bytes = static_cast<const std::uint8_t*>(dib);
    const auto u32 = [&](int at) { return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24; };
    EXPECT_EQ(u32(0), 40);
    EXPECT_EQ(u32(4), 37);
    EXPECT_EQ(u32(8), 23);
    EXPECT_EQ(bytes[14], c.bitDepth);
    EXPECT_EQ(u32(24), 3937) << "100 dpi in pixels per metre";
    EXPECT_EQ(static_cast<std::uint32_t>(u32(32)), c.colours);
    if (c.colours > 0) {
      EXPECT_EQ((Rgb{bytes[42], bytes[41], bytes[40]}), c.firstColour);
    }
    const std::size_t packed = PackedRowBytes(page);
    const std::size_t stride = (packed + 3) / 4 * 4;
    ASSERT_EQ(host.MemorySize(dib), 40 + 4 * c.colours + stride * 23);
    const std::vector<std::uint8_t> expected = ExpectedRows(page);
    for (int y = 0; y < 23; ++y) {
      const std::uint8_t* row = bytes + 40 + 4 * c.colours + (22 - y) * stride;
      for (std::size_t i = 0; i < packed; ++i) {
        // Blue and red change places in every 3-byte pixel.
        const std::size_t from = c.pixelType == TWPT_RGB ? i - i % 3 + (2 - i % 3) : i;
        ASSERT_EQ(row[i], expected[y * packed + from]) << "row " << y << " byte " << i;
      }
    }
    host.FreeMemory(dib);
    EXPECT_EQ(source->State(), 7);
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_FAILURE);
  }
}

TEST_F(VirtualSourceTransfer, PaletteMatchesThePixelType) {
  Prepare("", TWPT_PALETTE, 8);
  TW_PALETTE8 palette{};
  ASSERT_EQ(Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
  EXPECT_EQ(palette.NumColors, kPatternColours);
  EXPECT_EQ(palette.PaletteType, TWPA_RGB);
  EXPECT_EQ((Rgb{palette.Colors[1].Channel1, palette.Colors[1].Channel2, palette.Colors[1].Channel3}),
            kPatternPalette[1]);
  Restart();
  Prepare("", TWPT_GRAY, 8);
  ASSERT_EQ(Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
  EXPECT_EQ(palette.NumColors, 256);
  EXPECT_EQ(palette.PaletteType, TWPA_GRAY);
}

TEST_F(VirtualSourceTransfer, OwnDialogOffersPagesOnlyWhenScanIsPressed) {
  Open("[Scanner]\nPages=2\n");
  ASSERT_EQ(Enable(true), TWRC_SUCCESS);
  EXPECT_TRUE(host.dialogOpen);
  EXPECT_EQ(host.dialogParent, &parent);
  EXPECT_NE(host.summary.find("Pages in the feeder: 2"), std::string::npos);
  EXPECT_TRUE(host.wakes.empty()) << "nothing is offered before the user asks";
  EXPECT_EQ(NextNotice(&host.dialogEvent), MSG_NULL);
  EXPECT_EQ(lastEventResult, TWRC_DSEVENT) << "the dialog's own messages belong to the source";
  source->ScanPressed();
  ASSERT_EQ(host.wakes.size(), 1u);
  source->ScanPressed();
  EXPECT_EQ(host.wakes.size(), 1u) << "a second press while pages wait does nothing";
  EXPECT_EQ(NextNotice(), MSG_XFERREADY);
  source->CancelPressed();
  EXPECT_EQ(host.wakes.size(), 1u) << "once pages are offered the application ends the run";
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  source->CancelPressed();
  EXPECT_EQ(NextNotice(), MSG_CLOSEDSREQ);
  TW_USERINTERFACE ui{0, 0, &parent};
  ASSERT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_FALSE(host.dialogOpen);
}

}  // namespace
}  // namespace kamolt::scanner::testing
