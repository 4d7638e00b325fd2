#pragma once
// Fresh memory costs the system a page fault on each page's first write, and for a picture
// of many megabytes those faults take almost as long as decoding it. A PageReadier takes
// them in a second thread for the part of a block that is filled last, while the caller
// fills the first part.
#include <cstddef>
#include <cstdint>
#include <thread>

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
  std::thread thread_;
};

}  // namespace kamolt
