// The scan dialog "Scan" as the user and the host meet it: the dialog read back from its
// real window, its refusals, help, and automatic scans on the virtual scanner handed to
// the host.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dialog_readback_win.h"
#include "host_standin_win.h"
#include "viewer_fixture_win.h"
#include "virtual_scanner_win.h"

namespace e2e {
namespace {

constexpr const char* kDialogClass = "TScan";
constexpr int kScannerMenuItem = 109;

enum Control : int {
  kLDateiname = 101,
  kDateiname,
  kLGrafikformat,
  kGrafikformat,
  kLDPI,
  kDPI,
  kColorBW,
  kColorGrey,
  kColorRGB,
  kFarbtiefe,
  kPapersize,
  kFormat,
  kLWidth1,
  kLWidth2,
  kWidth,
  kLHeight1,
  kLHeight2,
  kHeight,
  kSelectSource,
  kTwain,
  kTransmissive,
  kPixelFlavor,
  kDuplex,
  kOK,
  kAbbruch,
  kHilfe,
};

struct BmpFacts {
  int width = 0, height = 0, bitCount = 0;
};

BmpFacts ReadBmpFacts(const std::string& path) {
  const std::string file = ReadFileBytes(path);
  if (file.size() < 54 || file.compare(0, 2, "BM") != 0) throw std::runtime_error(path + " is no bitmap file");
  BITMAPINFOHEADER header;
  std::memcpy(&header, file.data() + 14, sizeof header);
  return {header.biWidth, header.biHeight, header.biBitCount};
}

class ScanDialogTest : public ViewerTest {
 protected:
  HWND WaitDialog() {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindTopLevel(app_->ProcessId(), kDialogClass, nullptr)) != nullptr; });
    return dialog;
  }
  void Settings(const char* section, const char* key, const char* value) const {
    WritePrivateProfileStringA(section, key, value, Ini().c_str());
  }
  // The help and the follow-up program are stand-ins that write down how they were started.
  bool InstallRecorder(const std::string& name) const {
    const char* tools = std::getenv("KAMOLT_TOOLS");
    return tools && CopyFileA((std::string(tools) + "\\start_recorder.exe").c_str(), (AppFolder() + "\\" + name).c_str(), FALSE);
  }
  std::string StartedLines() const {
    const std::string record = Pic("started.txt");
    return FileExists(record) ? ReadFileBytes(record) : "";
  }
  static void Type(HWND field, const std::string& text) {
    SendMessageA(field, EM_SETSEL, 0, -1);
    TypeText(field, text);
  }
  std::string Pic(const std::string& name) const { return PictureFolder() + "\\" + name; }
  std::string HandOffFile() const { return HandOffFileBeside(Exe()); }
};

TEST_F(ScanDialogTest, DialogShowsItsControlsListsAndSwitchesAsDesigned) {
  Settings("Others", "DefExt", "GIF");
  Settings("Others", "Filename0", "A.JPG");
  Settings("Others", "Filename4", "E.TIF");
  Settings("Scan", "DPI0", "150");
  Settings("Scan", "DPI3", "300");
  Settings("Scan", "DefDPI", "300");
  Settings("Scan", "Format1", "148,210,DIN A5");
  Settings("Scan", "Format2", "210,297,DIN A4");
  Settings("Scan", "DefFormat", "din a4");
  Settings("Scan", "Twain", "1");
  Settings("Scan", "PixelFlavor", "1");
  app_ = std::make_unique<App>(Exe(), "-S /B /P150 /F10X15.5 /D /Cpng C:\\P\\BILD01.tif", PictureFolder());
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  const HWND viewer = app_->WaitMainWindow(kViewerClass);

  EXPECT_EQ(WindowText(dialog), "Scan");
  EXPECT_EQ(WindowRect(dialog).left, 193);
  EXPECT_EQ(WindowRect(dialog).top, 107);
  EXPECT_EQ(ClientSize(dialog).cx, 258);
  EXPECT_EQ(ClientSize(dialog).cy, 351);

  const struct {
    int id;
    const char* caption;  // null: not compared
    int left, top, width, height;
  } designed[] = {
      {kLDateiname, "&Dateiname", 8, 8, 51, 13},
      {kDateiname, nullptr, 8, 24, 241, 21},
      {kLGrafikformat, "Grafikformat", 8, 56, 57, 13},
      {kGrafikformat, nullptr, 72, 48, 73, 21},
      {kLDPI, "DPI", 160, 56, 18, 13},
      {kDPI, nullptr, 184, 48, 65, 21},
      {kFarbtiefe, "Farbtiefe", 8, 80, 185, 73},
      {kColorBW, "Schwarz / Wei\xDF", 16, 96, 113, 17},
      {kColorGrey, "Graustufen", 16, 112, 113, 17},
      {kColorRGB, "Farbe", 16, 128, 113, 17},
      {kPapersize, "Papiergr\xF6\xDF" "e", 8, 160, 185, 81},
      {kFormat, nullptr, 8 + 8, 160 + 16, 169, 21},
      {kLWidth1, "Breite", 8 + 8, 160 + 48, 31, 13},
      {kLWidth2, "in mm", 8 + 8, 160 + 64, 31, 13},
      {kWidth, nullptr, 8 + 40, 160 + 48, 33, 21},
      {kLHeight1, "H\xF6he", 8 + 104, 160 + 48, 31, 13},
      {kLHeight2, "in mm", 8 + 104, 160 + 64, 31, 13},
      {kHeight, nullptr, 8 + 136, 160 + 48, 33, 21},
      {kSelectSource, "Select Source - Dialog", 8, 248, 137, 17},
      {kTwain, "Twain - Dialog", 160, 248, 89, 17},
      {kTransmissive, "Durchlicht", 8, 272, 137, 17},
      {kPixelFlavor, "Invers", 160, 272, 89, 17},
      {kDuplex, "Duplex", 8, 296, 145, 17},
      {kOK, "&OK", 8, 320, 65, 25},
      {kAbbruch, "&Abbruch", 88, 320, 65, 25},
      {kHilfe, "&Hilfe", 168, 320, 65, 25},
  };
  for (const auto& c : designed) {
    const HWND control = FindChild(dialog, c.id);
    ASSERT_TRUE(control) << c.id;
    const RECT r = BoundsIn(dialog, control);
    EXPECT_EQ(r.left, c.left) << c.id;
    EXPECT_EQ(r.top, c.top) << c.id;
    EXPECT_EQ(r.right - r.left, c.width) << c.id;
    EXPECT_EQ(r.bottom - r.top, c.height) << c.id;
    EXPECT_TRUE(HasStyle(control, WS_VISIBLE)) << c.id;
    if (c.caption) {
      EXPECT_EQ(WindowText(control), c.caption) << c.id;
    }
  }
  EXPECT_TRUE(HasStyle(FindChild(dialog, kOK), BS_DEFPUSHBUTTON)) << "OK is the default";
  std::vector<int> created;
  for (int id = kLDateiname; id <= kHilfe; ++id) created.push_back(id);
  EXPECT_EQ(ChildOrder(dialog), created);
  // Of the colour buttons Tab visits the one that is checked; the arrow keys go between them.
  EXPECT_EQ(TabOrder(dialog), (std::vector<int>{kDateiname, kGrafikformat, kDPI, kColorBW, kFormat, kWidth, kHeight,
                                                kSelectSource, kTwain, kTransmissive, kPixelFlavor, kDuplex, kOK,
                                                kAbbruch, kHilfe}));
  EXPECT_TRUE(HasStyle(FindChild(dialog, kColorBW), WS_GROUP));
  EXPECT_TRUE(HasStyle(FindChild(dialog, kFarbtiefe), WS_GROUP)) << "the colour buttons' group ends there";

  // Lists from the settings only; the title's extension comes after /C and wins.
  EXPECT_EQ(ComboEntries(FindChild(dialog, kGrafikformat)),
            (std::vector<std::string>{"<auto>", "PCX", "GIF", "JPG", "BMP", "PCD", "TIF", "EPS", "PNG"}));
  EXPECT_EQ(WindowText(FindChild(dialog, kGrafikformat)), "TIF");
  EXPECT_EQ(ComboEntries(FindChild(dialog, kDateiname)), (std::vector<std::string>{"A.JPG", "E.TIF"}));
  EXPECT_EQ(WindowText(FindChild(dialog, kDateiname)), "C:\\P\\BILD01");
  EXPECT_EQ(WindowText(viewer), "C:\\P\\BILD01");
  EXPECT_EQ(ComboEntries(FindChild(dialog, kDPI)), (std::vector<std::string>{"150", "300"}));
  EXPECT_EQ(WindowText(FindChild(dialog, kDPI)), "150") << "/P over DefDPI";
  EXPECT_EQ(ComboEntries(FindChild(dialog, kFormat)), (std::vector<std::string>{"DIN A5", "DIN A4"}));
  EXPECT_EQ(WindowText(FindChild(dialog, kFormat)), "DIN A4");
  EXPECT_EQ(WindowText(FindChild(dialog, kWidth)), "100") << "/F in centimetres";
  EXPECT_EQ(WindowText(FindChild(dialog, kHeight)), "155");
  EXPECT_TRUE(IsCheckedButton(FindChild(dialog, kColorBW)));
  EXPECT_FALSE(IsCheckedButton(FindChild(dialog, kColorRGB)));
  EXPECT_TRUE(IsCheckedButton(FindChild(dialog, kTwain)));
  EXPECT_TRUE(IsCheckedButton(FindChild(dialog, kTransmissive)));
  EXPECT_FALSE(IsCheckedButton(FindChild(dialog, kSelectSource)));
  EXPECT_FALSE(IsCheckedButton(FindChild(dialog, kDuplex)));
  const HWND invers = FindChild(dialog, kPixelFlavor);
  EXPECT_TRUE(IsCheckedButton(invers));
  EXPECT_TRUE(IsWindowEnabled(invers));
  EXPECT_FALSE(IsWindowEnabled(viewer)) << "modal over the viewer";
  EXPECT_EQ(FocusOf(dialog), ComboEdit(FindChild(dialog, kDateiname)));

  // Colour makes Invers unavailable and black and white gives it back, check mark unchanged.
  SendMessageA(FindChild(dialog, kColorRGB), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(invers); }));
  EXPECT_TRUE(IsCheckedButton(invers));
  SendMessageA(FindChild(dialog, kColorBW), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(invers); }));
  EXPECT_TRUE(IsCheckedButton(invers));

  // A paper size chosen by key or by typing its name shows its measures; another name does not.
  const HWND paper = ComboEdit(FindChild(dialog, kFormat));
  PressKey(paper, VK_UP);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(FindChild(dialog, kWidth)) == "148"; }));
  EXPECT_EQ(WindowText(FindChild(dialog, kHeight)), "210");
  Type(paper, "din a4");
  EXPECT_TRUE(WaitUntil([&] { return WindowText(FindChild(dialog, kWidth)) == "210"; }));
  EXPECT_EQ(WindowText(FindChild(dialog, kHeight)), "297");
  Type(paper, "A3");
  EXPECT_EQ(WindowText(FindChild(dialog, kWidth)), "210");

  // Abbruch ends the program; nothing was scanned, nothing handed off.
  SendCommand(dialog, kAbbruch);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
  EXPECT_FALSE(FileExists(HandOffFile()));
}

TEST_F(ScanDialogTest, OkRefusesWhatCannotBeScannedAndTheDialogStays) {
  app_ = std::make_unique<App>(Exe(), "-S", PictureFolder());
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  // Without a Scan section: no resolutions, no paper sizes, the designed paper name.
  EXPECT_TRUE(ComboEntries(FindChild(dialog, kDPI)).empty());
  EXPECT_EQ(WindowText(FindChild(dialog, kDPI)), "");
  EXPECT_TRUE(ComboEntries(FindChild(dialog, kFormat)).empty());
  EXPECT_EQ(WindowText(FindChild(dialog, kFormat)), "DIN A4");
  EXPECT_EQ(WindowText(FindChild(dialog, kWidth)), "0");
  EXPECT_EQ(WindowText(FindChild(dialog, kHeight)), "0");
  EXPECT_EQ(WindowText(FindChild(dialog, kGrafikformat)), "<auto>");
  EXPECT_FALSE(IsWindowEnabled(FindChild(dialog, kPixelFlavor))) << "colour as designed";

  const struct {
    const char* fileName;
    const char* width;
    const char* message;
    int focused;
  } refusals[] = {
      {"", "210", "Scannen ohne Dateiangabe nicht m\xF6glich !", kDateiname},
      {"S01", "21O", "Breite und H\xF6he bitte als Zahlen in mm angeben !", kWidth},
  };
  for (const auto& r : refusals) {
    SetWindowTextA(FindChild(dialog, kDateiname), r.fileName);
    SetWindowTextA(FindChild(dialog, kWidth), r.width);
    SendCommand(dialog, kOK);
    const auto box = WaitMessageBox(app_->ProcessId());
    ASSERT_TRUE(box) << r.message;
    EXPECT_EQ(box->caption, "Scanner");
    EXPECT_EQ(box->text, r.message);
    AnswerMessageBox(box->hwnd);
    const HWND field = FindChild(dialog, r.focused);
    EXPECT_TRUE(WaitUntil([&] {
      const HWND focus = FocusOf(dialog);
      return focus == field || GetParent(focus) == field;
    })) << r.message;
    EXPECT_TRUE(IsWindowVisible(dialog)) << r.message;
  }

  // Hilfe and F1 open the help file in Wine's own help viewer, once each.
  {
    InstallHelpFile();
    const HelpViewersEnded ended;
    SendCommand(dialog, kHilfe);
    EXPECT_TRUE(WaitHelpWindows(1)) << "Hilfe: Wine's hh.exe showed no window titled " << kHelpTitle;
    PressKey(FindChild(dialog, kDateiname), VK_F1);
    EXPECT_TRUE(WaitHelpWindows(2)) << "F1 in the dialog";
    EXPECT_FALSE(MoreHelpWindowsThan(2)) << "help started twice";
  }

  // The close box closes the dialog only; the viewer's menu item opens it anew, in any mode.
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(viewer) != FALSE; }));
  EXPECT_FALSE(app_->WaitExit(std::chrono::milliseconds(300)));
  SendCommand(viewer, kScannerMenuItem);
  const HWND again = WaitDialog();
  ASSERT_TRUE(again);
  EXPECT_EQ(WindowText(FindChild(again, kWidth)), "0") << "read from the settings again";
  SendCommand(again, kAbbruch);
  ASSERT_TRUE(app_->WaitExit());
}

class ScanRunTest : public ScanDialogTest {
 protected:
  void SetUp() override {
    if (!VirtualScannerInstalled()) GTEST_SKIP() << "the virtual scanner is not installed in this Wine prefix";
    ScanDialogTest::SetUp();
    Settings("Scan", "DPI0", "96");
    Settings("Scan", "DPI1", "150");
  }
};

TEST_F(ScanRunTest, AutomaticScanWritesThePageAsSetAndTheViewerStaysWithBareV) {
  ScannerScript script("[Scanner]\nPages=1\n");
  // 2.54 cm by 5.08 cm at 96 dpi: 96 by 192 pixels.
  app_ = std::make_unique<App>(Exe(), "-S /CJPG /P96 /F2.54X5.08 /G /X /V " + Pic("S01.bmp"), PictureFolder());
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  ASSERT_TRUE(viewer);
  ASSERT_TRUE(WaitForFile(HandOffFile()));
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("S01.BMP") + "'1'S") << "the title's extension wins over /C";
  const BmpFacts page = ReadBmpFacts(Pic("S01.BMP"));
  EXPECT_EQ(page.width, 96);
  EXPECT_EQ(page.height, 192);
  EXPECT_EQ(page.bitCount, 8) << "grey";
  EXPECT_TRUE(WaitUntil([&] { return WindowText(viewer).find("(96x192)") != std::string::npos; }))
      << WindowText(viewer);
  EXPECT_EQ(FindTopLevel(app_->ProcessId(), kDialogClass, nullptr), nullptr) << "never shown";
  EXPECT_FALSE(app_->WaitExit(std::chrono::milliseconds(500))) << "the viewer stays open";
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
}

TEST_F(ScanRunTest, OkInTheShownDialogScansWhatTheUserChoseAndTheViewerShowsThePicture) {
  ScannerScript script("[Scanner]\nPages=1\n");
  Settings("Scan", "DefDPI", "96");
  Settings("Scan", "Format0", "25,50,Streifen");
  Settings("Scan", "Format1", "215.9,279.4,Letter");
  Settings("Scan", "DefFormat", "Letter");
  app_ = std::make_unique<App>(Exe(), "-S " + Pic("I01"), PictureFolder());
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  const HWND viewer = app_->WaitMainWindow(kViewerClass);

  // A paper size keeps its decimals, as the settings give it and after changes there and back.
  const HWND width = FindChild(dialog, kWidth);
  const HWND height = FindChild(dialog, kHeight);
  EXPECT_EQ(WindowText(width) + "x" + WindowText(height), "215.9x279.4");
  const HWND paper = ComboEdit(FindChild(dialog, kFormat));
  const struct {
    WORD key;
    const char* size;
  } changes[] = {{VK_UP, "25x50"}, {VK_DOWN, "215.9x279.4"}, {VK_UP, "25x50"}};
  for (const auto& change : changes) {
    PressKey(paper, change.key);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(width) + "x" + WindowText(height) == change.size; }))
        << change.size << " shows " << WindowText(width) << "x" << WindowText(height);
  }

  // The format is picked from the list, never typed: a letter picks the entry it begins.
  const HWND format = FindChild(dialog, kGrafikformat);
  EXPECT_TRUE(HasStyle(format, CBS_DROPDOWNLIST));
  EXPECT_EQ(ComboEdit(format), nullptr);
  TypeText(format, "b");
  EXPECT_TRUE(WaitUntil([&] { return WindowText(format) == "BMP"; })) << WindowText(format);
  SendCommand(dialog, kOK);
  ASSERT_TRUE(WaitForFile(Pic("I01.BMP")));
  EXPECT_EQ(ReadBmpFacts(Pic("I01.BMP")).height, 189) << "50 mm at 96 dpi";
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "a scan closes the dialog";
  EXPECT_TRUE(WaitUntil([&] { return WindowText(viewer).find("I01.BMP") != std::string::npos; }))
      << WindowText(viewer);
  EXPECT_TRUE(IsWindowEnabled(viewer));
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("I01.BMP") + "'1'S");
  EXPECT_FALSE(app_->WaitExit(std::chrono::milliseconds(300))) << "the viewer stays";
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
}

TEST_F(ScanRunTest, ThreePagesGoToTheHostAndTheFollowUpProgramOpensTheLast) {
  if (!InstallRecorder("OPENER.EXE")) GTEST_SKIP() << "no stand-in program: run through ./kamolt.sh test";
  InstallModules();
  ScannerScript script("[Scanner]\nPages=3\n");
  HostStandIn host("TFormTelnetMain");
  // Without /C the run chooses the format itself, whatever the title's extension chose:
  // black-and-white pages become PCX files.
  app_ = std::make_unique<App>(Exe(), "-S /P96 /F2.54X2.54 /B /X /Vopener " + Pic("T01.bmp"), PictureFolder());
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20)));
  EXPECT_EQ(app_->ExitCode(), 0u);
  for (const char* name : {"T01.PCX", "T02.PCX", "T03.PCX"}) EXPECT_TRUE(FileExists(Pic(name))) << name;
  EXPECT_FALSE(FileExists(Pic("T01.BMP")));
  const std::string text = Pic("T03.PCX") + "'3'S";
  EXPECT_EQ(ReadFileBytes(HandOffFile()), text);
  ASSERT_TRUE(host.WaitMessages(1));
  EXPECT_EQ(host.Messages().front().record, "\x04OBILD01" + text + "\x04");
  EXPECT_TRUE(WaitUntil([&] { return StartedLines().find('\n') != std::string::npos; }));
  EXPECT_EQ(StartedLines().substr(0, StartedLines().find('\t')), "OPENER " + Pic("T03.PCX"));
}

TEST_F(ScanRunTest, AutomaticScanThatWritesNothingEndsWithAFailureCode) {
  ScannerScript script("[Scanner]\nPages=0\n");
  app_ = std::make_unique<App>(Exe(), "-S /CBMP /X /V " + Pic("N01"), PictureFolder());
  // Nothing scanned ends the program even with a bare /V.
  ASSERT_TRUE(app_->WaitExit(std::chrono::seconds(20)));
  EXPECT_NE(app_->ExitCode(), 0u);
  EXPECT_FALSE(FileExists(Pic("N01.BMP")));
  EXPECT_FALSE(FileExists(HandOffFile()));
}

}  // namespace
}  // namespace e2e
