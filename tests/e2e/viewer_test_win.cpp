// The viewer as a user meets it: started with a command line, stepping through a folder,
// remembering its place in Kamolt.INI.
#include <gtest/gtest.h>

#include "test_pictures_win.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

TEST_F(ViewerTest, ShowsTheNamedBitmapWithItsSizeInTheTitle) {
  Picture("first.bmp", BmpFile(220, 180, RGB(255, 0, 0)));
  Picture("second.bmp", BmpFile(264, 148, RGB(0, 0, 255)));
  const HWND viewer = Start("first.bmp second.bmp");
  EXPECT_TRUE(WaitTitle(viewer, "second.bmp (264x148)")) << WindowText(viewer);
  EXPECT_TRUE(WaitClientSize(viewer, 264, 148)) << "natural size after the draw timer";
  EXPECT_EQ(IniValue("Windows", "xKoord"), "<none>") << "nothing is written before closing";
}

TEST_F(ViewerTest, MissingPictureIsReportedAndStartUpGoesOn) {
  app_ = std::make_unique<App>(Exe(), "C:\\nowhere\\gone.bmp", PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Viewer");
  EXPECT_EQ(box->text, "Dateit C:\\nowhere\\gone.bmp existiert nicht !");
  AnswerMessageBox(box->hwnd);
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  ASSERT_TRUE(viewer);
  EXPECT_EQ(WindowText(viewer), "Viewer");
  EXPECT_TRUE(WaitUntil([&] { return WindowRect(viewer).left == 201 && WindowRect(viewer).top == 102; }));
  EXPECT_TRUE(WaitClientSize(viewer, 363, 307)) << "designed size without a picture";
}

TEST_F(ViewerTest, TitleOptionHoldsForEveryPicture) {
  Picture("a.bmp", BmpFile(250, 140, RGB(0, 128, 0)));
  Picture("b.bmp", BmpFile(170, 130, RGB(0, 0, 128)));
  const HWND viewer = Start("\"/TMein Titel\" a.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 250, 140));
  EXPECT_EQ(WindowText(viewer), "Mein Titel");
  PressKey(viewer, VK_SPACE);
  EXPECT_TRUE(WaitClientSize(viewer, 170, 130)) << "b.bmp was loaded";
  EXPECT_EQ(WindowText(viewer), "Mein Titel");
}

TEST_F(ViewerTest, StepsWalkTheFolderSkippingRefusedFiles) {
  Picture("a.bmp", BmpFile(40, 30, RGB(1, 2, 3)));
  Picture("b.txt", "not a picture");
  Picture("c.jpeg", "refused by its extension");
  Picture("d.bmp", BmpFile(50, 30, RGB(1, 2, 3)));
  Picture("e.png", PngFile(60, 30, RGB(9, 9, 9)));
  Picture("f.dat", "refused");
  const HWND viewer = Start("a.bmp");
  ASSERT_TRUE(WaitTitle(viewer, "a.bmp (40x30)"));

  PressKey(viewer, VK_SPACE);
  EXPECT_TRUE(WaitTitle(viewer, "d.bmp (50x30)")) << WindowText(viewer);
  PressKey(viewer, VK_SPACE);
  EXPECT_TRUE(WaitTitle(viewer, "e.png (60x30)")) << WindowText(viewer);
  PressKey(viewer, VK_SPACE);  // nothing loadable after e.png: stays
  PressKey(viewer, VK_BACK);
  EXPECT_TRUE(WaitTitle(viewer, "d.bmp (50x30)")) << WindowText(viewer);
  PressKey(viewer, VK_END);
  EXPECT_TRUE(WaitTitle(viewer, "e.png (60x30)")) << WindowText(viewer);
  PressKey(viewer, VK_HOME);
  EXPECT_TRUE(WaitTitle(viewer, "a.bmp (40x30)")) << WindowText(viewer);
  PressKey(viewer, VK_BACK);  // nothing before a.bmp: stays
  PressKey(viewer, VK_SPACE);
  EXPECT_TRUE(WaitTitle(viewer, "d.bmp (50x30)")) << "the position stayed at a.bmp";
}

// The picture named at start is converted while the window is made; the module's box still
// comes before the viewer shows.
TEST_F(ViewerTest, ConvertedPictureArgumentWithoutItsModuleIsReportedFirst) {
  Picture("b.gif", "GIF89a");
  app_ = std::make_unique<App>(Exe(), "b.gif", PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Die DLL zu diesem Format fehlt!");
  EXPECT_EQ(FindTopLevel(app_->ProcessId(), kViewerClass, nullptr), nullptr);
  AnswerMessageBox(box->hwnd);
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  ASSERT_TRUE(viewer);
  EXPECT_TRUE(WaitTitle(viewer, "b.gif (0x0)")) << WindowText(viewer);
}

TEST_F(ViewerTest, ConvertedFormatWithoutItsModuleKeepsTheOldPicture) {
  Picture("a.bmp", BmpFile(240, 130, RGB(1, 2, 3)));
  Picture("b.gif", "GIF89a");
  const HWND viewer = Start("a.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 240, 130));
  PostMessageA(viewer, WM_CHAR, ' ', 0);
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "CONV_xxx.DLL");
  EXPECT_EQ(box->text, "Die DLL zu diesem Format fehlt!");
  AnswerMessageBox(box->hwnd);
  EXPECT_TRUE(WaitTitle(viewer, "b.gif (240x130)")) << "new name, old size: " << WindowText(viewer);
}

TEST_F(ViewerTest, IconSetsTheWindowIconAndAWidthForItsName) {
  Picture("a.bmp", BmpFile(200, 100, RGB(1, 2, 3)));
  Picture("b-symbol-with-a-long-name.ico", IconFile(32, kIconColour));
  Picture("c.bmp", BmpFile(150, 90, RGB(1, 2, 3)));
  const HWND viewer = Start("a.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 200, 100));
  // Wine answers WM_GETICON from other processes with nothing, so look where a user looks: at the
  // small icon in the caption bar.
  const auto captionShowsIcon = [&] {
    const RECT frame = WindowRect(viewer);
    const HDC screen = GetDC(nullptr);
    bool seen = false;
    for (int y = frame.top; y < frame.top + GetSystemMetrics(SM_CYCAPTION) + 8 && !seen; ++y) {
      for (int x = frame.left; x < frame.left + 30 && !seen; ++x) seen = GetPixel(screen, x, y) == kIconColour;
    }
    ReleaseDC(nullptr, screen);
    return seen;
  };
  EXPECT_FALSE(captionShowsIcon());
  PressKey(viewer, VK_SPACE);
  ASSERT_TRUE(WaitTitle(viewer, "b-symbol-with-a-long-name.ico (32x32)")) << WindowText(viewer);
  EXPECT_TRUE(WaitClientSize(viewer, 9 * 29 + 60, 32)) << ClientSize(viewer).cx << "x" << ClientSize(viewer).cy;
  EXPECT_TRUE(WaitUntil(captionShowsIcon));
  PressKey(viewer, VK_SPACE);
  ASSERT_TRUE(WaitClientSize(viewer, 150, 90));
  EXPECT_TRUE(captionShowsIcon()) << "the icon stays for later pictures";
}

TEST_F(ViewerTest, MetafilesAreShownAtTheirSize) {
  Picture("m.emf", EmfFile(280, 160));
  Picture("w.wmf", WmfFile(300, 200));
  const HWND viewer = Start("m.emf");
  EXPECT_TRUE(WaitUntil([&] { return std::abs(ClientSize(viewer).cx - 280) <= 1; }));
  EXPECT_EQ(WindowText(viewer).rfind("m.emf (", 0), 0u) << WindowText(viewer);
  PressKey(viewer, VK_SPACE);
  EXPECT_TRUE(WaitTitle(viewer, "w.wmf (300x200)")) << WindowText(viewer);
  EXPECT_TRUE(WaitClientSize(viewer, 300, 200));
}

TEST_F(ViewerTest, OpenDialogLoadsTheChosenPictureAndRemembersItsFolder) {
  Picture("a.bmp", BmpFile(210, 120, RGB(1, 2, 3)));
  Picture("b.bmp", BmpFile(230, 140, RGB(1, 2, 3)));
  Picture("c.bmp", BmpFile(250, 160, RGB(1, 2, 3)));
  const HWND viewer = Start("");
  ASSERT_TRUE(viewer);
  SendCommand(viewer, kOpenPicMenuItem);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel(app_->ProcessId(), "#32770", nullptr)) != nullptr; }));
  const HWND nameField = FindChildByClass(dialog, "Edit");
  ASSERT_TRUE(nameField);
  SendMessageA(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(PictureFolder().append("\\b.bmp").c_str()));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitTitle(viewer, PictureFolder() + "\\b.bmp (230x140)")) << WindowText(viewer);
  EXPECT_EQ(IniValue("Others", "OpenDir"), PictureFolder() + "\\");
  PressKey(viewer, VK_SPACE);
  EXPECT_TRUE(WaitTitle(viewer, "c.bmp (250x160)")) << "the folder list follows the chosen picture";
}

TEST_F(ViewerTest, PositionComesFromTheSettingsAndIsWrittenOnClose) {
  WritePrivateProfileStringA("Windows", "xKoord", "300", Ini().c_str());
  WritePrivateProfileStringA("Windows", "yKoord", "150", Ini().c_str());
  Picture("a.bmp", BmpFile(300, 200, RGB(1, 2, 3)));
  const HWND viewer = Start("a.bmp");
  ASSERT_TRUE(WaitClientSize(viewer, 300, 200));
  EXPECT_EQ(WindowRect(viewer).left, 300);
  EXPECT_EQ(WindowRect(viewer).top, 150);
  SetWindowPos(viewer, nullptr, 250, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_TRUE(WaitUntil([&] { return WindowRect(viewer).left == 250; }));
  PressKey(viewer, VK_ESCAPE);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(IniValue("Windows", "xKoord"), "250");
  EXPECT_EQ(IniValue("Windows", "yKoord"), "120");
}

TEST_F(ViewerTest, DeleteClosesAndWritesThePositionToo) {
  const HWND viewer = Start("");
  ASSERT_TRUE(viewer);
  PressKey(viewer, VK_DELETE);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
  EXPECT_EQ(IniValue("Windows", "xKoord"), "201");
  EXPECT_EQ(IniValue("Windows", "yKoord"), "102");
}

TEST_F(ViewerTest, UnwritableSettingsAreReportedAndTheViewerStillCloses) {
  // A folder where the settings file belongs can be neither read nor replaced.
  ASSERT_TRUE(CreateDirectoryA(Ini().c_str(), nullptr));
  const HWND viewer = Start("");
  ASSERT_TRUE(viewer);
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Kamolt");
  EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, box->text.c_str(), -1,
                           ("In " + Ini() + " kann nicht geschrieben werden").c_str(), -1),
            CSTR_EQUAL)
      << box->text;
  AnswerMessageBox(box->hwnd);
  EXPECT_TRUE(app_->WaitExit());
}

TEST_F(ViewerTest, ScanModeShowsTheTargetNameAndLoadsNothing) {
  Picture("bild01.bmp", BmpFile(40, 30, RGB(1, 2, 3)));
  const HWND viewer = Start("-S bild01.bmp");
  ASSERT_TRUE(viewer);
  // The scan dialog takes the title's extension for its format.
  EXPECT_TRUE(WaitTitle(viewer, "bild01")) << WindowText(viewer);
  EXPECT_TRUE(WaitClientSize(viewer, 363, 307));
}

TEST_F(ViewerTest, WithoutArgumentsTheTitleIsEmpty) {
  const HWND viewer = Start("/Xirrelevant");
  ASSERT_TRUE(viewer);
  EXPECT_EQ(WindowText(viewer), "");
}

TEST_F(ViewerTest, UndecodablePictureShowsThePlatformErrorAndSkipsTheRest) {
  WritePrivateProfileStringA("Windows", "xKoord", "300", Ini().c_str());
  Picture("broken.bmp", "BM this is no bitmap");
  app_ = std::make_unique<App>(Exe(), "broken.bmp", PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Kamolt");
  EXPECT_EQ(box->text, "Bitmap ist ungültig");
  AnswerMessageBox(box->hwnd);
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  ASSERT_TRUE(viewer);
  EXPECT_EQ(WindowRect(viewer).left, 189) << "the designed position stays";
  EXPECT_EQ(WindowText(viewer), "Viewer");
}

}  // namespace
}  // namespace e2e
