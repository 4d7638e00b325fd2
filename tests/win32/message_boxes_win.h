// Dialogs this process shows, answered from a helper thread while the test thread sits in
// their modal loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "harness_win.h"

namespace kamolt {

inline constexpr int kFileNameCombo = 0x47C;  // cmb13 of the save dialog
inline constexpr int kFileNameEdit = 0x480;   // edt1

inline bool IsSaveDialog(HWND window) {
  return e2e::ClassName(window) == "#32770" &&
         (e2e::FindChild(window, kFileNameCombo) != nullptr || e2e::FindChild(window, kFileNameEdit) != nullptr);
}

inline bool IsMessageBox(HWND window) {
  return e2e::ClassName(window) == "#32770" && GetDlgItem(window, 0xFFFF) != nullptr && !IsSaveDialog(window);
}

// Answers every message box of this process with OK from a helper thread while the test
// thread sits in the box's modal loop, and keeps what they said.
class MessageBoxes {
 public:
  MessageBoxes() : thread_([this] { Run(); }) {}
  ~MessageBoxes() {
    stop_ = true;
    thread_.join();
  }
  std::vector<e2e::MessageBoxSeen> Seen() {
    const std::lock_guard<std::mutex> hold(mutex_);
    return seen_;
  }

 private:
  void Run() {
    while (!stop_) {
      for (HWND window : e2e::TopLevelWindows(GetCurrentProcessId())) {
        // Until it is shown a box may not have its caption and text yet.
        if (!IsWindowVisible(window) || !IsMessageBox(window)) continue;
        e2e::MessageBoxSeen box{window, "", ""};
        // A box whose thread is busy for a moment answers nothing: it is asked again, a while.
        for (int tries = 0; tries < 100 && box.caption.empty() && box.text.empty(); ++tries) {
          if (tries > 0) Sleep(20);
          box.caption = e2e::WindowText(window);
          box.text = e2e::WindowText(GetDlgItem(window, 0xFFFF));
        }
        {
          const std::lock_guard<std::mutex> hold(mutex_);
          seen_.push_back(std::move(box));
        }
        try {
          e2e::AnswerMessageBox(window, IDOK);
        } catch (const std::exception&) {
          // The test sees the box in its list and fails on what follows.
        }
      }
      Sleep(10);
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<e2e::MessageBoxSeen> seen_;
  std::thread thread_;
};

}  // namespace kamolt
