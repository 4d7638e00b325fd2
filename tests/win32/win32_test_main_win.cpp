// Runs the in-process Win32 tests.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // A fault must end the run, not wait for someone to dismiss a system error box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
