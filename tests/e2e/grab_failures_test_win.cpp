// What the user meets when a grab or a clipboard import cannot get its picture: a port that
// cannot be opened, a capture application that never copies.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "host_standin_win.h"
#include "serial_ports_win.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCaptureAppClass = "KamoltCaptureTestApp";
constexpr const char* kDialogClass = "TAblage";
constexpr int kLDateiname = 102;
constexpr int kAbbruch = 108;

void EmptyTheClipboard() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  CloseClipboard();
}

int FilesIn(const std::string& folder) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int files = 0;
  do files += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY); while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

class GrabFailures : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    EmptyTheClipboard();
  }
  void StartCaptureApp(const std::string& arguments) {
    captureApp_ = std::make_unique<App>(DistFolder() + "\\CapTestApp.exe", arguments, "");
    ASSERT_TRUE(captureApp_->WaitMainWindow(kCaptureAppClass));
  }
  std::string Pic(const std::string& name) const { return PictureFolder() + "\\" + name; }

  std::unique_ptr<App> captureApp_;
};

TEST_F(GrabFailures, PortThatCannotBeOpenedIsToldOnceThenOnePictureIsTaken) {
  if (!PortKeptOffAnyLine("COM1")) GTEST_SKIP() << "COM1 may reach a real line here";
  StartCaptureApp("/F3");
  app_ = std::make_unique<App>(Exe(), "-C /CBMP /X /PCOM1 \"/WCapture Test App\" " + Pic("P01"), PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Fehler");
  EXPECT_EQ(box->text, "Port COM1 konnte nicht göffnet werden!");
  AnswerMessageBox(box->hwnd);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_EQ(app_->ExitCode(), 0u);
  EXPECT_TRUE(FileExists(Pic("P01.BMP")));
  EXPECT_EQ(FilesIn(PictureFolder()), 1) << "one picture, no series";
  EXPECT_EQ(ReadFileBytes(HandOffFileBeside(Exe())), Pic("P01.BMP") + "'1'C");
}

TEST_F(GrabFailures, CaptureAppThatNeverCopiesGivesUpAfterAboutFourSeconds) {
  StartCaptureApp("/N /F1");
  app_ = std::make_unique<App>(Exe(), "-C /CBMP /X " + Pic("N01"), PictureFolder());
  const auto start = Clock::now();
  const auto box = WaitMessageBox(app_->ProcessId(), 20s);
  const auto waited = Clock::now() - start;
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Zelvo-Zwischenablage");
  EXPECT_EQ(box->text, "Zwischenablage enthält keine Grafikdaten !");
  EXPECT_GE(waited, 4s) << "twenty tries of 200 ms";
  AnswerMessageBox(box->hwnd);
  ASSERT_TRUE(app_->WaitExit());
  EXPECT_NE(app_->ExitCode(), 0u);
  EXPECT_EQ(FilesIn(PictureFolder()), 0);
}

// A key series whose second picture cannot be written, ended in each way the user can end
// it: the host is told only the picture written, and the program ends as "&Ende" ends it.
TEST_F(GrabFailures, KeySeriesWithAFailedSaveHandsOffOnlyWhatWasWrittenHoweverItEnds) {
  enum class Ending { EndeButton, CloseBox, AltF4 };
  StartCaptureApp("/F3");
  char series = 'A';
  for (const Ending ending : {Ending::EndeButton, Ending::CloseBox, Ending::AltF4}) {
    SCOPED_TRACE(series);
    const std::string stem = Pic(std::string(1, series++));
    DeleteFileA(HandOffFileBeside(Exe()).c_str());
    // A folder where the second picture would go: no file can be written under its name.
    ASSERT_TRUE(CreateDirectoryA((stem + "02.PNG").c_str(), nullptr));
    app_ = std::make_unique<App>(Exe(), "-C /CPNG /KG /X \"/WCapture Test App\" " + stem + "01", PictureFolder());
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel(app_->ProcessId(), kDialogClass, nullptr)) != nullptr; }));
    const HWND ende = FindChild(dialog, kAbbruch);
    for (int press = 0; press < 2; ++press) PressKey(ende, 'G', true, false, true);
    EXPECT_EQ(WindowText(FindChild(dialog, kLDateiname)), stem + "01.PNG") << "the last picture written";
    switch (ending) {
      case Ending::EndeButton: SendCommand(dialog, kAbbruch); break;
      case Ending::CloseBox: PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
      case Ending::AltF4: PressKey(ende, VK_F4, false, false, true); break;
    }
    ASSERT_TRUE(app_->WaitExit()) << "the program ends with the series";
    EXPECT_EQ(app_->ExitCode(), 0u);
    EXPECT_EQ(ReadFileBytes(HandOffFileBeside(Exe())), stem + "01.PNG'1'C");
  }
}

}  // namespace
}  // namespace e2e
