// The harness checked against Wine's own Notepad, so a fault in the harness
// shows up here and not as a puzzling failure of a Kamolt test.
#include <gtest/gtest.h>

#include "harness_win.h"

namespace e2e {
namespace {

std::string NotepadPath() {
  char folder[MAX_PATH] = {};
  GetWindowsDirectoryA(folder, sizeof folder);
  return std::string(folder) + "\\notepad.exe";
}

TEST(HarnessBench, ScreenAndCodePageAreTheOnesTestsAssume) {
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

TEST(HarnessFiles, ScratchFolderHoldsBytesAndIsRemovedWithItsContent) {
  std::string path;
  {
    ScratchFolder scratch;
    path = scratch.Path();
    EXPECT_NE(path.find("\\kamolt-e2e\\"), std::string::npos) << path;
    const std::string bytes("BM\0\x01\xFF\r\n\x1A", 8);
    scratch.Write("a.bin", bytes);
    EXPECT_TRUE(FileExists(scratch.File("a.bin")));
    EXPECT_EQ(ReadFileBytes(scratch.File("a.bin")), bytes);
    ASSERT_TRUE(CreateDirectoryA(scratch.File("sub").c_str(), nullptr));
    scratch.Write("sub\\b.txt", "x");
    EXPECT_FALSE(FileExists(scratch.File("sub")));  // a folder is not a file
    EXPECT_FALSE(FileExists(scratch.File("missing")));
    ScratchFolder other;
    EXPECT_NE(other.Path(), path);
  }
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_THROW(ReadFileBytes(path + "\\a.bin"), std::runtime_error);
}

TEST(HarnessFiles, WaitForFileWaitsUntilTheWriterHasClosedIt) {
  ScratchFolder scratch;
  const std::string path = scratch.File("out.jpg");
  EXPECT_FALSE(WaitForFile(path, std::chrono::milliseconds(50)));
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WaitForFile(path, std::chrono::milliseconds(50)));
  CloseHandle(writer);
  EXPECT_TRUE(WaitForFile(path, std::chrono::milliseconds(50)));
}

TEST(HarnessWait, WaitUntilChecksOnceMoreAtTheDeadline) {
  int calls = 0;
  EXPECT_FALSE(WaitUntil([&] { return ++calls < 0; }, std::chrono::milliseconds(0)));
  EXPECT_EQ(calls, 1);
  const auto start = Clock::now();
  EXPECT_TRUE(WaitUntil([&] { return Clock::now() - start > std::chrono::milliseconds(30); },
                        std::chrono::seconds(2)));
}

class HarnessNotepad : public testing::Test {
 protected:
  void SetUp() override {
    window_ = app_.WaitMainWindow("Notepad");
    ASSERT_NE(window_, nullptr);
    edit_ = FindChildByClass(window_, "Edit");
    ASSERT_NE(edit_, nullptr);
  }

  App app_{NotepadPath(), "", ""};
  HWND window_ = nullptr;
  HWND edit_ = nullptr;
};

TEST_F(HarnessNotepad, FindsAndReadsTheWindow) {
  EXPECT_EQ(ClassName(window_), "Notepad");
  EXPECT_NE(WindowText(window_).find("Notepad"), std::string::npos) << WindowText(window_);
  EXPECT_EQ(TopLevelWindows(app_.ProcessId()), std::vector<HWND>{window_});
  EXPECT_EQ(FindTopLevel(app_.ProcessId(), nullptr,
                         [](const std::string& title) { return title.find("Notepad") != title.npos; }),
            window_);
  EXPECT_EQ(FindTopLevel(app_.ProcessId(), "Edit", nullptr), nullptr);  // a child, not top-level
  EXPECT_EQ(FindChild(window_, GetDlgCtrlID(edit_)), edit_);
  EXPECT_EQ(FindChildByClass(window_, "Edit", 1), nullptr);
  const RECT outer = WindowRect(window_);
  const SIZE client = ClientSize(window_);
  EXPECT_GT(client.cx, 0);
  EXPECT_LT(client.cx, outer.right - outer.left);
  EXPECT_LT(client.cy, outer.bottom - outer.top);
  EXPECT_THROW(ControlText(window_, 0x7123), std::runtime_error);
}

TEST_F(HarnessNotepad, TypedTextAndEditingKeysReachTheFocusedControl) {
  TypeText(window_, "Gr\xF6\xDF" "e 1+1!");  // through the main window to its focused edit
  EXPECT_EQ(WindowText(edit_), "Gr\xF6\xDF" "e 1+1!");
  PressKey(edit_, VK_HOME);
  PressKey(edit_, VK_DELETE);
  PressKey(edit_, VK_END);
  PressKey(edit_, VK_BACK);
  EXPECT_EQ(WindowText(edit_), "r\xF6\xDF" "e 1+1");
  PressKey(edit_, VK_HOME, false, true);
  PressKey(edit_, VK_SPACE);
  EXPECT_EQ(WindowText(edit_), " ");
}

TEST_F(HarnessNotepad, MessageBoxIsReadAndAnswered) {
  TypeText(edit_, "x");
  PostMessageA(window_, WM_CLOSE, 0, 0);  // unsaved text: Notepad asks first
  const auto box = WaitMessageBox(app_.ProcessId());
  ASSERT_TRUE(box);
  EXPECT_NE(box->caption, "");
  EXPECT_NE(box->text, "");
  EXPECT_NE(FindChild(box->hwnd, IDNO), nullptr);
  AnswerMessageBox(box->hwnd, IDNO);
  EXPECT_FALSE(IsWindow(box->hwnd));
  EXPECT_TRUE(app_.WaitExit());
  EXPECT_EQ(app_.ExitCode(), 0u);
}

TEST_F(HarnessNotepad, EndsTheProgramItStartedWhenGoingOutOfScope) {
  HANDLE process = nullptr;
  {
    App second(NotepadPath(), "", "");
    ASSERT_NE(second.WaitMainWindow("Notepad"), nullptr);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), second.Process(), GetCurrentProcess(),
                                &process, SYNCHRONIZE, FALSE, 0));
    EXPECT_FALSE(second.WaitExit(std::chrono::milliseconds(0)));
    EXPECT_EQ(second.ExitCode(), STILL_ACTIVE);
  }
  EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
  CloseHandle(process);
}

}  // namespace
}  // namespace e2e
