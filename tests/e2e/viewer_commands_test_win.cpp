// Copy, save, print and help, checked with independent readers: the clipboard as another
// program sees it, ImageMagick for saved files, and the PDF that the CUPS printer made.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <cstdlib>
#include <vector>

#include "test_pictures_win.h"
#include "unix_tools_win.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

constexpr int kPrintPicMenuItem = 108;
constexpr int kSaveBmpMenuItem = 111;

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A picture whose halves differ, so that flips and offsets show.
std::string TwoToneBmp(int width, int height, COLORREF top, COLORREF bottom) {
  std::string file = BmpFile(width, height, bottom);
  const int row = (width * 3 + 3) / 4 * 4;
  for (int y = height / 2; y < height; ++y) {  // bottom-up: the upper rows come last
    for (int x = 0; x < width; ++x) {
      char* px = file.data() + 54 + y * row + x * 3;
      px[0] = static_cast<char>(GetBValue(top));
      px[1] = static_cast<char>(GetGValue(top));
      px[2] = static_cast<char>(GetRValue(top));
    }
  }
  return file;
}

class ViewerCommandsTest : public ViewerTest {
 protected:
  HWND WaitDialog() {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindTopLevel(app_->ProcessId(), "#32770", nullptr)) != nullptr; });
    return dialog;
  }
  void ChooseFile(HWND dialog, const std::string& path) {
    const HWND nameField = FindChildByClass(dialog, "Edit");
    ASSERT_TRUE(nameField);
    SendMessageA(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  }
};

TEST_F(ViewerCommandsTest, CtrlCLeavesThePictureOnTheClipboard) {
  Picture("two.bmp", TwoToneBmp(200, 120, RGB(250, 0, 0), RGB(0, 0, 250)));
  const HWND viewer = Start("two.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 200, 120));
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  PressKey(viewer, 'C', true);
  ASSERT_TRUE(WaitUntil([] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }));
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HANDLE dib = GetClipboardData(CF_DIB);
  ASSERT_TRUE(dib);
  const auto* info = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
  EXPECT_EQ(info->biWidth, 200);
  EXPECT_EQ(std::abs(info->biHeight), 120);
  GlobalUnlock(dib);
  const auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  EXPECT_TRUE(Near(GetPixel(memory, 10, 10), RGB(250, 0, 0), 8));
  EXPECT_TRUE(Near(GetPixel(memory, 10, 110), RGB(0, 0, 250), 8));
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  CloseClipboard();
}

// Picking a file in the open dialog shows it in the pane below the dialog's own controls,
// with its size, before it is opened; a damaged one is named there, without a box.
TEST_F(ViewerCommandsTest, OpenDialogPreviewsTheSelectedPicture) {
  constexpr int kPreviewPicture = 0x4b01, kPreviewSize = 0x4b02;  // the pane's controls
  constexpr COLORREF kColour = RGB(30, 160, 220);
  Picture("a-damaged.bmp", "BM not a bitmap");
  Picture("preview.bmp", BmpFile(120, 60, kColour));
  const HWND viewer = Start("");
  ASSERT_TRUE(viewer);
  PostMessageA(viewer, WM_CHAR, 'O', 0);
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  HWND files = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    files = FindChildByClass(dialog, "SysListView32");
    return files && SendMessageA(files, LVM_GETITEMCOUNT, 0, 0) == 2;
  }));
  const HWND sizeLine = FindChild(dialog, kPreviewSize);
  const HWND pane = FindChild(dialog, kPreviewPicture);
  ASSERT_TRUE(sizeLine && pane);
  EXPECT_EQ(WindowText(sizeLine), "") << "nothing is selected yet";
  PostMessageA(files, WM_KEYDOWN, VK_HOME, 0);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(sizeLine) == "Bitmap ist ungültig"; })) << WindowText(sizeLine);
  PostMessageA(files, WM_KEYDOWN, VK_END, 0);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(sizeLine) == "120 x 60"; })) << WindowText(sizeLine);
  const RECT area = ClientRect(pane);
  POINT middle{area.right / 2, area.bottom / 2};
  ClientToScreen(pane, &middle);
  const HDC screen = GetDC(nullptr);
  EXPECT_TRUE(WaitUntil([&] { return Near(GetPixel(screen, middle.x, middle.y), kColour, 8); }))
      << std::hex << GetPixel(screen, middle.x, middle.y);
  ReleaseDC(nullptr, screen);
  EXPECT_FALSE(WaitMessageBox(app_->ProcessId(), std::chrono::milliseconds(100)));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitTitle(viewer, PictureFolder() + "\\preview.bmp (120x60)")) << WindowText(viewer);
}

// Wine's loader takes a DLL that is set to nothing for the program's name as missing.
class MissingDll {
 public:
  // Named as the loader names it: without ".dll", but with any other extension.
  explicit MissingDll(std::string dll) : name_(dll.substr(0, dll.rfind(".dll"))) {
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
    RegSetValueExA(key_, name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  }
  ~MissingDll() {
    RegDeleteValueA(key_, name_.c_str());
    RegCloseKey(key_);
  }

 private:
  static constexpr char kKey[] = "Software\\Wine\\AppDefaults\\Kamolt.exe\\DllOverrides";
  const std::string name_;
  HKEY key_ = nullptr;
};

// A system DLL that cannot be loaded costs its command, not the program.
TEST_F(ViewerCommandsTest, AMissingSystemDllIsNamedAndTheViewerGoesOn) {
  struct Case {
    const char* dll;
    char key;
    const char* commandsOwnBox;  // what the command then says of its failure, if anything
  };
  for (const Case& missing : {Case{"comdlg32.dll", 'O', nullptr},
                              Case{"winspool.drv", 'P', "Kein Standarddrucker vorhanden"}}) {
    SCOPED_TRACE(missing.dll);
    const MissingDll override(missing.dll);
    Picture("shown.bmp", TwoToneBmp(40, 20, RGB(250, 0, 0), RGB(0, 0, 250)));
    const HWND viewer = Start("shown.bmp");
    ASSERT_TRUE(WaitTitle(viewer, "shown.bmp (40x20)"));
    const auto answerCommandsBox = [&] {
      if (!missing.commandsOwnBox) return;
      const auto box = WaitMessageBox(app_->ProcessId());
      ASSERT_TRUE(box);
      EXPECT_EQ(box->text, missing.commandsOwnBox);
      AnswerMessageBox(box->hwnd);
    };
    PostMessageA(viewer, WM_CHAR, missing.key, 0);
    const auto box = WaitMessageBox(app_->ProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "Kamolt");
    EXPECT_NE(box->text.find(missing.dll), std::string::npos) << box->text;
    AnswerMessageBox(box->hwnd);
    answerCommandsBox();
    // Still answering; a second try fails as the first did, without naming the DLL again.
    PostMessageA(viewer, WM_CHAR, missing.key, 0);
    answerCommandsBox();
    EXPECT_FALSE(WaitMessageBox(app_->ProcessId(), std::chrono::milliseconds(500)));
    PressKey(viewer, VK_ESCAPE);
    ASSERT_TRUE(app_->WaitExit());
    DWORD exitCode = 1;
    GetExitCodeProcess(app_->Process(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
  }
}

TEST_F(ViewerCommandsTest, SaveWritesABitmapThatAnotherReaderReadsPixelForPixel) {
  Picture("two.bmp", TwoToneBmp(150, 90, RGB(10, 200, 30), RGB(240, 240, 10)));
  const std::string target = PictureFolder() + "\\saved";
  const HWND viewer = Start("two.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 150, 90));
  SendCommand(viewer, kSaveBmpMenuItem);
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  ChooseFile(dialog, target);
  ASSERT_TRUE(WaitForFile(target + ".bmp")) << "the default extension is bmp";
  const RgbImage saved = ReadWithImageMagick(target + ".bmp");
  ASSERT_EQ(saved.width, 150);
  ASSERT_EQ(saved.height, 90);
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 150; ++x) {
      ASSERT_EQ(saved.Pixel(x, y), y < 45 ? RGB(10, 200, 30) : RGB(240, 240, 10)) << x << "," << y;
    }
  }
}

TEST_F(ViewerCommandsTest, SavingAnIconKeepsItAnIcon) {
  Picture("a-symbol.ico", IconFile(32, kIconColour));
  const HWND viewer = Start("a-symbol.ico");
  ASSERT_TRUE(WaitTitle(viewer, "a-symbol.ico (32x32)"));
  SendCommand(viewer, kSaveBmpMenuItem);
  const HWND dialog = WaitDialog();
  ASSERT_TRUE(dialog);
  ChooseFile(dialog, PictureFolder() + "\\copy.ico");
  ASSERT_TRUE(WaitForFile(PictureFolder() + "\\copy.ico"));
  EXPECT_EQ(ReadFileBytes(PictureFolder() + "\\copy.ico"), IconFile(32, kIconColour));
}

TEST_F(ViewerCommandsTest, F1OpensTheHelpFileOnceWhileTheWorkingFolderIsThePictures) {
  InstallHelpFile();
  const HelpViewersEnded ended;
  Picture("a.bmp", BmpFile(200, 100, RGB(1, 2, 3)));
  const HWND viewer = Start(PictureFolder() + "\\a.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 200, 100));
  ASSERT_TRUE(HelpWindows().empty());
  PressKey(viewer, VK_F1);
  EXPECT_TRUE(WaitHelpWindows(1)) << "Wine's hh.exe showed no window titled " << kHelpTitle;
  EXPECT_FALSE(MoreHelpWindowsThan(1)) << "the help viewer was started more than once";
}

class ViewerPrintTest : public ViewerCommandsTest {
 protected:
  void SetUp() override {
    ViewerCommandsTest::SetUp();
    const char* folder = std::getenv("KAMOLT_PDF_FOLDER");
    if (!folder) GTEST_SKIP() << "no PDF printer: run through ./kamolt.sh test";
    pdfFolder_ = WindowsPathOfUnix(folder);
    // Only the job of this test may be looked at.
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((pdfFolder_ + "\\*.pdf").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileA((pdfFolder_ + "\\" + found.cFileName).c_str());
      while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }
  std::string WaitPdf(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    std::string pdf;
    WaitUntil(
        [&] {
          WIN32_FIND_DATAA found;
          const HANDLE search = FindFirstFileA((pdfFolder_ + "\\*.pdf").c_str(), &found);
          if (search == INVALID_HANDLE_VALUE) return false;
          FindClose(search);
          pdf = pdfFolder_ + "\\" + found.cFileName;
          // cups-pdf is a Linux process: the file is complete once its trailer is there.
          const std::string bytes = FileExists(pdf) ? ReadFileBytes(pdf) : "";
          return bytes.find("%%EOF", bytes.size() > 64 ? bytes.size() - 64 : 0) != std::string::npos;
        },
        timeout);
    return FileExists(pdf) ? pdf : "";
  }
  std::string pdfFolder_;
};

// What the default printer offers, measured here the way the viewer measures it.
struct PrinterPage {
  int width, height, offsetX, offsetY, dpi, textHeight;
};
PrinterPage MeasureDefaultPrinter() {
  char name[256];
  DWORD length = sizeof name;
  if (!GetDefaultPrinterA(name, &length)) return {};
  const HDC dc = CreateDCA("WINSPOOL", name, nullptr, nullptr);
  LOGFONTA font{};
  font.lfHeight = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
  lstrcpyA(font.lfFaceName, "Arial");
  const HFONT titleFont = CreateFontIndirectA(&font);
  const HGDIOBJ old = SelectObject(dc, titleFont);
  SIZE sample{};
  GetTextExtentPoint32A(dc, "Ag", 2, &sample);
  SelectObject(dc, old);
  DeleteObject(titleFont);
  const PrinterPage page{GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, PHYSICALOFFSETX),
                         GetDeviceCaps(dc, PHYSICALOFFSETY), GetDeviceCaps(dc, LOGPIXELSX), sample.cy};
  DeleteDC(dc);
  return page;
}

TEST_F(ViewerPrintTest, PrintsThePictureScaledUnderItsTitle) {
  Picture("print.bmp", TwoToneBmp(1000, 500, RGB(0, 0, 255), RGB(255, 0, 0)));
  const HWND viewer = Start("print.bmp");
  ASSERT_TRUE(WaitTitle(viewer, "print.bmp (1000x500)"));
  TypeText(viewer, "p");
  const std::string pdf = WaitPdf();
  ASSERT_FALSE(pdf.empty()) << "no PDF came out of the printer";

  RunUnix("/usr/bin/pdftotext " + UnixPath(pdf) + " " + UnixPath(pdf + ".txt"));
  EXPECT_TRUE(WaitUntil([&] {
    return FileExists(pdf + ".txt") && ReadFileBytes(pdf + ".txt").find("print.bmp (1000x500)") != std::string::npos;
  })) << "the title is on the page";

  // Rendered at the printer's own resolution, a page pixel is a printer pixel.
  const PrinterPage page = MeasureDefaultPrinter();
  ASSERT_GT(page.dpi, 0);
  RunUnix("/usr/bin/pdftoppm -r " + std::to_string(page.dpi) + " -singlefile " + UnixPath(pdf) + " " +
          UnixPath(pdf + ".page"));
  const RgbImage printed = WaitForPpm(pdf + ".page.ppm");

  const long long sH = (page.height - 110LL - page.textHeight) * 256 / 500;
  const long long sW = (page.width - 40LL) * 256 / 1000;
  const long long s = std::min(sH, sW);
  const int width = static_cast<int>(1000 * s / 256), height = static_cast<int>(500 * s / 256);
  const int left = page.offsetX, top = page.offsetY + page.textHeight;
  const auto at = [&](int x, int y) { return printed.Pixel(left + x, top + y); };
  EXPECT_TRUE(Near(at(5, height / 4), RGB(0, 0, 255), 40)) << std::hex << at(5, height / 4);
  EXPECT_TRUE(Near(at(width - 5, height * 3 / 4), RGB(255, 0, 0), 40)) << std::hex << at(width - 5, height * 3 / 4);
  EXPECT_TRUE(Near(at(width + 5, height / 2), RGB(255, 255, 255), 10)) << "the picture ends at its printed width";
  EXPECT_TRUE(Near(at(width / 2, height + 5), RGB(255, 255, 255), 10)) << "and at its printed height";
}

TEST_F(ViewerPrintTest, IconsArePrintedAsTheirPicture) {
  Picture("a-symbol.ico", IconFile(32, kIconColour));
  const HWND viewer = Start("a-symbol.ico");
  ASSERT_TRUE(WaitTitle(viewer, "a-symbol.ico (32x32)"));
  SendCommand(viewer, kPrintPicMenuItem);
  const std::string pdf = WaitPdf();
  ASSERT_FALSE(pdf.empty());
  RunUnix("/usr/bin/pdftoppm -r 20 -singlefile " + UnixPath(pdf) + " " + UnixPath(pdf + ".page"));
  const RgbImage printed = WaitForPpm(pdf + ".page.ppm");
  EXPECT_TRUE(Near(printed.Pixel(printed.width / 3, printed.width / 3 / 2), kIconColour, 40))
      << std::hex << printed.Pixel(printed.width / 3, printed.width / 3 / 2);
}

TEST_F(ViewerPrintTest, NothingToPrintIsRefusedBeforeAJobBegins) {
  const HWND viewer = Start("");
  ASSERT_TRUE(viewer);
  PostMessageA(viewer, WM_CHAR, 'P', 0);
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Kamolt");
  EXPECT_EQ(box->text, "Es ist kein Bild zum Drucken geladen.");
  AnswerMessageBox(box->hwnd);
  EXPECT_TRUE(WaitPdf(std::chrono::seconds(3)).empty());
}

}  // namespace
}  // namespace e2e
