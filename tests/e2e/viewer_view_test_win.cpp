// Sizing, zooming and scrolling the viewer, on the bench's 1024 x 768 screen
// (usable client area 1016 x 741).
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_pictures_win.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

constexpr int kUsableWidth = 1016;
constexpr int kUsableHeight = 741;

class ViewerViewTest : public ViewerTest {
 protected:
  void StoreFitMode(int mode) const {
    WritePrivateProfileStringA("Windows", "FitToScreen", std::to_string(mode).c_str(), Ini().c_str());
  }
  std::string StoredFitMode() const { return IniValue("Windows", "FitToScreen"); }
  static HWND Image(HWND viewer) { return FindChildByClass(viewer, "TImage"); }
  // The image control's offset in the client area, which is how far the view has scrolled.
  static POINT ImageOffset(HWND viewer) {
    RECT image = WindowRect(Image(viewer));
    POINT origin{0, 0};
    ClientToScreen(viewer, &origin);
    return {image.left - origin.x, image.top - origin.y};
  }
  static SIZE ImageSize(HWND viewer) {
    const RECT r = WindowRect(Image(viewer));
    return {r.right - r.left, r.bottom - r.top};
  }
  void CloseViewer() {
    PostMessageA(viewerWindow_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(app_->WaitExit());
  }
  // A click with the real mouse on item index of an open popup menu of eleven items: the
  // pointer moves there first, so the menu has marked the item before the button goes down.
  static void ClickMenuItem(HWND menu, int index) {
    const RECT frame = WindowRect(menu);
    const int border = GetSystemMetrics(SM_CYEDGE) + 1;
    const int itemHeight = (frame.bottom - frame.top - 2 * border) / 11;
    POINT at{(frame.left + frame.right) / 2, frame.top + border + itemHeight * index + itemHeight / 2};
    const auto send = [&](DWORD flags) {
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
      input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
      input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
      SendInput(1, &input, sizeof input);
      SendMessageTimeoutA(menu, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
    };
    // A menu that is shown may not be tracking the pointer yet, and then misses a click: the
    // pointer moves until the menu highlights the item under it.
    const auto items = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
    WaitUntil(
        [&] {
          at.x ^= 1;
          send(0);
          return items && (GetMenuState(items, index, MF_BYPOSITION) & MF_HILITE);
        },
        std::chrono::seconds(5));
    send(MOUSEEVENTF_LEFTDOWN);
    send(MOUSEEVENTF_LEFTUP);
    WaitUntil([&] { return !IsWindowVisible(menu); });
  }

  HWND viewerWindow_ = nullptr;
};

TEST_F(ViewerViewTest, StartUpAppliesTheStoredFitMode) {
  Picture("photo.bmp", BmpFile(640, 480, RGB(90, 90, 200)));
  struct Case {
    int stored;
    bool withPicture;
    int width, height;  // -1: whatever the platform's smallest window gives
    const char* storedAfter;
  };
  const Case cases[] = {
      {0, false, 363, 307, "0"},   {1, false, kUsableWidth, kUsableHeight, "1"},
      {2, false, -1, 0, "0"},      {3, false, -1, 0, "3"},
      {7, false, 363, 307, "7"},   {0, true, 640, 480, "0"},
      {1, true, kUsableWidth, kUsableHeight, "1"}, {2, true, 960, kUsableHeight, "2"},
      {3, true, 640, 480, "3"},    {7, true, 640, 480, "7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("stored fit mode " + std::to_string(c.stored) + (c.withPicture ? " with" : " without") + " picture");
    StoreFitMode(c.stored);
    viewerWindow_ = Start(c.withPicture ? "photo.bmp" : "");
    ASSERT_TRUE(viewerWindow_);
    EXPECT_TRUE(WaitUntil([&] {
      const SIZE size = ClientSize(viewerWindow_);
      return (c.width < 0 || size.cx == c.width) && size.cy == c.height;
    })) << ClientSize(viewerWindow_).cx << "x" << ClientSize(viewerWindow_).cy;
    EXPECT_EQ(StoredFitMode(), c.storedAfter);
    CloseViewer();
  }
}

// Each view key against the menu item that must do the same.
struct ViewStep {
  char key;
  int menuIndex;  // position in the popup menu
  int width, height;
  const char* stored;  // nullptr: unchanged
};
constexpr ViewStep kViewSteps[] = {
    {'A', 2, 960, kUsableHeight, "2"}, {'G', 3, 640, 480, "3"}, {'/', 1, kUsableWidth, kUsableHeight, "1"},
    {'*', 0, 640, 480, "0"},           {'+', 4, 960, 720, nullptr}, {'-', 5, 640, 480, nullptr},
    {'-', 5, 426, 320, nullptr},       {'a', 2, 960, kUsableHeight, "2"}, {'g', 3, 640, 480, "3"},
};

TEST_F(ViewerViewTest, ViewKeysSizeTheViewAndStoreTheFitMode) {
  Picture("photo.bmp", BmpFile(640, 480, RGB(90, 90, 200)));
  viewerWindow_ = Start("photo.bmp");
  ASSERT_TRUE(WaitClientSize(viewerWindow_, 640, 480));
  for (const ViewStep& step : kViewSteps) {
    SCOPED_TRACE(std::string("key ") + step.key);
    const std::string before = StoredFitMode();
    TypeText(viewerWindow_, std::string(1, step.key));
    EXPECT_TRUE(WaitClientSize(viewerWindow_, step.width, step.height))
        << ClientSize(viewerWindow_).cx << "x" << ClientSize(viewerWindow_).cy;
    EXPECT_EQ(StoredFitMode(), step.stored ? step.stored : before);
  }
}

TEST_F(ViewerViewTest, PopupMenuItemsDoWhatTheirKeysDo) {
  Picture("photo.bmp", BmpFile(640, 480, RGB(90, 90, 200)));
  viewerWindow_ = Start("photo.bmp");
  ASSERT_TRUE(WaitClientSize(viewerWindow_, 640, 480));
  for (const ViewStep& step : kViewSteps) {
    SCOPED_TRACE(std::string("menu item for ") + step.key);
    const std::string before = StoredFitMode();
    const RECT frame = WindowRect(viewerWindow_);
    PostMessageA(viewerWindow_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(viewerWindow_),
                 MAKELPARAM(frame.left + 40, frame.top + 60));
    HWND menu = nullptr;
    // The platform keeps a closed menu's window, hidden, at its old place: wait for the new one.
    ASSERT_TRUE(WaitUntil([&] {
      for (HWND window : TopLevelWindows(app_->ProcessId())) {
        if (ClassName(window) == "#32768" && IsWindowVisible(window)) return (menu = window) != nullptr;
      }
      return false;
    }));
    ClickMenuItem(menu, step.menuIndex);
    EXPECT_TRUE(WaitClientSize(viewerWindow_, step.width, step.height))
        << ClientSize(viewerWindow_).cx << "x" << ClientSize(viewerWindow_).cy;
    EXPECT_EQ(StoredFitMode(), step.stored ? step.stored : before);
  }
}

TEST_F(ViewerViewTest, TallPictureScrollsAndPushesTheWindowUp) {
  Picture("tall.bmp", BmpFile(300, 2000, RGB(200, 90, 20)));
  viewerWindow_ = Start("tall.bmp");
  ASSERT_TRUE(WaitUntil([&] { return ImageSize(viewerWindow_).cy == 2000; })) << ImageSize(viewerWindow_).cy;
  EXPECT_EQ(ImageSize(viewerWindow_).cx, 300) << "the control keeps the requested size";
  EXPECT_TRUE(WaitUntil([&] { return WindowRect(viewerWindow_).top == -4; })) << WindowRect(viewerWindow_).top;
  const int client = ClientSize(viewerWindow_).cy;
  ASSERT_LT(client, 1000);
  const int bottom = -(2000 - client);

  PressKey(viewerWindow_, VK_DOWN);
  EXPECT_EQ(ImageOffset(viewerWindow_).y, -8);
  PressKey(viewerWindow_, VK_DOWN, true);
  EXPECT_EQ(ImageOffset(viewerWindow_).y, bottom) << "scroll range is the picture's height";
  PressKey(viewerWindow_, VK_NEXT);
  EXPECT_EQ(ImageOffset(viewerWindow_).y, bottom) << "kept inside the range";
  PressKey(viewerWindow_, VK_PRIOR);
  EXPECT_EQ(ImageOffset(viewerWindow_).y, bottom + (client - 50));
  PressKey(viewerWindow_, VK_UP, true);
  EXPECT_EQ(ImageOffset(viewerWindow_).y, 0) << "Ctrl+Up goes to the top in one step";
  PressKey(viewerWindow_, VK_RIGHT, true);
  EXPECT_EQ(ImageOffset(viewerWindow_).x, 0) << "no horizontal scroll bar, nothing moves";

  PressKey(viewerWindow_, VK_DOWN, true);
  const POINT scrolled = ImageOffset(viewerWindow_);
  PressKey(viewerWindow_, VK_HOME);
  EXPECT_TRUE(WaitTitle(viewerWindow_, "tall.bmp (300x2000)"));
  EXPECT_EQ(ImageOffset(viewerWindow_).y, scrolled.y) << "Home only steps to the first picture";
}

TEST_F(ViewerViewTest, WidePictureUnderShowCompleteFitsTheWidth) {
  StoreFitMode(3);
  Picture("wide.bmp", BmpFile(2000, 1000, RGB(20, 200, 20)));
  viewerWindow_ = Start("wide.bmp");
  EXPECT_TRUE(WaitClientSize(viewerWindow_, kUsableWidth, 500));
  EXPECT_EQ(StoredFitMode(), "3");
}

// A camera-sized photo must keep its landscape shape, not be squeezed into a portrait window.
TEST_F(ViewerViewTest, LargePhotoUnderAdjustKeepsItsProportions) {
  StoreFitMode(2);
  Picture("photo.bmp", BmpFile(3000, 2000, RGB(40, 60, 200)));
  viewerWindow_ = Start("photo.bmp");
  EXPECT_TRUE(WaitClientSize(viewerWindow_, kUsableWidth, 677)) << ClientSize(viewerWindow_).cx << "x"
                                                                 << ClientSize(viewerWindow_).cy;
  EXPECT_EQ(StoredFitMode(), "2");
}

TEST_F(ViewerViewTest, AdjustWithoutAPictureStoresNaturalSize) {
  StoreFitMode(1);
  viewerWindow_ = Start("");
  ASSERT_TRUE(WaitClientSize(viewerWindow_, kUsableWidth, kUsableHeight));
  TypeText(viewerWindow_, "A");
  EXPECT_TRUE(WaitUntil([&] { return ClientSize(viewerWindow_).cy == 0; }));
  EXPECT_EQ(StoredFitMode(), "0");
}

}  // namespace
}  // namespace e2e
