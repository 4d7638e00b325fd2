#include "base/page_readier.h"

#include <system_error>

namespace kamolt {
namespace {

// Smaller than any page the platforms use, so no page is stepped over.
constexpr std::size_t kStep = 4096;
// Bytes below which a block is filled faster than a thread starts.
constexpr std::size_t kSmallestReadiedBlock = std::size_t{4} << 20;

}  // namespace

void PageReadier::Start(std::uint8_t* begin, std::uint8_t* end) noexcept {
  Wait();
  if (end <= begin || static_cast<std::size_t>(end - begin) < kSmallestReadiedBlock) return;
  try {
    thread_ = std::thread([begin, size = static_cast<std::size_t>(end - begin)] {
      // A volatile store, so the writes are not left out as unused.
      volatile std::uint8_t* const block = begin;
      for (std::size_t offset = 0; offset < size; offset += kStep) block[offset] = 0;
    });
  } catch (const std::system_error&) {
  }
}

void PageReadier::Wait() noexcept {
  if (thread_.joinable()) thread_.join();
}

}  // namespace kamolt
