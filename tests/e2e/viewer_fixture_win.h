// A fresh copy of the viewer for every test, with its own settings file and picture folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "harness_win.h"
#include "help_viewer_win.h"

namespace e2e {

constexpr const char* kViewerClass = "TViewer";
constexpr COLORREF kIconColour = RGB(200, 40, 40);
constexpr int kOpenPicMenuItem = 107;

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(AppFolder().c_str(), nullptr);
    CreateDirectoryA(PictureFolder().c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((DistFolder() + "\\Kamolt.exe").c_str(), Exe().c_str(), FALSE));
  }

  // The converter modules beside the program, where it looks for them first.
  void InstallModules() const {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((DistFolder() + "\\CONV_*.DLL").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no converter modules in " << DistFolder();
    do {
      ASSERT_TRUE(CopyFileA((DistFolder() + "\\" + found.cFileName).c_str(),
                            (AppFolder() + "\\" + found.cFileName).c_str(), FALSE));
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }

  // The help file beside the program, where the help viewer is started to find it.
  void InstallHelpFile() const {
    ASSERT_TRUE(CopyFileA((DistFolder() + "\\Kamolt.chm").c_str(), (AppFolder() + "\\Kamolt.chm").c_str(), FALSE));
  }
  // Waits for Wine's own help viewer to show the help file in exactly `count` windows.
  static bool WaitHelpWindows(std::size_t count) {
    return WaitUntil([&] { return HelpWindows().size() == count; }, std::chrono::seconds(20));
  }
  static bool MoreHelpWindowsThan(std::size_t count) {
    return WaitUntil([&] { return HelpWindows().size() > count; }, std::chrono::milliseconds(700));
  }

  std::string AppFolder() const { return scratch_.File("app"); }
  std::string PictureFolder() const { return scratch_.File("pics"); }
  std::string Exe() const { return AppFolder() + "\\Kamolt.exe"; }
  std::string Ini() const { return AppFolder() + "\\Kamolt.INI"; }
  void Picture(const std::string& name, const std::string& bytes) const {
    scratch_.Write("pics\\" + name, bytes);
  }

  HWND Start(const std::string& arguments) {
    app_ = std::make_unique<App>(Exe(), arguments, PictureFolder());
    const HWND viewer = app_->WaitMainWindow(kViewerClass);
    if (!viewer) ADD_FAILURE() << "no viewer window for: " << arguments;
    return viewer;
  }

  static bool WaitTitle(HWND window, const std::string& title) {
    return WaitUntil([&] { return WindowText(window) == title; });
  }
  static bool WaitClientSize(HWND window, int width, int height) {
    return WaitUntil([&] {
      const SIZE size = ClientSize(window);
      return size.cx == width && size.cy == height;
    });
  }

  std::string IniValue(const char* section, const char* key) const {
    char value[256] = "";
    GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, Ini().c_str());
    return value;
  }

  ScratchFolder scratch_;
  std::unique_ptr<App> app_;
};

}  // namespace e2e
