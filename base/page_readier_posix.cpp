#include <system_error>

#include "base/page_readier.h"

namespace kamolt {

bool PageReadier::Launch() noexcept {
  try {
    thread_ = std::thread([begin = begin_, size = size_] { ReadyPages(begin, size); });
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void PageReadier::Wait() noexcept {
  if (thread_.joinable()) thread_.join();
}

}  // namespace kamolt
