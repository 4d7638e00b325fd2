#include "scan/twain_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <variant>

#include "base/dib.h"
#include "tests/unit/twain_fake.h"

namespace kamolt {
namespace {

using testing::FakeImage;
using testing::FakeSource;
using testing::FakeTwainPlatform;
using testing::PatternImage;
using testing::SentImage;

std::uint32_t Get32(const std::vector<std::uint8_t>& block, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, block.data() + at, 4);
  return v;
}

class TransferTest : public ::testing::Test {
 protected:
  TransferTest() : source(platform), diagnostics(platform), session(diagnostics), acquisition(session, settings) {
    diagnostics.SetDiagnosticLevel(1);
    TW_IDENTITY app{};
    session.TWSetAppIdentity(&app, &window);
    settings.colorMode = 1;
    settings.width = 1;
    settings.height = 1;
    settings.resolution = 100;
  }

  // Starts the acquisition and lets the source report its images ready.
  void Scan() {
    ASSERT_EQ(acquisition.AcquireImages(&window, false, 1), 1);
    source.eventMessages.push_back(MSG_XFERREADY);
    int message = 0;
    EXPECT_TRUE(acquisition.ProcessTwainEvent(&message, &window));
  }

  // The DIB rows, top of the picture first, against the rows the source sent.
  void ExpectPicture(const SentImage& sent, const FakeImage& image, bool redBlueSwapped) {
    const auto measured = MeasureDib(sent.block.data(), sent.block.size());
    ASSERT_TRUE(std::holds_alternative<DibLayout>(measured)) << std::get<DibError>(measured).message;
    const DibLayout& dib = std::get<DibLayout>(measured);
    ASSERT_FALSE(dib.topDown);
    ASSERT_EQ(dib.width, image.info.ImageWidth);
    ASSERT_EQ(dib.height, image.info.ImageLength);
    const std::size_t dataBytes = (static_cast<std::size_t>(dib.width) * dib.bitCount + 7) / 8;
    for (int y = 0; y < dib.height; ++y) {
      const std::uint8_t* row = sent.block.data() + dib.pixelOffset + (dib.height - 1 - y) * dib.rowBytes;
      std::vector<std::uint8_t> expected(image.rows.begin() + y * image.sourceRowBytes,
                                         image.rows.begin() + y * image.sourceRowBytes + dataBytes);
      if (redBlueSwapped) {
        for (std::size_t x = 0; x + 2 < expected.size(); x += 3) std::swap(expected[x], expected[x + 2]);
      }
      ASSERT_EQ(std::vector<std::uint8_t>(row, row + dataBytes), expected) << "row " << y;
      for (std::size_t pad = dataBytes; pad < dib.rowBytes; ++pad) ASSERT_EQ(row[pad], 0) << "row " << y;
    }
  }

  std::vector<std::uint8_t> ColourEntry(const SentImage& sent, int index) {
    return {sent.block.begin() + 40 + 4 * index, sent.block.begin() + 44 + 4 * index};
  }

  void ExpectSessionClosed() {
    EXPECT_FALSE(session.TWIsDSEnabled());
    EXPECT_FALSE(session.TWIsDSOpen());
    EXPECT_FALSE(session.TWIsDSMOpen());
    EXPECT_EQ(acquisition.AcquireMode(), 0);
    EXPECT_EQ(platform.LiveBlocks(), 0u);
  }

  FakeTwainPlatform platform;
  FakeSource source;
  TwainDiagnostics diagnostics;
  TwainSession session;
  ScanSettings settings;
  TwainAcquisition acquisition;
  int window = 0;
};

// A fresh acquisition of its own for each row of a table.
template <typename Platform = FakeTwainPlatform>
struct Rig {
  Rig(ScanSettings& settings, TwainWindow parent) : window(parent), run(session, settings) {
    diagnostics.SetDiagnosticLevel(1);
    TW_IDENTITY app{};
    session.TWSetAppIdentity(&app, window);
  }
  void Scan() {
    ASSERT_EQ(run.AcquireImages(window, false, 1), 1);
    s.eventMessages.push_back(MSG_XFERREADY);
    int message = 0;
    run.ProcessTwainEvent(&message, window);
  }
  Platform p;
  FakeSource s{p};
  TwainDiagnostics diagnostics{p};
  TwainSession session{diagnostics};
  TwainWindow window;
  TwainAcquisition run;
};

TEST_F(TransferTest, AGreyPageHasTheSizesOfItsBlockHeaderAndTable) {
  source.images = {PatternImage(2550, 3300, 8, TWPT_GRAY)};
  Scan();
  ASSERT_EQ(platform.images.size(), 1u);
  const SentImage& sent = platform.images[0];
  EXPECT_EQ(sent.block.size(), 8455208u);
  EXPECT_EQ(Get32(sent.block, 20), 8454144u);
  EXPECT_EQ(Get32(sent.block, 24), 11811u);
  EXPECT_EQ(Get32(sent.block, 28), 11811u);
  EXPECT_EQ(Get32(sent.block, 32), 256u);
  EXPECT_EQ(ColourEntry(sent, 77), (std::vector<std::uint8_t>{77, 77, 77, 0}));
  EXPECT_EQ(sent.pending, 0);
  ExpectPicture(sent, source.images[0], false);
  ExpectSessionClosed();
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_EQ(platform.sentTo, std::vector<TwainWindow>{&window});
  EXPECT_EQ(platform.cursor, (std::vector<bool>{true, false}));
}

TEST_F(TransferTest, EveryPixelTypeArrivesBottomUpWhateverTheSourcesRowLength) {
  struct Case {
    const char* name;
    int width, bits;
    TW_INT16 pixelType;
    std::uint32_t sourceRowBytes;  // 0: padded as a bitmap is
    std::uint32_t rowsPerStrip;
    std::uint32_t colours;
  };
  const Case cases[] = {
      {"rgb padded", 7, 24, TWPT_RGB, 0, 3, 0},
      {"rgb unpadded", 7, 24, TWPT_RGB, 21, 3, 0},
      {"grey unpadded", 5, 8, TWPT_GRAY, 5, 2, 256},
      {"grey one row per strip", 5, 8, TWPT_GRAY, 0, 1, 256},
      {"black and white width 9 unpadded", 9, 1, TWPT_BW, 2, 4, 2},
      {"black and white width 33", 33, 1, TWPT_BW, 0, 0, 2},
      {"palette 8 bits", 6, 8, TWPT_PALETTE, 6, 5, 3},
      {"palette 4 bits", 3, 4, TWPT_PALETTE, 2, 5, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    d.SetDiagnosticLevel(1);
    TwainSession fresh(d);
    TW_IDENTITY app{};
    fresh.TWSetAppIdentity(&app, &window);
    TwainAcquisition run(fresh, settings);
    s.palette.NumColors = 3;
    s.images = {PatternImage(c.width, 11, c.bits, c.pixelType, c.sourceRowBytes)};
    s.images[0].rowsPerStrip = c.rowsPerStrip;
    ASSERT_EQ(run.AcquireImages(&window, false, 1), 1);
    s.eventMessages.push_back(MSG_XFERREADY);
    int message = 0;
    run.ProcessTwainEvent(&message, &window);
    ASSERT_EQ(p.images.size(), 1u);
    EXPECT_EQ(Get32(p.images[0].block, 32), c.colours);
    ExpectPicture(p.images[0], s.images[0], c.pixelType == TWPT_RGB);
    EXPECT_TRUE(p.boxes.empty());
    EXPECT_EQ(p.LiveBlocks(), 0u);
  }
}

TEST_F(TransferTest, BlackAndWhiteTableFollowsTheFlavour) {
  struct Case {
    TW_UINT16 flavorAnswer;
    TW_UINT32 flavor;
    int level;
    std::uint8_t first;
    std::size_t boxes;
  };
  const Case cases[] = {
      {TWRC_SUCCESS, TWPF_CHOCOLATE, 1, 0, 0},
      {TWRC_SUCCESS, TWPF_VANILLA, 1, 255, 0},
      {TWRC_FAILURE, TWPF_VANILLA, 1, 0, 0},
      {TWRC_FAILURE, TWPF_VANILLA, 2, 0, 1},
  };
  for (const Case& c : cases) {
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    TwainSession fresh(d);
    TW_IDENTITY app{};
    fresh.TWSetAppIdentity(&app, &window);
    TwainAcquisition run(fresh, settings);
    s.images = {PatternImage(8, 2, 1, TWPT_BW)};
    s.current[ICAP_PIXELFLAVOR] = {TWON_ONEVALUE, c.flavor};
    run.AcquireImages(&window, false, 1);
    d.SetDiagnosticLevel(c.level);
    // At level 2 the dumps ask for the flavour too; only the table's own query fails.
    if (c.level >= 2) s.Answer(DG_CONTROL, DAT_CAPABILITY, MSG_GET, {TWRC_SUCCESS, TWRC_SUCCESS});
    s.Answer(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, {TWRC_SUCCESS, c.flavorAnswer});
    s.eventMessages.push_back(MSG_XFERREADY);
    int message = 0;
    run.ProcessTwainEvent(&message, &window);
    ASSERT_EQ(p.images.size(), 1u);
    EXPECT_EQ(ColourEntry(p.images[0], 0), (std::vector<std::uint8_t>{c.first, c.first, c.first, 0}));
    const auto second = static_cast<std::uint8_t>(255 - c.first);
    EXPECT_EQ(ColourEntry(p.images[0], 1), (std::vector<std::uint8_t>{second, second, second, 0}));
    std::size_t flavourBoxes = 0;
    for (const auto& box : p.boxes) flavourBoxes += box.text.find("ICAP_PIXELFLAVOR") != std::string::npos &&
                                                    box.caption == "Operation Status";
    EXPECT_EQ(flavourBoxes, c.boxes);
  }
}

TEST_F(TransferTest, ResolutionComesFromTheUnits) {
  struct Case {
    TW_UINT16 unitsAnswer;
    TW_UINT32 units;
    double dpi;
    std::uint32_t perMetre;
    std::size_t boxes;
  };
  const Case cases[] = {
      {TWRC_SUCCESS, TWUN_INCHES, 300, 11811, 0},
      {TWRC_SUCCESS, TWUN_CENTIMETERS, 100, 10000, 0},
      {TWRC_SUCCESS, TWUN_PIXELS, 300, 0, 0},
      {TWRC_FAILURE, TWUN_INCHES, 300, 0, 1},
  };
  for (const Case& c : cases) {
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    d.SetDiagnosticLevel(1);
    TwainSession fresh(d);
    TW_IDENTITY app{};
    fresh.TWSetAppIdentity(&app, &window);
    TwainAcquisition run(fresh, settings);
    s.images = {PatternImage(4, 2, 24, TWPT_RGB)};
    s.images[0].info = testing::ImageInfo(4, 2, 24, TWPT_RGB, c.dpi);
    s.current[ICAP_UNITS] = {TWON_ONEVALUE, c.units};
    s.Answer(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, {c.unitsAnswer});
    run.AcquireImages(&window, false, 1);
    s.eventMessages.push_back(MSG_XFERREADY);
    int message = 0;
    run.ProcessTwainEvent(&message, &window);
    ASSERT_EQ(p.images.size(), 1u);
    EXPECT_EQ(Get32(p.images[0].block, 24), c.perMetre);
    EXPECT_EQ(Get32(p.images[0].block, 28), c.perMetre);
    EXPECT_EQ(p.boxes.size(), c.boxes);
    if (c.boxes) {
      EXPECT_NE(p.boxes[0].text.find("DG_CONTROL/DAT_CAPABILITY/MSG_GETCURRENT"), std::string::npos);
    }
  }
}

TEST_F(TransferTest, APaletteTheSourceWillNotGiveBecomesGrey) {
  source.images = {PatternImage(4, 2, 8, TWPT_PALETTE)};
  source.Answer(DG_IMAGE, DAT_PALETTE8, MSG_GET, {TWRC_FAILURE});
  Scan();
  ASSERT_EQ(platform.images.size(), 1u);
  EXPECT_EQ(Get32(platform.images[0].block, 32), 256u);
  EXPECT_EQ(ColourEntry(platform.images[0], 9), (std::vector<std::uint8_t>{9, 9, 9, 0}));
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_NE(platform.boxes[0].text.find("DG_IMAGE/DAT_PALETTE8/MSG_GET -- defaulting to 256 gray image palette"),
            std::string::npos);
}

TEST_F(TransferTest, CancelOfTheSecondOfThreeImagesGoesOnToTheThird) {
  source.images = {PatternImage(4, 3, 8, TWPT_GRAY), PatternImage(4, 3, 8, TWPT_GRAY), PatternImage(4, 3, 8, TWPT_GRAY)};
  source.images[1].refuseWith = TWRC_CANCEL;
  Scan();
  ASSERT_EQ(platform.images.size(), 3u);
  EXPECT_NE(platform.images[0].handle, nullptr);
  EXPECT_EQ(platform.images[0].pending, 2);
  EXPECT_EQ(platform.images[1].handle, nullptr);
  EXPECT_EQ(platform.images[1].pending, 0);
  EXPECT_NE(platform.images[2].handle, nullptr);
  EXPECT_EQ(platform.images[2].pending, 0);
  EXPECT_EQ(platform.BoxTexts(), std::vector<std::string>{"DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET | TWRC_CANCEL"});
  EXPECT_EQ(source.CountOf(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER), 3);
  ExpectSessionClosed();
}

TEST_F(TransferTest, EndingsOfAnImageAndTheirBoxes) {
  struct Case {
    TW_UINT16 stripAnswer;
    int level;
    std::vector<std::string> boxes;
    int failed;  // a cancel is the source's or the user's wish, not a failed page
  };
  const Case cases[] = {
      {TWRC_FAILURE, 1, {"Operation Status | Operation: DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET\r\nReturn Code: "
                         "TWRC_FAILURE\r\nCondition Code: TWCC_BADVALUE"}, 1},
      {TWRC_FAILURE, 0, {}, 1},
      {TWRC_CHECKSTATUS, 1, {"DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET | Unknown Return Code"}, 1},
      {TWRC_CHECKSTATUS,
       2,
       {"DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET | Unknown Return Code", "Pending Transfers | Images = 1"},
       1},
      {TWRC_CANCEL, 2, {"DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET | TWRC_CANCEL"}, 0},
  };
  for (const Case& c : cases) {
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    TwainSession fresh(d);
    TW_IDENTITY app{};
    fresh.TWSetAppIdentity(&app, &window);
    TwainAcquisition run(fresh, settings);
    s.conditionCode = TWCC_BADVALUE;
    s.images = {PatternImage(4, 2, 8, TWPT_GRAY), PatternImage(4, 2, 8, TWPT_GRAY)};
    s.images[0].refuseWith = c.stripAnswer;
    run.AcquireImages(&window, false, 1);
    d.SetDiagnosticLevel(c.level);
    // The dumps of level 2 are not what this case is about.
    s.AlwaysAnswer(DG_CONTROL, DAT_CAPABILITY, MSG_GET, TWRC_CHECKSTATUS);
    s.eventMessages.push_back(MSG_XFERREADY);
    int message = 0;
    run.ProcessTwainEvent(&message, &window);
    std::vector<std::string> boxes;
    for (const auto& text : p.BoxTexts()) {
      if (text.rfind("TW_CAPABILITY", 0) != 0) boxes.push_back(text);
    }
    if (c.level >= 2) boxes.pop_back();  // the count box of the second image
    EXPECT_EQ(boxes, c.boxes) << c.stripAnswer;
    ASSERT_EQ(p.images.size(), 2u);
    EXPECT_EQ(p.images[0].handle, nullptr);
    EXPECT_EQ(p.images[0].pending, 0);
    EXPECT_NE(p.images[1].handle, nullptr);
    EXPECT_EQ(p.LiveBlocks(), 0u);
    EXPECT_EQ(run.FailedImages(), c.failed);
  }
}

// Plays a scan module whose program is told to end while it takes a page.
class EndingPlatform : public FakeTwainPlatform {
 public:
  void SendTransferDone(TwainWindow window, TW_HANDLE image, TW_UINT16 pending) override {
    FakeTwainPlatform::SendTransferDone(window, image, pending);
    if (images.size() != endAtPage) return;
    if (byQuit) quitWaiting = true;
    else if (ending != nullptr) ending->EndSession();
  }
  bool EndRequested() override { return quitWaiting; }
  std::size_t endAtPage = 0;
  bool byQuit = false;  // told by a waiting quit rather than ended from inside the hand-over
  bool quitWaiting = false;
  TwainAcquisition* ending = nullptr;
};

TEST_F(TransferTest, AnAcquisitionEndedEarlyResetsWhatIsPendingThenDisablesAndCloses) {
  using Triplet = std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>;
  const Triplet reset{DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET};
  const Triplet disable{DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS};
  const Triplet closeSource{DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS};
  const Triplet closeManager{DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM};
  const Triplet endTransfer{DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER};
  struct Case {
    const char* name;
    std::size_t endAtPage;  // 0: while the source's dialog is up, before any page
    bool byQuit;
    std::vector<Triplet> last;
    std::size_t pagesTaken;
  };
  const std::vector<Triplet> resetAndClose{endTransfer, reset, disable, closeSource, closeManager};
  const Case cases[] = {
      {"under the source's dialog", 0, false, {disable, closeSource, closeManager}, 0},
      {"in the hand-over of the first of three pages", 1, false, resetAndClose, 1},
      {"a quit waiting after the first of three pages", 1, true, resetAndClose, 1},
      {"after the last page", 3, false, {endTransfer, disable, closeSource, closeManager}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig<EndingPlatform> rig(settings, &window);
    auto& p = rig.p;
    auto& s = rig.s;
    auto& run = rig.run;
    s.images = {PatternImage(4, 2, 8, TWPT_GRAY), PatternImage(4, 2, 8, TWPT_GRAY), PatternImage(4, 2, 8, TWPT_GRAY)};
    ASSERT_EQ(run.AcquireImages(&window, true, 1), 1);
    p.ending = &run;
    p.endAtPage = c.endAtPage;
    p.byQuit = c.byQuit;
    if (c.endAtPage == 0) {
      run.EndSession();
    } else {
      s.eventMessages.push_back(MSG_XFERREADY);
      int message = 0;
      run.ProcessTwainEvent(&message, &window);
    }
    run.EndSession();  // a second end asks the source nothing
    EXPECT_EQ(s.LastCalls(c.last.size()), c.last);
    EXPECT_EQ(p.images.size(), c.pagesTaken);
    EXPECT_FALSE(rig.session.TWIsDSMOpen());
    EXPECT_EQ(run.AcquireMode(), 0);
    EXPECT_EQ(p.LiveBlocks(), 0u);
    EXPECT_TRUE(p.boxes.empty());
  }
}

TEST_F(TransferTest, AtLevelTwoEachImageIsDumpedAndCountedAndAtThreeAnnounced) {
  source.images = {PatternImage(4, 2, 8, TWPT_GRAY), PatternImage(4, 2, 8, TWPT_GRAY)};
  ASSERT_EQ(acquisition.AcquireImages(&window, false, 1), 1);
  diagnostics.SetDiagnosticLevel(3);
  source.eventMessages.push_back(MSG_XFERREADY);
  int message = 0;
  acquisition.ProcessTwainEvent(&message, &window);
  std::vector<std::string> captions;
  for (const auto& box : platform.boxes) captions.push_back(box.caption);
  EXPECT_EQ(std::vector<std::string>(captions.begin(), captions.begin() + 4),
            (std::vector<std::string>{"TW_CAPABILITY", "TW_CAPABILITY", "DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET",
                                      "Pending Transfers"}));
  EXPECT_EQ(platform.BoxTexts()[3], "Pending Transfers | Images = 1");
  EXPECT_EQ(platform.boxes[3].owner, nullptr);
  EXPECT_EQ(platform.BoxTexts()[2], "DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET | TWRC_XFERDONE");
}

// A page that never started has had its own box; the window hears of it only when it
// must close because that page was the last.
TEST_F(TransferTest, EarlyFailuresEndThePendingTransferSoTheRunEnds) {
  struct Case {
    const char* name;
    void (*arrange)(FakeSource&, FakeTwainPlatform&);
    std::string box;
  };
  const Case cases[] = {
      {"image info refused",
       [](FakeSource& s, FakeTwainPlatform&) { s.Answer(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, {TWRC_FAILURE}); },
       "Operation Status"},
      {"second buffer query refused",
       [](FakeSource& s, FakeTwainPlatform&) {
         s.Answer(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, {TWRC_SUCCESS, TWRC_FAILURE});
       },
       "Operation Status"},
      {"no memory for the image",
       [](FakeSource&, FakeTwainPlatform& p) { p.failAllocationsFrom = 100000; },
       "Memory Error | GlobalAlloc Failed in DoMemTransfer"},
      {"absurd size",
       [](FakeSource& s, FakeTwainPlatform&) { s.images[0].info = testing::ImageInfo(200000, 200000, 24, TWPT_RGB); },
       "Memory Error | Image size out of range in DoMemTransfer"},
      {"negative length that is not the unknown one",
       [](FakeSource& s, FakeTwainPlatform&) { s.images[0].info.ImageLength = -2; },
       "Memory Error | Image size out of range in DoMemTransfer"},
  };
  for (const Case& c : cases) {
    for (const bool last : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.name << (last ? ", the last page" : ", a page before another"));
      Rig<> rig(settings, &window);
      rig.s.images = {PatternImage(300, 300, 8, TWPT_GRAY), PatternImage(4, 2, 8, TWPT_GRAY)};
      c.arrange(rig.s, rig.p);
      if (last) rig.s.images.pop_back();
      rig.Scan();
      ASSERT_EQ(rig.p.boxes.size(), 1u);
      EXPECT_EQ(rig.p.BoxTexts()[0].substr(0, c.box.size()), c.box);
      ASSERT_EQ(rig.p.images.size(), last ? 0u : 1u);
      EXPECT_EQ(rig.p.closesPosted, last ? 1 : 0);
      EXPECT_EQ(rig.s.CountOf(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER), last ? 1 : 2);
      EXPECT_EQ(rig.run.FailedImages(), 1);
      EXPECT_FALSE(rig.session.TWIsDSMOpen());
      EXPECT_EQ(rig.p.LiveBlocks(), 0u);
    }
  }
}

// Sheet feeders may not know a page's length until it ends: the block grows as its rows
// come and the picture is as long as they were.
TEST_F(TransferTest, APageOfUnknownLengthIsAsLongAsItsRows) {
  const FakeImage images[] = {PatternImage(5, 11, 8, TWPT_GRAY, 5), PatternImage(9, 7, 1, TWPT_BW, 2),
                              PatternImage(4096, 800, 24, TWPT_RGB)};  // past the first room
  for (const FakeImage& image : images) {
    SCOPED_TRACE(image.info.ImageWidth);
    Rig<> rig(settings, &window);
    rig.s.images = {image};
    rig.s.images[0].lengthUnknown = true;
    rig.s.images[0].rowsPerStrip = 3;
    rig.Scan();
    EXPECT_EQ(rig.p.BoxTexts(), std::vector<std::string>{});
    ASSERT_EQ(rig.p.images.size(), 1u);
    ASSERT_NE(rig.p.images[0].handle, nullptr);
    ExpectPicture(rig.p.images[0], image, image.info.PixelType == TWPT_RGB);
    const std::uint32_t rowBytes = (image.info.ImageWidth * image.info.BitsPerPixel + 31) / 32 * 4;
    EXPECT_EQ(Get32(rig.p.images[0].block, 20), rowBytes * image.info.ImageLength);
    EXPECT_EQ(rig.p.LiveBlocks(), 0u);
  }
}

// A source that names no preferred size still has a least and a most it takes.
TEST_F(TransferTest, WithoutAPreferredSizeTheBufferKeepsWithinTheSourcesLeastAndMost) {
  struct Case {
    TW_SETUPMEMXFER setup;  // MinBufSize, MaxBufSize, Preferred
    TW_UINT32 offered;
  };
  const Case cases[] = {
      {{100000, TWON_DONTCARE32, 0}, 100000},
      {{100000, 0, 0}, 100000},      // a most of 0 names no limit
      {{1000, 40000, 0}, 40000},
      {{100000, 50000, 0}, 100000},  // a most below the least is not believed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offered);
    Rig<> rig(settings, &window);
    rig.s.images = {PatternImage(30000, 3, 8, TWPT_GRAY)};
    rig.s.setups = {c.setup, c.setup};
    rig.Scan();
    ASSERT_EQ(rig.p.images.size(), 1u);
    EXPECT_EQ(rig.s.offeredLengths, std::vector<TW_UINT32>(rig.s.offeredLengths.size(), c.offered));
    EXPECT_EQ(rig.p.images[0].block.size(), c.offered * (90000 / c.offered + 1) + 1064u);
    ExpectPicture(rig.p.images[0], rig.s.images[0], false);
  }
}

TEST_F(TransferTest, NoPreferredBufferSizeMeansOneOfOurOwn) {
  source.images = {PatternImage(4, 2, 8, TWPT_GRAY)};
  source.setups = {TW_SETUPMEMXFER{0, 0, 0}, TW_SETUPMEMXFER{0, 0, 0}};
  Scan();
  ASSERT_EQ(platform.images.size(), 1u);
  EXPECT_EQ(platform.images[0].block.size(), 65536u + 1064u);
  EXPECT_EQ(source.offeredLengths, std::vector<TW_UINT32>{65536});
  ExpectPicture(platform.images[0], source.images[0], false);
}

TEST_F(TransferTest, AStripBufferNeverOutgrowsThePlannedBlock) {
  source.images = {PatternImage(4, 2, 8, TWPT_GRAY)};
  source.setups = {TW_SETUPMEMXFER{0, 0, 65536}, TW_SETUPMEMXFER{0, 0, 0xFFFFFFFF}};
  Scan();
  ASSERT_EQ(platform.images.size(), 1u);
  EXPECT_EQ(source.offeredLengths, std::vector<TW_UINT32>{65536});
  ExpectPicture(platform.images[0], source.images[0], false);
}

TEST_F(TransferTest, EveryStripIsOfferedTheSameBufferOfThePreferredSize) {
  source.images = {PatternImage(10, 9, 8, TWPT_GRAY, 10)};
  source.setups = {TW_SETUPMEMXFER{0, 0, 32}, TW_SETUPMEMXFER{0, 0, 25}};
  Scan();
  ASSERT_EQ(platform.images.size(), 1u);
  EXPECT_EQ(source.offeredLengths, std::vector<TW_UINT32>(5, 25));
  EXPECT_EQ(platform.images[0].block.size(), 32u * (108 / 32 + 1) + 1064u);
  ExpectPicture(platform.images[0], source.images[0], false);
}

// A source left in its transfer after a failed end refuses to be disabled: its transfers
// are reset first, and the session closes.
TEST_F(TransferTest, AFailedEndOfTransferEndsTheRunAndTheSession) {
  using Triplet = std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>;
  source.images = {PatternImage(4, 2, 8, TWPT_GRAY), PatternImage(4, 2, 8, TWPT_GRAY)};
  source.AlwaysAnswer(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_FAILURE);
  Scan();
  ASSERT_EQ(platform.images.size(), 1u);
  EXPECT_NE(platform.images[0].handle, nullptr);
  EXPECT_EQ(platform.images[0].pending, 0);
  const std::vector<Triplet> ending{{DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER},
                                    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET},
                                    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS},
                                    {DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS},
                                    {DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM}};
  EXPECT_EQ(source.LastCalls(ending.size()), ending);
  ExpectSessionClosed();
  EXPECT_EQ(acquisition.FailedImages(), 1) << "the pages the source held are lost";
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_NE(platform.boxes[0].text.find("DG_CONTROL / DAT_PENDINGXFERS / MSG_ENDXFER"), std::string::npos);
}

// A source may answer a strip with nothing while it catches up, but not for ever.
TEST_F(TransferTest, EmptyStripsAreWaitedForOnlySoLong) {
  for (const std::uint32_t empty : {5u, 999u, 1000000u}) {
    SCOPED_TRACE(empty);
    const bool delivered = empty < 1000;
    Rig<> rig(settings, &window);
    rig.s.images = {PatternImage(4, 2, 8, TWPT_GRAY)};
    rig.s.images[0].emptyStrips = empty;
    rig.Scan();
    ASSERT_EQ(rig.p.images.size(), 1u);
    EXPECT_EQ(rig.p.images[0].handle != nullptr, delivered);
    EXPECT_EQ(rig.run.FailedImages(), delivered ? 0 : 1);
    const std::vector<std::string> failed{"DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET | No image data in DoMemTransfer"};
    EXPECT_EQ(rig.p.BoxTexts(), delivered ? std::vector<std::string>{} : failed);
    EXPECT_EQ(rig.s.CountOf(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET), delivered ? empty + 1 : 1000);
    EXPECT_FALSE(rig.session.TWIsDSMOpen());
    EXPECT_EQ(rig.p.LiveBlocks(), 0u);
  }
}

TEST_F(TransferTest, ASourceThatShowsItsDialogAnywayIsScannedAndClosed) {
  source.images = {PatternImage(4, 2, 8, TWPT_GRAY)};
  source.Answer(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, {TWRC_CHECKSTATUS});
  Scan();
  ASSERT_EQ(platform.images.size(), 1u);
  EXPECT_NE(platform.images[0].handle, nullptr);
  EXPECT_EQ(platform.BoxTexts(), std::vector<std::string>{});
  ExpectSessionClosed();
}

TEST_F(TransferTest, TransferReadyBeforeArmingIsRefused) {
  ASSERT_EQ(session.TWOpenDSM(), 1);
  ASSERT_EQ(session.TWOpenDS(), 1);
  source.images = {PatternImage(4, 2, 8, TWPT_GRAY)};
  source.eventMessages.push_back(MSG_XFERREADY);
  int message = 0;
  acquisition.ProcessTwainEvent(&message, &window);
  EXPECT_EQ(platform.BoxTexts(), std::vector<std::string>{"MSG_XFERREADY | Received while not in state 5"});
  EXPECT_EQ(source.CountOf(DG_IMAGE, DAT_IMAGEINFO, MSG_GET), 0);
}

TEST_F(TransferTest, TheSourcesCloseRequestTakesTheSessionDownAndClosesTheWindow) {
  for (TW_UINT16 request : {MSG_CLOSEDSREQ, MSG_CLOSEDSOK}) {
    platform.closesPosted = 0;
    ASSERT_EQ(acquisition.AcquireImages(&window, true, 1), 1);
    source.eventMessages.push_back(request);
    int message = 0;
    EXPECT_TRUE(acquisition.ProcessTwainEvent(&message, &window));
    EXPECT_FALSE(session.TWIsDSMOpen());
    EXPECT_EQ(platform.closesPosted, 1);
  }
}

TEST_F(TransferTest, OnlyTheSourcesOwnMessagesAreSwallowed) {
  int message = 0;
  EXPECT_FALSE(acquisition.ProcessTwainEvent(&message, &window));
  EXPECT_TRUE(source.calls.empty());
  ASSERT_EQ(acquisition.AcquireImages(&window, false, 1), 1);
  source.eventAnswer = TWRC_NOTDSEVENT;
  EXPECT_FALSE(acquisition.ProcessTwainEvent(&message, &window));
  source.eventAnswer = TWRC_DSEVENT;
  EXPECT_TRUE(acquisition.ProcessTwainEvent(&message, &window));
  EXPECT_EQ(source.CountOf(DG_CONTROL, DAT_STATUS, MSG_GET), 0);
}

TEST_F(TransferTest, AStartThatFailsClosesWhatWasOpened) {
  struct Case {
    const char* name;
    TW_UINT32 dg;
    TW_UINT16 dat, msg;
    bool managerOpen;
  };
  const Case cases[] = {
      {"manager refuses", DG_CONTROL, DAT_PARENT, MSG_OPENDSM, false},
      {"source refuses", DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, false},
      {"mechanism refused", DG_CONTROL, DAT_CAPABILITY, MSG_SET, false},
      {"enable refused", DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    d.SetDiagnosticLevel(1);
    TwainSession fresh(d);
    TW_IDENTITY app{};
    fresh.TWSetAppIdentity(&app, &window);
    TwainAcquisition run(fresh, settings);
    s.Answer(c.dg, c.dat, c.msg, {TWRC_FAILURE});
    EXPECT_EQ(run.AcquireImages(&window, false, 1), 0);
    EXPECT_EQ(fresh.TWIsDSMOpen(), c.managerOpen);
    EXPECT_FALSE(fresh.TWIsDSOpen());
    EXPECT_EQ(run.AcquireMode(), 0);
    EXPECT_EQ(p.boxes.size(), 1u);
  }
}

TEST_F(TransferTest, AnArmedAcquisitionKeepsItsModeUntilTheSessionCloses) {
  ASSERT_EQ(acquisition.AcquireImages(&window, true, 1), 1);
  EXPECT_EQ(acquisition.AcquireMode(), 1);
  EXPECT_EQ(source.enabledWith.ShowUI, 1);
  // Enabled already: nothing more to do.
  EXPECT_EQ(acquisition.AcquireImages(&window, true, 1), 1);
  acquisition.CloseTwainSession();
  EXPECT_EQ(acquisition.AcquireMode(), 0);
  EXPECT_FALSE(session.TWIsDSMOpen());
}

}  // namespace
}  // namespace kamolt
