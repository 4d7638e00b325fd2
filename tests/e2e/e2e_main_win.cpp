// Runs the end-to-end suite. When a test fails, the screen as it was at that
// moment is saved, because what the program showed is usually the quickest
// way to see why.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness_win.h"

namespace {

std::string ScreenshotFolder() {
  const char* folder = std::getenv("KAMOLT_SCREENSHOTS");
  std::string path = (folder != nullptr && *folder != '\0') ? folder : ".";
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

void CreateFolders(const std::string& path) {
  for (size_t at = path.find_first_of("\\/", 3); at != std::string::npos;
       at = path.find_first_of("\\/", at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
}

// Parameterised and typed tests carry '/' in their names.
std::string FileNamePart(std::string name) {
  for (char& c : name) {
    if (std::string("\\/:*?\"<>|").find(c) != std::string::npos) c = '_';
  }
  return name;
}

// Taken at the first failure, while the program under test still shows what went wrong;
// by the end of the test its fixture has closed it.
class ScreenshotOnFailure : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { taken_ = false; }

  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (!result.failed() || taken_) return;
    taken_ = true;
    const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
    const std::string folder = ScreenshotFolder();
    CreateFolders(folder);
    const std::string path = folder + "\\" + FileNamePart(test.test_suite_name()) + "." +
                             FileNamePart(test.name()) + ".bmp";
    if (e2e::SaveScreenshotBmp(path)) {
      std::printf("[ SCREEN   ] %s\n", path.c_str());
    } else {
      std::printf("[ SCREEN   ] could not save %s (error %lu)\n", path.c_str(), GetLastError());
    }
    std::fflush(stdout);
  }

  bool taken_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  // A fault in a program under test must end it, not wait for someone to
  // dismiss a system error box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  // The first program of a fresh Wine session starts the virtual desktop; until it is up
  // the screen has no size and windows no place.
  e2e::WaitUntil([] { return GetSystemMetrics(SM_CXSCREEN) > 0 && GetDesktopWindow() != nullptr; },
                 std::chrono::seconds(30));
  testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotOnFailure);
  return RUN_ALL_TESTS();
}
