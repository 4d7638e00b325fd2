// Pictures in the converted formats, written by an independent program (ImageMagick), shown
// by the viewer through the real converter modules and handed over on the clipboard.
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_pictures_win.h"
#include "unix_tools_win.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

constexpr COLORREF kTop = RGB(230, 30, 30);
constexpr COLORREF kBottom = RGB(30, 30, 230);

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The colour at x, y (from the top) of the DIB on the clipboard, which must be w x h.
COLORREF ClipboardPixel(int x, int y, int width, int height) {
  if (!OpenClipboard(nullptr)) return CLR_INVALID;
  COLORREF colour = CLR_INVALID;
  if (const HANDLE dib = GetClipboardData(CF_DIB)) {
    const auto* info = static_cast<const BITMAPINFO*>(GlobalLock(dib));
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biWidth == width && std::abs(h.biHeight) == height) {
      const HDC screen = GetDC(nullptr);
      const HBITMAP bitmap = CreateDIBitmap(screen, &h, CBM_INIT,
                                            reinterpret_cast<const BYTE*>(info) + h.biSize +
                                                4 * (h.biClrUsed ? h.biClrUsed : (h.biBitCount <= 8 ? 1u << h.biBitCount : 0)),
                                            info, DIB_RGB_COLORS);
      const HDC memory = CreateCompatibleDC(screen);
      const HGDIOBJ old = SelectObject(memory, bitmap);
      colour = GetPixel(memory, x, y);
      SelectObject(memory, old);
      DeleteDC(memory);
      DeleteObject(bitmap);
      ReleaseDC(nullptr, screen);
    }
    GlobalUnlock(dib);
  }
  CloseClipboard();
  return colour;
}

struct Format {
  const char* extension;
  const char* imageMagickFormat;
  int width, height;  // as the file holds it
  int tolerance;  // against ImageMagick's reading of the same file
};

class ViewerConvertedTest : public ViewerTest, public ::testing::WithParamInterface<Format> {};

TEST_P(ViewerConvertedTest, ShowsThePictureAndLeavesItOnTheClipboard) {
  const Format& format = GetParam();
  if (!std::getenv("KAMOLT_TOOLS")) GTEST_SKIP() << "needs ImageMagick through run_linux.exe";
  InstallModules();
  std::string source = BmpFile(240, 160, kBottom);
  for (int y = 80; y < 160; ++y) {  // bottom-up rows: the upper half comes last
    for (int x = 0; x < 240; ++x) {
      char* px = source.data() + 54 + y * 240 * 3 + x * 3;
      px[0] = static_cast<char>(GetBValue(kTop));
      px[1] = static_cast<char>(GetGValue(kTop));
      px[2] = static_cast<char>(GetRValue(kTop));
    }
  }
  Picture("source.bmp", source);
  const std::string name = std::string("picture.") + format.extension;
  WriteWithImageMagick(PictureFolder() + "\\source.bmp", format.imageMagickFormat, PictureFolder() + "\\" + name);

  // What we show must be what the writer's own reader makes of the file.
  const RgbImage reference = ReadWithImageMagick(PictureFolder() + "\\" + name);
  const int w = reference.width, h = reference.height;
  ASSERT_EQ(w, format.width);
  ASSERT_EQ(h, format.height);

  // The same picture once more, next in the folder.
  const std::string second = std::string("second.") + format.extension;
  ASSERT_TRUE(CopyFileA((PictureFolder() + "\\" + name).c_str(), (PictureFolder() + "\\" + second).c_str(), FALSE));

  const HWND viewer = Start(name);
  const std::string title = name + " (" + std::to_string(w) + "x" + std::to_string(h) + ")";
  ASSERT_TRUE(WaitTitle(viewer, title)) << WindowText(viewer);
  for (const POINT at : {POINT{w / 2, h / 8}, POINT{w / 2, h * 7 / 8}, POINT{3, 3}, POINT{w - 3, h - 3}}) {
    const COLORREF shown = ClipboardPixel(at.x, at.y, w, h);
    EXPECT_TRUE(Near(shown, reference.Pixel(at.x, at.y), format.tolerance))
        << at.x << "," << at.y << ": " << std::hex << shown << " against " << reference.Pixel(at.x, at.y);
  }
  // The picture itself is shown: the view takes its size once the draw timer has run.
  EXPECT_TRUE(WaitUntil([&] { return ClientSize(viewer).cx == std::min(w, 1016); }));
  // On the screen, at its natural size from the view's top left, once the view is painted.
  const HDC screen = GetDC(nullptr);
  for (const POINT at : {POINT{w / 2, h / 8}, POINT{w / 4, h * 7 / 8}, POINT{3, 3}}) {
    POINT onScreen = at;
    ClientToScreen(viewer, &onScreen);
    EXPECT_TRUE(WaitUntil([&] {
      return Near(GetPixel(screen, onScreen.x, onScreen.y), reference.Pixel(at.x, at.y), format.tolerance + 2);
    })) << "shown at " << at.x << "," << at.y << ": " << std::hex << GetPixel(screen, onScreen.x, onScreen.y);
  }
  ReleaseDC(nullptr, screen);
  // The next picture takes its place there, and stays after a host has ended the viewer from
  // outside, though nobody asked for it before.
  PressKey(viewer, VK_SPACE);
  ASSERT_TRUE(WaitTitle(viewer, second + " (" + std::to_string(w) + "x" + std::to_string(h) + ")")) << WindowText(viewer);
  Sleep(500);  // the host's own pace, not a wait for the viewer
  ASSERT_TRUE(TerminateProcess(app_->Process(), 9));
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_TRUE(Near(ClipboardPixel(w / 2, h * 7 / 8, w, h), reference.Pixel(w / 2, h * 7 / 8), format.tolerance));
}

INSTANTIATE_TEST_SUITE_P(EveryConvertedFormat, ViewerConvertedTest,
                         ::testing::Values(Format{"gif", "GIF", 240, 160, 0}, Format{"tif", "TIFF", 240, 160, 0},
                                           Format{"pcx", "PCX", 240, 160, 0}, Format{"jpg", "JPEG", 240, 160, 2},
                                           Format{"pcd", "PCD", 768, 512, 6}),
                         [](const auto& info) { return std::string(info.param.extension); });

}  // namespace
}  // namespace e2e
