// Scan runs on the virtual scanner as the user lives through them: pages the source
// cancels or fails, pages that cannot be written, its own dialog closed, no source manager,
// the selection cancelled, the viewer closed and the session ending under a scan, and
// every pixel type written in every format and read back by an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/viewer_menu.h"
#include "host_standin_win.h"
#include "tools/virtual_scanner/page_pattern.h"
#include "unix_tools_win.h"
#include "viewer_fixture_win.h"
#include "virtual_scanner_win.h"

namespace e2e {
namespace {

using kamolt::scanner::GreyLevel;
using kamolt::scanner::IsLight;
using kamolt::scanner::kPatternPalette;
using kamolt::scanner::PatternIndex;
using kamolt::scanner::Rgb;

constexpr const char* kScannerDialogClass = "KamoltVirtualScannerDialog";
constexpr const char* kScanModuleClass = "ZelvoScanModul";
constexpr const char* kStripOperation = "DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET";

// The source manager moved out of the Windows folder for one test, and back whatever happens.
class SourceManagerAway {
 public:
  SourceManagerAway() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    path_ = std::string(windows) + "\\twain_32.dll";
    away_ = path_ + ".away";
    // A run that was killed midway left it aside.
    if (!FileExists(path_) && FileExists(away_)) MoveFileA(away_.c_str(), path_.c_str());
    moved_ = MoveFileA(path_.c_str(), away_.c_str()) != FALSE;
  }
  ~SourceManagerAway() {
    if (moved_) MoveFileA(away_.c_str(), path_.c_str());
  }
  SourceManagerAway(const SourceManagerAway&) = delete;
  SourceManagerAway& operator=(const SourceManagerAway&) = delete;
  bool Moved() const { return moved_; }

 private:
  std::string path_, away_;
  bool moved_ = false;
};

// How a page of the pattern must look once written: which colour a pixel of the pattern
// becomes in the pixel type it was scanned in.
enum class Looks { Colour, Grey, BlackWhite };

Rgb Expected(Looks looks, int paletteIndex) {
  const Rgb colour = kPatternPalette[paletteIndex];
  switch (looks) {
    case Looks::Grey: {
      const std::uint8_t level = GreyLevel(colour);
      return {level, level, level};
    }
    case Looks::BlackWhite: return IsLight(colour) ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
    default: return colour;
  }
}

struct Difference {
  int largest = 0;        // the largest difference of one channel
  double mean = 0;        // over every channel of every pixel
  double beyond = 0;      // share of pixels with a channel more than 48 off
};

Difference CompareWithPattern(const RgbImage& image, int pageNumber, Looks looks) {
  Difference d;
  long long sum = 0;
  long long distant = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const Rgb want = Expected(looks, PatternIndex(image.width, image.height, pageNumber, x, y));
      const auto* got = reinterpret_cast<const unsigned char*>(image.rgb.data()) + 3 * (y * image.width + x);
      const int channels[3] = {std::abs(got[0] - want.r), std::abs(got[1] - want.g), std::abs(got[2] - want.b)};
      int worst = 0;
      for (int c : channels) {
        sum += c;
        worst = std::max(worst, c);
      }
      d.largest = std::max(d.largest, worst);
      if (worst > 48) ++distant;
    }
  }
  const double pixels = static_cast<double>(image.width) * image.height;
  if (pixels > 0) {
    d.mean = sum / (3 * pixels);
    d.beyond = distant / pixels;
  }
  return d;
}

class ScanRunFlowTest : public ViewerTest {
 protected:
  void SetUp() override {
    if (!VirtualScannerInstalled()) GTEST_SKIP() << "the virtual scanner is not installed in this Wine prefix";
    ViewerTest::SetUp();
    Settings("Scan", "DPI0", "96");
  }
  void Settings(const char* section, const char* key, const char* value) const {
    WritePrivateProfileStringA(section, key, value, Ini().c_str());
  }
  std::string Pic(const std::string& name) const { return PictureFolder() + "\\" + name; }
  std::string HandOffFile() const { return HandOffFileBeside(Exe()); }
  void Run(const std::string& arguments) {
    app_ = std::make_unique<App>(Exe(), arguments, PictureFolder());
  }
  // The box the program shows next, answered; its caption and text for the test to compare.
  MessageBoxSeen Answer(int button = IDOK) {
    const auto box = WaitMessageBox(app_->ProcessId());
    if (!box) return {nullptr, "<no box>", ""};
    AnswerMessageBox(box->hwnd, button);
    return *box;
  }
  HWND WaitScannerDialog() {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindTopLevel(app_->ProcessId(), kScannerDialogClass, nullptr)) != nullptr; });
    return dialog;
  }
  // Every page of the pattern is told apart by its number, so a page is checked whole.
  static void ExpectPage(const std::string& path, int pageNumber, Looks looks) {
    const RgbImage image = ReadWithImageMagick(path);
    ASSERT_GT(image.width, 0) << path;
    const Difference d = CompareWithPattern(image, pageNumber, looks);
    EXPECT_EQ(d.largest, 0) << path << " is not page " << pageNumber;
  }
};

TEST_F(ScanRunFlowTest, SourceCancellingTheSecondOfThreePagesLeavesTheOthersInSuccessiveFiles) {
  InstallModules();
  ScannerScript script("[Scanner]\nPages=3\nCancelPage=2\n");
  Run("-S /CBMP /P96 /F2.54X2.54 /G /X " + Pic("K01"));
  // The source's cancel is told, then that its transfer brought no picture; the run goes on.
  const MessageBoxSeen cancel = Answer();
  EXPECT_EQ(cancel.caption, kStripOperation);
  EXPECT_EQ(cancel.text, "TWRC_CANCEL");
  const MessageBoxSeen noPicture = Answer();
  EXPECT_EQ(noPicture.caption, "PM_XFERDONE");
  EXPECT_EQ(noPicture.text, "Handle to BitMap Invalid");
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20))) << "no close question may follow";
  EXPECT_EQ(app_->ExitCode(), 0u);
  ExpectPage(Pic("K01.BMP"), 1, Looks::Grey);
  ExpectPage(Pic("K02.BMP"), 3, Looks::Grey);
  EXPECT_FALSE(FileExists(Pic("K03.BMP")));
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("K02.BMP") + "'2'S");
}

TEST_F(ScanRunFlowTest, ClosingTheSourcesDialogEndsTheRunWithoutAQuestion) {
  ScannerScript script("[Scanner]\nPages=1\n");
  Run("-S /CBMP /P96 /F2.54X2.54 /J /X " + Pic("C01"));
  const HWND scanner = WaitScannerDialog();
  ASSERT_TRUE(scanner) << "the source shows its dialog with /J";
  PostMessageA(scanner, WM_COMMAND, IDCANCEL, 0);
  // A question or a box would hold the program open.
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20)));
  EXPECT_NE(app_->ExitCode(), 0u) << "an automatic scan that wrote nothing";
  EXPECT_FALSE(FileExists(Pic("C01.BMP")));
  EXPECT_FALSE(FileExists(HandOffFile()));
}

// The end of the scan's own log: the source disabled and closed, in that order, and
// nothing asked of it after.
constexpr const char* kSourceClosed = "DS Disabled\r\nCloseDS\r\n";
constexpr const char* kTwainLog = "C:\\twacker.log";
std::string TwainLogEnd() {
  const std::string log = ReadFileBytes(kTwainLog);
  const std::size_t length = std::strlen(kSourceClosed);
  return log.substr(log.size() > length ? log.size() - length : 0);
}

TEST_F(ScanRunFlowTest, TheViewerClosedUnderTheSourcesDialogEndsTheRunClosesTheSourceAndStartsNoOther) {
  struct Way {
    const char* name;
    void (*close)(HWND viewer, DWORD processId);
  };
  const Way ways[] = {
      {"close box", [](HWND viewer, DWORD) { PostMessageA(viewer, WM_CLOSE, 0, 0); }},
      {"Esc", [](HWND viewer, DWORD) { PressKey(viewer, VK_ESCAPE); }},
      {"Delete", [](HWND viewer, DWORD) { PressKey(viewer, VK_DELETE); }},
      {"end of the session",
       [](HWND, DWORD processId) {
         // As the system does it: every top-level window is asked, then told; the scan's is hidden.
         std::vector<HWND> windows = TopLevelWindows(processId);
         windows.push_back(FindWindowA(kScanModuleClass, kScanModuleClass));
         for (HWND window : windows) {
           DWORD_PTR agreed = 0;
           SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &agreed);
           EXPECT_TRUE(agreed) << ClassName(window);
         }
         for (HWND window : windows) {
           SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
         }
         // The process may be ended the moment the last window has answered.
         EXPECT_EQ(TwainLogEnd(), kSourceClosed);
       }},
  };
  ScannerScript script("[Scanner]\nPages=1\n");
  int run = 0;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    DeleteFileA(kTwainLog);
    const std::string base = "V" + std::to_string(++run) + "01";
    Run("-S /CBMP /P96 /F2.54X2.54 /J /X " + Pic(base));
    const HWND scanner = WaitScannerDialog();
    ASSERT_TRUE(scanner);
    const HWND viewer = FindTopLevel(app_->ProcessId(), "TViewer", nullptr);
    ASSERT_TRUE(viewer);
    way.close(viewer, app_->ProcessId());
    ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(10))) << "the run hangs";
    EXPECT_FALSE(IsWindow(scanner));
    EXPECT_EQ(TwainLogEnd(), kSourceClosed);
    EXPECT_EQ(app_->ExitCode(), 1u) << "nothing was written";
    EXPECT_FALSE(FileExists(Pic(base + ".BMP")));
    EXPECT_FALSE(FileExists(HandOffFile()));
  }
  // The source is free for the next scan, which Scanner or Zwischenablage in the viewer
  // do not disturb: no second run starts inside it.
  Run("-S /CBMP /P96 /F2.54X2.54 /G /J /X " + Pic("N01"));
  const HWND scanner = WaitScannerDialog();
  ASSERT_TRUE(scanner);
  const HWND viewer = FindTopLevel(app_->ProcessId(), "TViewer", nullptr);
  SendCommand(viewer, kamolt::viewer_menu::kMenuScan);
  EXPECT_FALSE(WaitMessageBox(app_->ProcessId(), std::chrono::seconds(1))) << "a second scan was started";
  SendCommand(viewer, kamolt::viewer_menu::kMenuClipb);
  EXPECT_FALSE(WaitUntil([&] { return FindTopLevel(app_->ProcessId(), "TAblage", nullptr); }, std::chrono::seconds(1)));
  PostMessageA(scanner, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20)));
  EXPECT_EQ(app_->ExitCode(), 0u);
  ExpectPage(Pic("N01.BMP"), 1, Looks::Grey);
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("N01.BMP") + "'1'S");
}

TEST_F(ScanRunFlowTest, TheViewerClosedInTheMiddleOfAFeederRunKeepsAndReportsWhatWasWritten) {
  ScannerScript script("[Scanner]\nPages=3\nFailPage=2\n");
  DeleteFileA(kTwainLog);
  Run("-S /CBMP /P96 /F2.54X2.54 /G /X " + Pic("H01"));
  // The second page's failure is being told when the viewer is closed.
  const auto failure = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->caption, "Operation Status");
  const HWND viewer = FindTopLevel(app_->ProcessId(), "TViewer", nullptr);
  ASSERT_TRUE(viewer);
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(10))) << "the run hangs";
  EXPECT_EQ(app_->ExitCode(), 2u) << "one page written, one lost";
  ExpectPage(Pic("H01.BMP"), 1, Looks::Grey);
  EXPECT_FALSE(FileExists(Pic("H02.BMP"))) << "no page is taken after the close";
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("H01.BMP") + "'1'S");
  EXPECT_EQ(TwainLogEnd(), kSourceClosed);
}

// Pages the source fails or cannot end, pages that cannot be written, and sources that
// behave as real ones may: the length known only when the page ends, no preferred buffer
// and a least one above 64 KiB, their own dialog shown although asked not to, strips of
// nothing before the rows, or nothing but such strips. Every run ends with the source
// closed, only written pages count, and the exit code says how many were.
TEST_F(ScanRunFlowTest, EveryRunEndsAndTheExitCodeAndHandOffCountOnlyThePagesWritten) {
  InstallModules();
  struct Case {
    const char* name;
    const char* script;
    const char* base;
    bool folderInTheWay;  // a folder of the second page's name keeps it from being written
    unsigned exitCode;
    const char* handOff;  // the last file written and the count; "" for none
    int lastPage;         // the page that file holds
    std::optional<std::vector<std::string>> boxes;  // what the run tells, where it matters
  };
  using Boxes = std::vector<std::string>;
  const Boxes noData{std::string(kStripOperation) + " | No image data in DoMemTransfer",
                     "PM_XFERDONE | Handle to BitMap Invalid"};
  const Case cases[] = {
      {"the source fails the second of three", "Pages=3\nFailPage=2\n", "F", false, 2, "F02.BMP'2'S", 3, {}},
      {"the source fails the only page", "Pages=1\nFailPage=1\n", "O", false, 1, "", 0, {}},
      {"the second of two cannot be written", "Pages=2\n", "D", true, 2, "D01.BMP'1'S", 1, {}},
      {"all three written", "Pages=3\n", "A", false, 0, "A03.BMP'3'S", 3, Boxes{}},
      {"the source cannot end the first of three", "Pages=3\nFailEndTransfer=1\n", "T", false, 2, "T01.BMP'1'S", 1, {}},
      {"length unknown until the end", "Pages=1\nUnknownLength=1\n", "L", false, 0, "L01.BMP'1'S", 1, Boxes{}},
      {"a least buffer above 64 KiB", "Pages=1\nPreferredBuffer=0\nMinBuffer=100000\n", "B", false, 0, "B01.BMP'1'S", 1,
       Boxes{}},
      {"its dialog shown anyway", "Pages=1\nCheckStatusOnEnable=1\n", "U", false, 0, "U01.BMP'1'S", 1, Boxes{}},
      {"a few empty strips", "Pages=1\nEmptyStrips=5\n", "E", false, 0, "E01.BMP'1'S", 1, Boxes{}},
      {"nothing but empty strips", "Pages=1\nEmptyStrips=100000000\n", "N", false, 1, "", 0, noData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileA(HandOffFile().c_str());
    const std::string base = Pic(std::string(c.base));
    if (c.folderInTheWay) CreateDirectoryA((base + "02.BMP").c_str(), nullptr);
    ScannerScript script(std::string("[Scanner]\n") + c.script);
    Run("-S /CBMP /P96 /F2.54X2.54 /G /X " + base + "01");
    // Every failure is told in a box or two; the run goes on past each.
    Boxes told;
    for (;;) {
      std::optional<MessageBoxSeen> box;
      ASSERT_TRUE(WaitUntil(
          [&] { return app_->WaitExit(std::chrono::milliseconds(0)) || (box = WaitMessageBox(app_->ProcessId(), {})); },
          std::chrono::seconds(20)))
          << "the run neither ends nor asks";
      if (!box) break;
      told.push_back(box->caption + " | " + box->text);
      AnswerMessageBox(box->hwnd);
    }
    if (c.boxes) {
      EXPECT_EQ(told, *c.boxes);
    }
    EXPECT_EQ(app_->ExitCode(), c.exitCode);
    EXPECT_EQ(FileExists(HandOffFile()) ? ReadFileBytes(HandOffFile()) : std::string(),
              *c.handOff ? PictureFolder() + "\\" + c.handOff : std::string());
    if (c.lastPage > 0) {
      const std::string handOff = c.handOff;
      ExpectPage(PictureFolder() + "\\" + handOff.substr(0, handOff.find('\'')), c.lastPage, Looks::Grey);
    } else {
      EXPECT_FALSE(FileExists(base + "01.BMP"));
    }
    EXPECT_EQ(TwainLogEnd(), kSourceClosed);
    if (c.folderInTheWay) RemoveDirectoryA((base + "02.BMP").c_str());
  }
}

TEST_F(ScanRunFlowTest, WithoutTheSourceManagerTheBoxSaysSoAndNothingIsWritten) {
  ScannerScript script("[Scanner]\nPages=1\n");
  SourceManagerAway away;
  ASSERT_TRUE(away.Moved()) << "the bench prefix has no twain_32.dll in the Windows folder";
  Run("-S /CBMP /P96 /F2.54X2.54 /X " + Pic("M01"));
  const MessageBoxSeen box = Answer();
  EXPECT_EQ(box.caption, "TWAIN_32.DLL");
  EXPECT_EQ(box.text, "Error in Open, LoadLibrary, or GetProcAddress.\nTwain DLL may not exist.");
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20))) << "no close question may follow";
  EXPECT_NE(app_->ExitCode(), 0u);
  EXPECT_FALSE(FileExists(Pic("M01.BMP")));
  EXPECT_FALSE(FileExists(HandOffFile()));
}

TEST_F(ScanRunFlowTest, CancelledSelectionStillScansWithTheDefaultSource) {
  ScannerScript script("[Scanner]\nPages=1\n");
  Run("-S /CBMP /P96 /F2.54X2.54 /G /S /X " + Pic("W01"));
  // The source manager's own selection dialog: any dialog of the program but a message box.
  HWND selection = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND window : TopLevelWindows(app_->ProcessId())) {
      if (ClassName(window) == "#32770" && FindChild(window, 0xFFFF) == nullptr) selection = window;
    }
    return selection != nullptr;
  })) << "the selection dialog did not show";
  PostMessageA(selection, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20)));
  EXPECT_EQ(app_->ExitCode(), 0u);
  ExpectPage(Pic("W01.BMP"), 1, Looks::Grey);
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("W01.BMP") + "'1'S");
}

TEST_F(ScanRunFlowTest, EveryPixelTypeIsWrittenInEveryFormatAsScanned) {
  InstallModules();
  struct Kind {
    const char* name;
    const char* script;  // besides the page count and the rows
    const char* colourSwitch;
    Looks looks;
  };
  const Kind kinds[] = {
      {"black/white", "", "/B", Looks::BlackWhite},
      {"black/white, zero is white", "PixelFlavor=1\n", "/B", Looks::BlackWhite},
      {"grey", "", "/G", Looks::Grey},
      {"RGB", "", "/R", Looks::Colour},
      {"palette", "PixelType=PALETTE\n", "/R", Looks::Colour},
  };
  struct Writing {
    const char* format;
    bool padded;  // rows in the transfer padded to 4 bytes or sent as they are
  };
  const Writing writings[] = {{"JPG", false}, {"TIF", false}, {"BMP", false}, {"PNG", false}, {"BMP", true}};
  int run = 0;
  for (const Kind& kind : kinds) {
    for (const Writing& writing : writings) {
      const std::string what = std::string(kind.name) + " as " + writing.format + (writing.padded ? ", padded" : "");
      SCOPED_TRACE(what);
      // 97 pixels: no row of any pixel type is a whole number of 4 bytes.
      ScannerScript script(std::string("[Scanner]\nPages=1\nImageWidth=97\nImageLength=64\nPadRows=") +
                           (writing.padded ? "1\n" : "0\n") + kind.script);
      const std::string base = "P" + std::to_string(++run) + "01";
      Run(std::string("-S /C") + writing.format + " /P96 /F2.54X2.54 " + kind.colourSwitch + " /X " + Pic(base));
      ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20)));
      EXPECT_EQ(app_->ExitCode(), 0u);
      const std::string file = Pic(base + "." + writing.format);
      ASSERT_TRUE(FileExists(file));
      const RgbImage image = ReadWithImageMagick(file);
      EXPECT_EQ(image.width, 97);
      EXPECT_EQ(image.height, 64);
      const Difference d = CompareWithPattern(image, 1, kind.looks);
      if (std::string(writing.format) == "JPG") {
        // Within the error of the compression: small on average, large only along the
        // edges of the colour bars, where colour is kept at half resolution.
        EXPECT_LT(d.mean, 6.0);
        EXPECT_LT(d.beyond, 0.08);
      } else {
        EXPECT_EQ(d.largest, 0) << "mean difference " << d.mean;
      }
    }
  }
}

}  // namespace
}  // namespace e2e
