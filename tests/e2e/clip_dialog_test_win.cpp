// The clip/grab dialog "Ablage" as the host and the user meet it: unattended runs that save
// the clipboard's picture, grabs of the capture test application, a key-triggered series
// handed to the host, and the dialog's own window read back control by control.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "app/png_reader.h"
#include "host_standin_win.h"
#include "test_pictures_win.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

constexpr const char* kDialogClass = "TAblage";
constexpr const char* kCaptureAppClass = "KamoltCaptureTestApp";

enum Control : int {
  kOK = 101,
  kLDateiname,
  kDateiname,
  kGrafikformat,
  kLGrafikformat,
  kCapWin,
  kLCapWin,
  kAbbruch,
  kHilfe,
  kPortname,
  kLPortname,
  kBeep,
  kInvers,
  kWavFile,
  kLCharKey,
  kCharKey,
  kGrab,
};

// Pixels top row first, as 0x00BBGGRR.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> colours;
  COLORREF At(int x, int y) const { return colours[static_cast<std::size_t>(y) * width + x]; }
};

// A packed DIB of 24 or 32 bits, uncompressed or with the usual 32-bit masks.
Pixels FromDib(const std::uint8_t* dib, std::size_t size) {
  BITMAPINFOHEADER header;
  if (size < sizeof header) throw std::runtime_error("DIB too short");
  std::memcpy(&header, dib, sizeof header);
  const int bytesPerPixel = header.biBitCount / 8;
  if ((bytesPerPixel != 3 && bytesPerPixel != 4) || header.biCompression == BI_RLE8) {
    throw std::runtime_error("unexpected DIB of " + std::to_string(header.biBitCount) + " bits");
  }
  const std::size_t masks = header.biCompression == BI_BITFIELDS && header.biSize == 40 ? 12 : 0;
  const std::uint8_t* bits = dib + header.biSize + masks + header.biClrUsed * 4;
  Pixels p;
  p.width = header.biWidth;
  p.height = std::abs(header.biHeight);
  const std::size_t row = (static_cast<std::size_t>(p.width) * bytesPerPixel + 3) & ~std::size_t{3};
  if (static_cast<std::size_t>(bits - dib) + row * p.height > size) throw std::runtime_error("DIB cut short");
  for (int y = 0; y < p.height; ++y) {
    const std::uint8_t* line = bits + row * (header.biHeight > 0 ? p.height - 1 - y : y);
    for (int x = 0; x < p.width; ++x) {
      const std::uint8_t* px = line + static_cast<std::size_t>(x) * bytesPerPixel;
      p.colours.push_back(RGB(px[2], px[1], px[0]));
    }
  }
  return p;
}

Pixels PngPixels(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  const auto read = kamolt::ReadPngAsDib(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  if (const auto* error = std::get_if<kamolt::PngReadError>(&read)) throw std::runtime_error(error->message);
  const auto& dib = std::get<std::vector<std::uint8_t>>(read);
  return FromDib(dib.data(), dib.size());
}

// Colour stripes that no two neighbouring pixels share.
std::vector<std::uint8_t> PatternDib(int width, int height) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  std::vector<std::uint8_t> dib(sizeof header + row * height);
  std::memcpy(dib.data(), &header, sizeof header);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* px = dib.data() + sizeof header + row * y + x * 3;
      px[0] = static_cast<std::uint8_t>(x * 6);
      px[1] = static_cast<std::uint8_t>(y * 8);
      px[2] = static_cast<std::uint8_t>(255 - x * 3 - y);
    }
  }
  return dib;
}

void PutOnClipboard(UINT format, const void* data, std::size_t size) {
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(block), data, size);
  GlobalUnlock(block);
  ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }));
  EmptyClipboard();
  if (!SetClipboardData(format, block)) GlobalFree(block);
  CloseClipboard();
}

void EmptyTheClipboard() {
  if (WaitUntil([] { return OpenClipboard(nullptr) != FALSE; })) {
    EmptyClipboard();
    CloseClipboard();
  }
}

bool ClipboardHasPicture() { return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP); }

Pixels ClipboardPixels() {
  if (!WaitUntil([] { return OpenClipboard(nullptr) != FALSE; })) throw std::runtime_error("clipboard busy");
  Pixels p;
  if (const HANDLE dib = GetClipboardData(CF_DIB)) {
    p = FromDib(static_cast<const std::uint8_t*>(GlobalLock(dib)), GlobalSize(dib));
    GlobalUnlock(dib);
  }
  CloseClipboard();
  return p;
}

// Asked in UTF-16: the ANSI form does not cross the process boundary whole under Wine.
std::vector<std::string> ComboEntries(HWND combo) {
  std::vector<std::string> entries;
  const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t wide[512] = L"";
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
    char entry[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, entry, sizeof entry, nullptr, nullptr);
    entries.emplace_back(entry);
  }
  return entries;
}

// A control's bounds in its dialog's client area.
RECT BoundsIn(HWND dialog, HWND control) {
  RECT r = WindowRect(control);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Visible(HWND control) { return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0; }

// Ctrl+Alt+key through the system's input queue as the user presses it while the dialog is
// in front: no window is brought forward and no control focused for it, so the dialog itself
// must have put the focus where the key is seen.
void PressCtrlAltInTheDialog(HWND dialog, WORD key) {
  ASSERT_TRUE(WaitUntil([&] {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    return GetForegroundWindow() == dialog && GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread) &&
           IsChild(dialog, thread.hwndFocus);
  })) << "the dialog is not in front with a control focused";
  constexpr UINT kStrokes = 6;
  const WORD order[kStrokes] = {VK_CONTROL, VK_MENU, key, key, VK_MENU, VK_CONTROL};
  INPUT inputs[kStrokes]{};
  for (UINT i = 0; i < kStrokes; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = order[i];
    inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(order[i], MAPVK_VK_TO_VSC));
    inputs[i].ki.dwFlags = i < kStrokes / 2 ? 0 : KEYEVENTF_KEYUP;
  }
  ASSERT_EQ(SendInput(kStrokes, inputs, sizeof(INPUT)), kStrokes);
}

class ClipDialogTest : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    EmptyTheClipboard();
  }
  void TearDown() override { EmptyTheClipboard(); }

  // The capture test application, its frame held still.
  HWND StartCaptureApp(const std::string& arguments) {
    captureApps_.push_back(std::make_unique<App>(DistFolder() + "\\CapTestApp.exe", arguments, ""));
    const HWND window = captureApps_.back()->WaitMainWindow(kCaptureAppClass);
    if (!window) ADD_FAILURE() << "the capture test application did not show up";
    return window;
  }
  // What the capture application shows, as it copies it itself.
  // The clipboard is left empty, so only a real capture can give the dialog a picture.
  static Pixels CaptureAppFrame(HWND app) {
    EmptyTheClipboard();
    SendMessageA(app, WM_CHAR, 3, 0x2E0001);
    Pixels frame = ClipboardPixels();
    EmptyTheClipboard();
    return frame;
  }

  HWND WaitDialog() {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindTopLevel(app_->ProcessId(), kDialogClass, nullptr)) != nullptr; });
    return dialog;
  }

  // Waits for the program's end, watching that the dialog never shows meanwhile.
  void ExpectEndsUnseen(DWORD exitCode) {
    bool seen = false;
    const bool ended = WaitUntil([&] {
      seen = seen || FindTopLevel(app_->ProcessId(), kDialogClass, nullptr) != nullptr;
      return WaitForSingleObject(app_->Process(), 0) == WAIT_OBJECT_0;
    });
    ASSERT_TRUE(ended) << "the program did not end";
    EXPECT_FALSE(seen) << "the dialog showed itself";
    EXPECT_EQ(app_->ExitCode(), exitCode);
  }

  std::string Pic(const std::string& name) const { return PictureFolder() + "\\" + name; }
  std::string HandOffFile() const { return HandOffFileBeside(Exe()); }

  std::vector<std::unique_ptr<App>> captureApps_;
};

TEST_F(ClipDialogTest, UnattendedRunSavesTheClipboardPictureAndOpensItInTheViewerProgram) {
  const char* tools = std::getenv("KAMOLT_TOOLS");
  if (!tools) GTEST_SKIP() << "no stand-in program to open the picture: run through ./kamolt.sh test";
  // Found beside the program; it notes how it was started in its working folder.
  ASSERT_TRUE(CopyFileA((std::string(tools) + "\\start_recorder.exe").c_str(), (AppFolder() + "\\OPENER.EXE").c_str(), FALSE));
  const std::vector<std::uint8_t> dib = PatternDib(40, 30);
  PutOnClipboard(CF_DIB, dib.data(), dib.size());
  WritePrivateProfileStringA("Others", "DefExt", "JPG", Ini().c_str());

  app_ = std::make_unique<App>(Exe(), "-C /CPNG /X /Vopener " + Pic("B01"), PictureFolder());
  ExpectEndsUnseen(0);

  ASSERT_TRUE(FileExists(Pic("B01.PNG")));
  const Pixels written = PngPixels(Pic("B01.PNG"));
  const Pixels sent = FromDib(dib.data(), dib.size());
  EXPECT_EQ(written.width, 40);
  EXPECT_EQ(written.height, 30);
  EXPECT_EQ(written.colours, sent.colours) << "the picture as it was on the clipboard";
  EXPECT_EQ(IniValue("Others", "Filename0"), "B01.PNG");
  EXPECT_EQ(IniValue("Others", "DefExt"), "PNG");
  EXPECT_FALSE(ClipboardHasPicture()) << "a saved picture leaves the clipboard empty";
  EXPECT_FALSE(FileExists(HandOffFile())) << "a clipboard picture is not handed off";

  const std::string record = Pic("started.txt");
  ASSERT_TRUE(WaitForFile(record)) << "the viewer program was not started in the picture's folder";
  EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(record).find('\n') != std::string::npos; }));
  const std::string started = ReadFileBytes(record);
  EXPECT_EQ(started.substr(0, started.find('\t')), "OPENER B01.PNG");
}

TEST_F(ClipDialogTest, BareViewerOptionKeepsTheViewerOnThePicture) {
  InstallModules();
  const std::vector<std::uint8_t> dib = PatternDib(48, 36);
  PutOnClipboard(CF_DIB, dib.data(), dib.size());
  WritePrivateProfileStringA("Others", "DefExt", "PNG", Ini().c_str());
  app_ = std::make_unique<App>(Exe(), "-C /X /V " + Pic("B02"), PictureFolder());
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  ASSERT_TRUE(viewer);
  // Without /C the run chooses the format itself: a 24-bit picture becomes a JPEG.
  EXPECT_TRUE(WaitTitle(viewer, "B02.JPG (48x36)")) << WindowText(viewer);
  EXPECT_TRUE(FileExists(Pic("B02.JPG")));
  EXPECT_EQ(IniValue("Others", "DefExt"), "<auto>");
  EXPECT_EQ(FindTopLevel(app_->ProcessId(), kDialogClass, nullptr), nullptr);
  EXPECT_FALSE(app_->WaitExit(std::chrono::milliseconds(500))) << "the viewer stays open";

  PostMessageA(viewer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u) << "it wrote its picture";
}

TEST_F(ClipDialogTest, UnattendedRunThatWritesNothingEndsWithAFailureCode) {
  // No name anywhere: nothing to ask, nothing written, nothing handed off.
  const std::vector<std::uint8_t> dib = PatternDib(8, 8);
  PutOnClipboard(CF_DIB, dib.data(), dib.size());
  app_ = std::make_unique<App>(Exe(), "-C /CPNG /X", PictureFolder());
  ExpectEndsUnseen(1);
  EXPECT_TRUE(ClipboardHasPicture()) << "the clipboard was left alone";
  EXPECT_FALSE(FileExists(HandOffFile()));
  EXPECT_EQ(IniValue("Others", "Filename0"), "<none>");

  // Text only on the clipboard and no capture application to ask: no picture for the viewer
  // to stay open on either.
  PutOnClipboard(CF_TEXT, "Hallo", 6);
  app_ = std::make_unique<App>(Exe(), "-C /CPNG /X /V " + Pic("B03"), PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Zelvo-Zwischenablage");
  EXPECT_EQ(box->text, "Zwischenablage enthält keine Grafikdaten !");
  AnswerMessageBox(box->hwnd);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 1u);
  EXPECT_FALSE(FileExists(Pic("B03.PNG")));
  EXPECT_EQ(IniValue("Others", "Filename0"), "<none>");
}

TEST_F(ClipDialogTest, GrabsTheCaptureAppByTitleByPrefixAndByItsFallBackTitle) {
  const HWND camera = StartCaptureApp("/F7 \"/TMy Camera\"");
  ASSERT_TRUE(camera);
  const Pixels frame7 = CaptureAppFrame(camera);
  ASSERT_EQ(frame7.width, 320);

  // By its exact title, unattended: one picture, handed to the host.
  app_ = std::make_unique<App>(Exe(), "-C /CPNG /X \"/WMy Camera\" " + Pic("G01"), PictureFolder());
  ExpectEndsUnseen(0);
  EXPECT_EQ(PngPixels(Pic("G01.PNG")).colours, frame7.colours) << "the client area, pixel for pixel";
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("G01.PNG") + "'1'C");

  // By the beginning of its title typed into the window field, into a folder typed too.
  app_ = std::make_unique<App>(Exe(), "-C /CPNG " + Pic("G02"), PictureFolder());
  HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  const HWND capWin = FindChild(dialog, kCapWin);
  EXPECT_NE(ComboEntries(capWin).size(), 1u);
  SendMessageA(capWin, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("My Cam"));
  const std::string other = scratch_.File("other");
  CreateDirectoryA(other.c_str(), nullptr);
  SendMessageA(FindChild(dialog, kDateiname), WM_SETTEXT, 0, reinterpret_cast<LPARAM>((other + "\\G02").c_str()));
  SendCommand(dialog, kOK);
  ASSERT_TRUE(WaitForFile(other + "\\G02.PNG"));
  EXPECT_EQ(PngPixels(other + "\\G02.PNG").colours, frame7.colours);
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  EXPECT_TRUE(WaitTitle(viewer, "G02.PNG (320x240)")) << "the viewer shows what was written";
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "a completed OK closes the dialog";
  EXPECT_EQ(IniValue("Others", "Filename0"), "G02.PNG");
  EXPECT_EQ(IniValue("Others", "Filename1"), "G01.PNG");
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app_->WaitExit());

  // A title that no window has: the application under its own name is taken; with a stamp
  // in its own band the picture is 16 rows taller.
  const HWND fallBack = StartCaptureApp("/F9");
  ASSERT_TRUE(fallBack);
  const Pixels frame9 = CaptureAppFrame(fallBack);
  app_ = std::make_unique<App>(Exe(), "-C /CPNG /X /T0Hallo \"/WNo Such Window\" " + Pic("G03"), PictureFolder());
  ExpectEndsUnseen(0);
  const Pixels stamped = PngPixels(Pic("G03.PNG"));
  ASSERT_EQ(stamped.width, 320);
  ASSERT_EQ(stamped.height, 256);
  EXPECT_TRUE(std::equal(frame9.colours.begin(), frame9.colours.end(), stamped.colours.begin()))
      << "the client area above the band";
  int white = 0, dark = 0;
  for (int y = 240; y < 256; ++y) {
    for (int x = 0; x < 320; ++x) {
      white += stamped.At(x, y) == RGB(255, 255, 255);
      dark += stamped.At(x, y) == RGB(0, 0, 0);
    }
  }
  EXPECT_GT(white, 320 * 16 / 2) << "a white band";
  EXPECT_GT(dark, 20) << "with the stamp's text in it";
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("G03.PNG") + "'1'C");
}

TEST_F(ClipDialogTest, KeySeriesTakesOnePicturePerCtrlAltGAndHandsTheLastToTheHost) {
  HostStandIn host("TFormTelnetMain");
  ASSERT_TRUE(StartCaptureApp("/F3"));
  app_ = std::make_unique<App>(Exe(), "-C /CPNG /KG /X \"/WCapture Test App\" " + Pic("K01"), PictureFolder());
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);

  // The grab-only layout: the label, the disabled name field and two buttons.
  EXPECT_EQ(WindowRect(dialog).bottom - WindowRect(dialog).top, 115);
  const HWND grab = FindChild(dialog, kGrab);
  const HWND ende = FindChild(dialog, kAbbruch);
  EXPECT_TRUE(Visible(grab));
  EXPECT_EQ(WindowText(grab), "Ctrl+Alt+G");
  EXPECT_EQ(WindowText(ende), "&Ende");
  EXPECT_EQ(BoundsIn(dialog, ende).left, 8);
  EXPECT_EQ(BoundsIn(dialog, ende).top, 41);
  EXPECT_FALSE(IsWindowEnabled(FindChild(dialog, kDateiname)));
  for (const int hidden : {kOK, kHilfe, kGrafikformat, kCapWin, kPortname, kCharKey, kBeep, kWavFile, kInvers}) {
    EXPECT_FALSE(Visible(FindChild(dialog, hidden))) << hidden;
  }

  // Each grab sends the dialog behind the capture application and brings it back; the key
  // must work every time without a click in between.
  for (const char* name : {"K01.PNG", "K02.PNG", "K03.PNG"}) {
    PressCtrlAltInTheDialog(dialog, 'G');
    EXPECT_TRUE(WaitForFile(Pic(name))) << name;
    EXPECT_TRUE(WaitUntil([&] { return WindowText(FindChild(dialog, kLDateiname)) == Pic(name); }))
        << WindowText(FindChild(dialog, kLDateiname));
  }
  EXPECT_EQ(WindowText(FindChild(dialog, kDateiname)), Pic("K04.PNG")) << "the name of the next picture";
  EXPECT_FALSE(FileExists(HandOffFile())) << "the series is handed off when it ends";

  SendCommand(dialog, kAbbruch);
  const std::string text = Pic("K03.PNG") + "'3'C";
  ASSERT_TRUE(host.WaitMessages(1));
  const auto message = host.Messages().front();
  EXPECT_EQ(message.wParam, text.size() + 9);
  EXPECT_EQ(message.lParam, 0);
  EXPECT_EQ(message.record, "\x04OBILD01" + text + "\x04");
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
  EXPECT_EQ(ReadFileBytes(HandOffFile()), text);
}

TEST_F(ClipDialogTest, KeySeriesFromTheClipboardHandsOffThePictureWritten) {
  const std::vector<std::uint8_t> dib = PatternDib(16, 16);
  PutOnClipboard(CF_DIB, dib.data(), dib.size());
  app_ = std::make_unique<App>(Exe(), "-C /CPNG /KG /X " + Pic("C01"), PictureFolder());
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  PressKey(FindChild(dialog, kAbbruch), 'G', true, false, true);
  ASSERT_TRUE(WaitForFile(Pic("C01.PNG")));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(FindChild(dialog, kLDateiname)) == Pic("C01.PNG"); }))
      << "the label names the picture written, not \"Dateiname\"";
  SendCommand(dialog, kAbbruch);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
  EXPECT_EQ(ReadFileBytes(HandOffFile()), Pic("C01.PNG") + "'1'C");
}

TEST_F(ClipDialogTest, DialogShowsItsControlsAsDesigned) {
  ASSERT_TRUE(StartCaptureApp("/F1"));
  WritePrivateProfileStringA("Others", "DefExt", "GIF", Ini().c_str());
  WritePrivateProfileStringA("Others", "Filename0", "A.PNG", Ini().c_str());
  WritePrivateProfileStringA("Others", "Filename3", "D.JPG", Ini().c_str());
  app_ = std::make_unique<App>(Exe(), "-C /TC:\\P\\BILD01.JPG", PictureFolder());
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  const HWND viewer = app_->WaitMainWindow(kViewerClass);

  EXPECT_EQ(WindowText(dialog), "Ablage");
  EXPECT_EQ(WindowRect(dialog).left, 236);
  EXPECT_EQ(WindowRect(dialog).top, 110);
  EXPECT_EQ(ClientSize(dialog).cx, 245);
  EXPECT_EQ(ClientSize(dialog).cy, 212);

  const struct {
    int id;
    const char* caption;  // null: not compared
    int left, top, width, height;
    bool visible;
  } designed[] = {
      {kOK, "&OK", 8, 171, 57, 25, true},
      {kLDateiname, "Dateiname", 8, 0, 51, 13, true},
      {kDateiname, nullptr, 8, 14, 217, 21, true},
      {kGrafikformat, nullptr, 8, 56, 73, 21, true},
      {kLGrafikformat, "Grafikformat", 8, 40, 57, 13, true},
      {kCapWin, nullptr, 8, 96, 217, 21, true},
      {kLCapWin, "Capture - Window", 8, 80, 85, 13, true},
      {kAbbruch, "&Abbruch", 88, 171, 57, 25, true},
      {kHilfe, "&Hilfe", 168, 171, 57, 25, true},
      {kPortname, nullptr, 68, 117, 65, 21, true},
      {kLPortname, "Schalter an", 8, 124, 54, 13, true},
      {kBeep, "Beep", 8, 148, 49, 17, true},
      {kInvers, "Invers (nur s/w)", 104, 56, 97, 17, true},
      {kWavFile, "", 88, 144, 137, 21, true},
      {kLCharKey, "Taste Ctrl+Alt+", 139, 123, 69, 13, true},
      {kCharKey, "", 208, 117, 17, 21, true},
      {kGrab, "Ctrl+Alt+", 104, 41, 57, 25, false},
  };
  for (const auto& c : designed) {
    const HWND control = FindChild(dialog, c.id);
    ASSERT_TRUE(control) << c.id;
    const RECT r = BoundsIn(dialog, control);
    EXPECT_EQ(r.left, c.left) << c.id;
    EXPECT_EQ(r.top, c.top) << c.id;
    EXPECT_EQ(r.right - r.left, c.width) << c.id;
    EXPECT_EQ(r.bottom - r.top, c.height) << c.id;
    EXPECT_EQ(Visible(control), c.visible) << c.id;
    if (c.caption) {
      EXPECT_EQ(WindowText(control), c.caption) << c.id;
    }
  }
  EXPECT_TRUE(GetWindowLongA(FindChild(dialog, kOK), GWL_STYLE) & BS_DEFPUSHBUTTON) << "OK is the default";

  std::vector<int> tabOrder;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (GetWindowLongA(c, GWL_STYLE) & WS_TABSTOP) tabOrder.push_back(GetDlgCtrlID(c));
  }
  EXPECT_EQ(tabOrder, (std::vector<int>{kDateiname, kGrafikformat, kInvers, kCapWin, kPortname, kBeep, kOK, kAbbruch,
                                        kHilfe, kWavFile, kCharKey, kGrab}));

  // The lists, and what the viewer's title chose: its extension picks the format and goes.
  EXPECT_EQ(ComboEntries(FindChild(dialog, kGrafikformat)),
            (std::vector<std::string>{"<auto>", "PCX", "GIF", "JPG", "BMP", "PCD", "TIF", "EPS", "PNG"}));
  EXPECT_EQ(WindowText(FindChild(dialog, kGrafikformat)), "JPG");
  EXPECT_EQ(ComboEntries(FindChild(dialog, kDateiname)), (std::vector<std::string>{"A.PNG", "D.JPG"}));
  EXPECT_EQ(WindowText(FindChild(dialog, kDateiname)), "C:\\P\\BILD01");
  EXPECT_EQ(WindowText(viewer), "C:\\P\\BILD01");
  const std::vector<std::string> windows = ComboEntries(FindChild(dialog, kCapWin));
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(windows.front(), "");
  EXPECT_NE(std::find(windows.begin(), windows.end(), "Capture Test App"), windows.end());
  EXPECT_EQ(std::find(windows.begin(), windows.end(), "Ablage"), windows.end()) << "not itself";
  EXPECT_EQ(ComboEntries(FindChild(dialog, kPortname)),
            (std::vector<std::string>{"", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                      "COM10"}));
  EXPECT_EQ(WindowText(FindChild(dialog, kPortname)), "");
  EXPECT_FALSE(IsWindowEnabled(viewer)) << "modal over the viewer";

  // Hilfe and F1 open the help file once each, the viewer behind staying out of it.
  {
    InstallHelpFile();
    const HelpViewersEnded ended;
    SendCommand(dialog, kHilfe);
    EXPECT_TRUE(WaitHelpWindows(1)) << "Hilfe: Wine's hh.exe showed no window titled " << kHelpTitle;
    PressKey(FindChild(dialog, kCharKey), VK_F1);
    EXPECT_TRUE(WaitHelpWindows(2)) << "F1 in the dialog";
    EXPECT_FALSE(MoreHelpWindowsThan(2)) << "help started twice";
  }

  // Abbruch ends the program; without a series nothing is handed off.
  SendCommand(dialog, kAbbruch);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
  EXPECT_FALSE(FileExists(HandOffFile()));
}

TEST_F(ClipDialogTest, ViewerMenuOpensTheDialogInViewerMode) {
  Picture("a.bmp", BmpFile(220, 120, RGB(0, 90, 0)));
  const HWND viewer = Start("a.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 220, 120));
  EXPECT_EQ(FindTopLevel(app_->ProcessId(), kDialogClass, nullptr), nullptr) << "not opened by itself";
  SendCommand(viewer, 110);  // Zwischenablage
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(WindowText(FindChild(dialog, kDateiname)), "a.bmp") << "the command line's name";
  EXPECT_FALSE(IsWindowEnabled(viewer));
  SendCommand(dialog, kAbbruch);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
}

}  // namespace
}  // namespace e2e
