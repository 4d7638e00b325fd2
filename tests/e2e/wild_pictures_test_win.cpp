// Picture files as other programs write them: bitmap variants the platform's loader gets
// wrong, EPS files only Ghostscript can draw, and broken files whose refusal the converter
// module must explain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/common/bmp_file.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

constexpr int kWidth = 200, kHeight = 120;
constexpr COLORREF kTop = RGB(250, 0, 0), kBottom = RGB(0, 0, 250);

// An 8-bit bitmap file, kTop over kBottom, with the header variant given.
std::string EightBitBmp(std::uint32_t headerSize, bool topDown, std::uint16_t planes) {
  std::vector<std::uint8_t> halves(static_cast<std::size_t>(kWidth) * kHeight, 1);
  std::fill(halves.begin(), halves.begin() + halves.size() / 2, std::uint8_t{0});
  const auto rgb = [](COLORREF c) { return std::uint32_t{GetRValue(c)} << 16 | GetGValue(c) << 8 | GetBValue(c); };
  return kamolt::testing::EightBitBmpFile({headerSize, topDown, planes, 0, true}, kWidth, kHeight, halves,
                                          {rgb(kTop), rgb(kBottom)});
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 8 && std::abs(GetGValue(a) - GetGValue(b)) <= 8 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 8;
}

// Ghostscript as its installer registers it, for as long as the object lives.
class GhostscriptRegistered {
 public:
  explicit GhostscriptRegistered(const std::string& folder) {
    HKEY key = nullptr;
    const std::string dll = folder + "\\gsdll32.dll";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExA(key, "GS_DLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()), static_cast<DWORD>(dll.size() + 1));
      RegCloseKey(key);
    }
  }
  ~GhostscriptRegistered() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVersionKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\GPL Ghostscript");
  }

 private:
  static constexpr const char* kVersionKey = "SOFTWARE\\GPL Ghostscript\\10.00.0";
};

int TemporaryFilesOfKamolt() {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((std::string(folder) + "kmt*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 1;
  while (FindNextFileA(search, &found)) ++count;
  FindClose(search);
  return count;
}

class WildPicturesTest : public ViewerTest {
 protected:
  // The colours Ctrl+C copies at the top and the bottom of the shown picture.
  std::pair<COLORREF, COLORREF> CopiedColours(HWND viewer) {
    if (!OpenClipboard(nullptr)) return {CLR_INVALID, CLR_INVALID};
    EmptyClipboard();
    CloseClipboard();
    PressKey(viewer, 'C', true);
    if (!WaitUntil([] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; })) return {CLR_INVALID, CLR_INVALID};
    if (!OpenClipboard(nullptr)) return {CLR_INVALID, CLR_INVALID};
    const auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const std::pair<COLORREF, COLORREF> colours{GetPixel(memory, 10, 10), GetPixel(memory, 10, kHeight - 10)};
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    CloseClipboard();
    return colours;
  }
};

// Bitmap variants the platform's loader gets wrong, and an EPS of nothing but PostScript
// that an installed Ghostscript draws.
TEST_F(WildPicturesTest, VariantsShowTheirColours) {
  InstallModules();
  const GhostscriptRegistered ghostscript(ToolsFolder() + "\\ghostscript");
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {{"topdown.bmp", EightBitBmp(40, true, 1)},
               {"os2.bmp", EightBitBmp(64, false, 1)},
               {"os2short.bmp", EightBitBmp(16, false, 1)},
               {"planes.bmp", EightBitBmp(40, false, 3)},
               {"bars.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 120\n0 0 0.98 setrgbcolor 0 0 200 60 "
                            "rectfill 0.98 0 0 setrgbcolor 0 60 200 60 rectfill\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Picture(c.name, c.bytes);
    const HWND viewer = Start(c.name);
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(WaitTitle(viewer, std::string(c.name) + " (200x120)"));
    const auto [top, bottom] = CopiedColours(viewer);
    EXPECT_TRUE(Near(top, kTop)) << std::hex << top;
    EXPECT_TRUE(Near(bottom, kBottom)) << std::hex << bottom;
    app_.reset();
  }
}

TEST_F(WildPicturesTest, RefusedFilesSayWhyInTheModulesBox) {
  InstallModules();
  std::string pcx(128 + 16, '\0');
  pcx[0] = 10, pcx[2] = 1, pcx[3] = 8, pcx[8] = 3, pcx[10] = 3, pcx[65] = 2, pcx[66] = 4;  // 8 bits in 2 planes
  struct Case {
    const char* name;
    std::string bytes;
    const char* caption;
    const char* reason;  // a part of the box's text
    bool ghostscript = false;
  } const cases[] = {
      {"cut.jpg", std::string("\xFF\xD8\xFF\xDB\x00\x43", 6), "CONV_JPG.DLL", "JPEG-Datei fehlerhaft"},
      {"cut.gif", "GIF89a\x10\x00", "CONV_GIF.DLL", "GIF-Datei fehlerhaft"},
      {"planes.pcx", pcx, "CONV_PCX.DLL", "8 Bit in 2 Ebenen"},
      {"plain.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n", "CONV_EPS.DLL", "ohne Vorschaubild"},
      {"broken.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchoperator\n", "CONV_EPS.DLL",
       "Ghostscript kann die EPS-Datei nicht zeichnen (Fehler 1)", true},
  };
  const int temporaryBefore = TemporaryFilesOfKamolt();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<GhostscriptRegistered> ghostscript;
    if (c.ghostscript) ghostscript.emplace(ToolsFolder() + "\\ghostscript");
    Picture(c.name, c.bytes);
    app_ = std::make_unique<App>(Exe(), c.name, PictureFolder());
    const auto box = WaitMessageBox(app_->ProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, c.caption);
    EXPECT_NE(box->text.find(c.name), std::string::npos) << box->text;
    EXPECT_NE(box->text.find(c.reason), std::string::npos) << box->text;
    AnswerMessageBox(box->hwnd);
    const HWND viewer = app_->WaitMainWindow(kViewerClass);
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(WaitTitle(viewer, std::string(c.name) + " (0x0)"));
    app_.reset();
  }
  EXPECT_EQ(TemporaryFilesOfKamolt(), temporaryBefore) << "a drawing was left behind";
}

}  // namespace
}  // namespace e2e
