// The hand-off, the grab and the clipboard import in this process, under Wine: a stand-in
// host window, the shipped capture test application as the window to grab, the real
// clipboard, message boxes answered from a helper thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "base/dib_pixels.h"
#include "clip/clipboard_import_win.h"
#include "clip/grab_win.h"
#include "clip/hand_off_win.h"
#include "harness_win.h"
#include "host_standin_win.h"
#include "message_boxes_win.h"
#include "win/handles_win.h"

namespace kamolt {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kBmp = 1004;
constexpr char kCaptureClass[] = "KamoltCaptureTestApp";

std::string ThisExe() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

std::string HandOffFile() { return e2e::ReadFileBytes(e2e::HandOffFileBeside(ThisExe())); }

// A picture as R,G,B rows from the top.
struct Rgb24 {
  int width = 0, height = 0;
  Bytes rgb;
  const std::uint8_t* At(int x, int y) const { return &rgb[3 * (static_cast<std::size_t>(y) * width + x)]; }
};

Rgb24 FromDib(const std::uint8_t* block, std::size_t size) {
  const auto viewed = ViewDib(block, size);
  const auto* picture = std::get_if<DibPicture>(&viewed);
  if (!picture) throw std::runtime_error("not a DIB");
  Rgb24 out{picture->Width(), picture->Height(), Bytes(3 * static_cast<std::size_t>(picture->Width()) * picture->Height())};
  for (int y = 0; y < out.height; ++y) picture->RowToRgb(y, out.rgb.data() + 3 * static_cast<std::size_t>(out.width) * y);
  return out;
}

Rgb24 ReadBmp(const std::string& path) {
  const std::string file = e2e::ReadFileBytes(path);
  if (file.size() < 14 || file.compare(0, 2, "BM") != 0) throw std::runtime_error(path + " is no bitmap file");
  return FromDib(reinterpret_cast<const std::uint8_t*>(file.data()) + 14, file.size() - 14);
}

// What the window shows in its client area, read by this process from the screen.
Rgb24 ClientPixels(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  const win::WindowDc screen(window);
  const win::MemoryDc memory(CreateCompatibleDC(screen.Get()));
  const win::Bitmap bitmap(CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
  {
    const win::Selection select(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, client.right, client.bottom, screen.Get(), 0, 0, SRCCOPY);
  }
  BITMAPINFOHEADER header{sizeof header, client.right, client.bottom, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const std::size_t rowBytes = (static_cast<std::size_t>(client.right) * 3 + 3) & ~std::size_t{3};
  Bytes dib(sizeof header + rowBytes * client.bottom);
  std::memcpy(dib.data(), &header, sizeof header);
  GetDIBits(memory.Get(), bitmap.Get(), 0, client.bottom, dib.data() + sizeof header,
            reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_RGB_COLORS);
  return FromDib(dib.data(), dib.size());
}

bool IsColour(const std::uint8_t* pixel, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return pixel[0] == r && pixel[1] == g && pixel[2] == b;
}

void PutOnClipboard(UINT format, HANDLE data) {
  const win::OpenClipboardScope clipboard(nullptr);
  ASSERT_TRUE(clipboard.IsOpen());
  EmptyClipboard();
  ASSERT_TRUE(SetClipboardData(format, data));
}

void PutText(const std::string& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  PutOnClipboard(CF_TEXT, memory);
}

void EmptyTheClipboard() {
  const win::OpenClipboardScope clipboard(nullptr);
  EmptyClipboard();
}

bool ClipboardHasPicture() {
  return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP);
}

// The shipped capture test application, holding one frame so its pixels can be compared.
class CaptureApp {
 public:
  explicit CaptureApp(const std::string& arguments)
      : app_(e2e::DistFolder() + "\\CapTestApp.exe", arguments, "") {
    window_ = app_.WaitMainWindow(kCaptureClass);
    if (!window_) throw std::runtime_error("the capture test application did not show its window");
  }
  HWND Window() const { return window_; }

 private:
  e2e::App app_;
  HWND window_ = nullptr;
};

TEST(NotifyHost, SinglePictureOnlyWritesTheTextFile) {
  e2e::HostStandIn host("TFormTelnetMain");
  NotifyHost("C:\\B\\X01.JPG", 1, "C");
  EXPECT_EQ(HandOffFile(), "C:\\B\\X01.JPG'1'C");
  NotifyHost("C:\\B\\X01", 0, "C");
  EXPECT_EQ(HandOffFile(), "C:\\B\\X01'0'C");
  // The send is synchronous: a message that was not there on return never comes.
  EXPECT_TRUE(host.Messages().empty());
}

TEST(NotifyHost, SeriesGoesToTheCommHostWhenThereIsNoTelnetHost) {
  e2e::HostStandIn host("TFormCommMain");
  NotifyHost("C:\\B\\X03.JPG", 3, "C");
  EXPECT_EQ(HandOffFile(), "C:\\B\\X03.JPG'3'C");
  const auto got = host.Messages();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].wParam, std::strlen("C:\\B\\X03.JPG'3'C") + 9);
  EXPECT_EQ(got[0].lParam, 0);
  EXPECT_EQ(got[0].record, std::string("\x04OBILD01C:\\B\\X03.JPG'3'C\x04"));
}

TEST(NotifyHost, TelnetHostComesFirstAndALaterRecordReplacesTheFirst) {
  e2e::HostStandIn comm("TFormCommMain");
  e2e::HostStandIn telnet("TFormTelnetMain");
  NotifyHost("C:\\Bilder\\Serie\\Aufnahme0A.JPG", 12, "S");
  NotifyHost("C:\\B\\Y02.PNG", 2, "C");
  EXPECT_EQ(HandOffFile(), "C:\\B\\Y02.PNG'2'C");
  EXPECT_TRUE(comm.Messages().empty());
  const auto got = telnet.Messages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].record, std::string("\x04OBILD01C:\\Bilder\\Serie\\Aufnahme0A.JPG'12'S\x04"));
  EXPECT_EQ(got[1].record, std::string("\x04OBILD01C:\\B\\Y02.PNG'2'C\x04"));
}

TEST(NotifyHost, SeriesWithoutHostWritesOnlyTheTextFile) {
  NotifyHost("C:\\B\\X03.JPG", 3, "C");
  EXPECT_EQ(HandOffFile(), "C:\\B\\X03.JPG'3'C");
  NotifyHost("", 2, "C");
  EXPECT_EQ(HandOffFile(), "'2'C");
}

TEST(GrabWithoutWindow, NoCaptureWindowIsToldAndNothingHandedOff) {
  MessageBoxes boxes;
  NotifyHost("vorher", 1, "C");
  std::string name = "C:\\nirgends\\X01";
  EXPECT_FALSE(GrabWindow(name, kBmp, "Videoprogramm", "", {}));
  ASSERT_EQ(boxes.Seen().size(), 1u);
  EXPECT_EQ(boxes.Seen()[0].caption, "Fehler");
  EXPECT_EQ(boxes.Seen()[0].text, "Anwendung/Fenster 'Videoprogramm' läuft nicht!");
  EXPECT_EQ(HandOffFile(), "vorher'1'C");
}

class ClipboardImport : public testing::Test {
 protected:
  e2e::ScratchFolder folder_;
};

TEST_F(ClipboardImport, EmptyClipboardAsksTheCaptureAppForItsFrame) {
  CaptureApp app("/TCapTestApp /W160 /H120 /F5");
  EmptyTheClipboard();
  MessageBoxes boxes;
  std::string name = folder_.File("C01");
  ASSERT_TRUE(SaveClipboardPicture(name, kBmp, "", false));
  EXPECT_EQ(name, folder_.File("C01.BMP"));
  const Rgb24 saved = ReadBmp(name);
  const Rgb24 shown = ClientPixels(app.Window());
  ASSERT_EQ(saved.width, shown.width);
  ASSERT_EQ(saved.height, shown.height);
  EXPECT_TRUE(saved.rgb == shown.rgb);
  EXPECT_FALSE(ClipboardHasPicture());
  EXPECT_TRUE(boxes.Seen().empty());
}

// Some capture tools leave only a V5 DIB or only a bitmap; the picture is saved all the same.
TEST_F(ClipboardImport, V5AndBitmapOnlyClipboardsAreSaved) {
  constexpr int w = 5, h = 3;
  auto colour = [](int x, int y) { return RGB(40 * x, 80 * y, 200 - 30 * x); };

  BITMAPV5HEADER v5{};
  v5.bV5Size = sizeof v5;
  v5.bV5Width = w;
  v5.bV5Height = h;
  v5.bV5Planes = 1;
  v5.bV5BitCount = 32;
  v5.bV5Compression = BI_BITFIELDS;
  v5.bV5RedMask = 0x00FF0000;
  v5.bV5GreenMask = 0x0000FF00;
  v5.bV5BlueMask = 0x000000FF;
  HGLOBAL v5Block = GlobalAlloc(GMEM_MOVEABLE, sizeof v5 + 4 * w * h);
  auto* bytes = static_cast<std::uint8_t*>(GlobalLock(v5Block));
  std::memcpy(bytes, &v5, sizeof v5);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const COLORREF c = colour(x, h - 1 - y);  // bottom-up
      const std::uint32_t pixel = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
      std::memcpy(bytes + sizeof v5 + 4 * (y * w + x), &pixel, 4);
    }
  }
  GlobalUnlock(v5Block);

  const win::WindowDc screen(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen.Get(), w, h);
  {
    const win::MemoryDc memory(CreateCompatibleDC(screen.Get()));
    const win::Selection select(memory.Get(), bitmap);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) SetPixel(memory.Get(), x, y, colour(x, y));
    }
  }

  const std::pair<UINT, HANDLE> offers[] = {{CF_DIBV5, v5Block}, {CF_BITMAP, bitmap}};
  for (const auto& [format, data] : offers) {
    PutOnClipboard(format, data);
    MessageBoxes boxes;
    std::string name = folder_.File("V" + std::to_string(format));
    ASSERT_TRUE(SaveClipboardPicture(name, kBmp, "", false)) << format;
    const Rgb24 saved = ReadBmp(name);
    ASSERT_EQ(saved.width, w);
    ASSERT_EQ(saved.height, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const COLORREF c = colour(x, y);
        EXPECT_TRUE(IsColour(saved.At(x, y), GetRValue(c), GetGValue(c), GetBValue(c))) << format << " " << x << "," << y;
      }
    }
    EXPECT_TRUE(boxes.Seen().empty());
  }
}

// A name the writer's record cannot hold is refused before anything is taken, never cut to
// another name; the clipboard keeps what it held and the host hears nothing.
TEST_F(ClipboardImport, NameLongerThanTheBufferIsRefusedNotCut) {
  CaptureApp app("/F2");
  PutText("bleibt");
  NotifyHost("vorher", 1, "C");
  MessageBoxes boxes;
  const std::string asked = folder_.File(std::string(256 - folder_.Path().size(), 'L'));
  ASSERT_EQ(asked.size(), 257u);
  std::string name = asked;
  EXPECT_FALSE(SaveClipboardPicture(name, kBmp, "", false));
  EXPECT_FALSE(GrabWindow(name, kBmp, "Capture Test App", "", {}));
  EXPECT_EQ(name, asked);
  const auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 2u);
  for (const auto& box : seen) {
    EXPECT_EQ(box.caption, kClipboardCaption);
    EXPECT_EQ(box.text, "Dateiname zu lang (höchstens 255 Zeichen) !");
  }
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(HandOffFile(), "vorher'1'C");
  // 255 characters still fit: the picture is written under exactly that name.
  std::string fits = asked.substr(0, 255 - 4);
  EXPECT_TRUE(GrabWindow(fits, kBmp, "Capture Test App", "", {}));
  EXPECT_EQ(fits.size(), 255u);
  EXPECT_TRUE(e2e::FileExists(fits));
}

}  // namespace
}  // namespace kamolt
