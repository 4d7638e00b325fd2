// Scan runs on the virtual scanner as the user lives through them: pages the source
// cancels, its own dialog closed, no source manager, the selection cancelled, the
// session ending under a scan, and every pixel type written in every format and read
// back by an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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

TEST_F(ScanRunFlowTest, EndingTheSessionUnderAnEnabledSourceAsksTheFirstCloseQuestion) {
  ScannerScript script("[Scanner]\nPages=1\n");
  Run("-S /CBMP /P96 /F2.54X2.54 /J /X " + Pic("E01"));
  const HWND scanner = WaitScannerDialog();
  ASSERT_TRUE(scanner);
  const HWND module = FindWindowA(kScanModuleClass, kScanModuleClass);
  ASSERT_TRUE(module);
  EXPECT_FALSE(IsWindowVisible(module));

  PostMessageA(module, WM_ENDSESSION, TRUE, 0);
  const MessageBoxSeen keep = Answer(IDCANCEL);
  EXPECT_EQ(keep.caption, "Close message");
  EXPECT_EQ(keep.text, "Disable and close the Source\n\rand unload and close the Source Manager?");
  EXPECT_FALSE(app_->WaitExit(std::chrono::milliseconds(500))) << "Cancel keeps the scan";
  EXPECT_TRUE(IsWindowVisible(scanner));

  PostMessageA(module, WM_ENDSESSION, TRUE, 0);
  const MessageBoxSeen close = Answer(IDOK);
  EXPECT_EQ(close.text, keep.text);
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20)));
  EXPECT_FALSE(IsWindow(scanner));
  EXPECT_FALSE(FileExists(Pic("E01.BMP")));
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
