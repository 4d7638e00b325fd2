#pragma once
// Fresh memory costs the system a page fault on each page's first write, and for a picture
// of many megabytes those faults take almost as long as decoding it. A PageReadier takes
// them in a second thread for the part of a block that is filled last, while the caller
// fills the first part.
#include <cstddef>
#include <cstdint>
#ifndef _WIN32
#include <thread>
#endif

namespace kamolt {

class PageReadier {
 public:
  PageReadier() = default;
  PageReadier(const PageReadier&) = delete;
  PageReadier& operator=(const PageReadier&) = delete;
  ~PageReadier() { Wait(); }

  // Starts writing one byte into every page of [begin, end), which the caller must neither
  // read nor write until Wait returns. Blocks too small to be worth a thread, or a thread
  // that cannot be started, are left to fault as they are filled.
  void Start(std::uint8_t* begin, std::uint8_t* end) noexcept;
  // Returns once the other thread is done; at once when none was started.
  void Wait() noexcept;

 private:
  // The other thread's work.
  static void ReadyPages(std::uint8_t* begin, std::size_t size) noexcept;
  // Starts the other thread on [begin_, begin_ + size_); false when it could not be started.
  bool Launch() noexcept;
  friend struct PageReadierThread;

  std::uint8_t* begin_ = nullptr;
  std::size_t size_ = 0;
#ifdef _WIN32
  // A thread of the platform's own, not of the C++ thread runtime: a converter module links
  // that runtime statically, and it would take a slot of the process at every load of the
  // module and never give it back.
  void* thread_ = nullptr;
#else
  std::thread thread_;
#endif
};

}  // namespace kamolt
