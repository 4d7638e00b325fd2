// A stand-in for the host application's main window: a top-level window of the host's
// class, run by a thread of its own so a sender in any process or thread can wait on it.
// It records every hand-off message with the record that the shared section held when the
// message came, as the host would read it.
#pragma once

#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

class HostStandIn {
 public:
  struct Received {
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::string record;  // wParam bytes from the start of the section, or "" without one
  };

  // className: "TFormTelnetMain" or "TFormCommMain".
  explicit HostStandIn(const std::string& className);
  ~HostStandIn();
  HostStandIn(const HostStandIn&) = delete;
  HostStandIn& operator=(const HostStandIn&) = delete;

  std::vector<Received> Messages();
  // True once `count` messages have come.
  bool WaitMessages(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Run();

  std::string className_;
  UINT handOffMessage_ = 0;
  HWND window_ = nullptr;
  std::mutex mutex_;
  std::vector<Received> received_;
  std::thread thread_;
};

// The hand-off text file beside a program: "SendToZelvo.TXT" in the folder of exePath.
std::string HandOffFileBeside(const std::string& exePath);

}  // namespace e2e
