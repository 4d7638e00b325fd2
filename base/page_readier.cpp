#include "base/page_readier.h"

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
  begin_ = begin;
  size_ = static_cast<std::size_t>(end - begin);
  Launch();
}

void PageReadier::ReadyPages(std::uint8_t* begin, std::size_t size) noexcept {
  // A volatile store, so the writes are not left out as unused.
  volatile std::uint8_t* const block = begin;
  for (std::size_t offset = 0; offset < size; offset += kStep) block[offset] = 0;
}

}  // namespace kamolt
