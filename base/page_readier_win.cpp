#include <windows.h>

#include "base/page_readier.h"

namespace kamolt {

struct PageReadierThread {
  static DWORD WINAPI Run(void* readier) {
    const auto* self = static_cast<const PageReadier*>(readier);
    PageReadier::ReadyPages(self->begin_, self->size_);
    return 0;
  }
};

bool PageReadier::Launch() noexcept {
  thread_ = CreateThread(nullptr, 0, PageReadierThread::Run, this, 0, nullptr);
  return thread_ != nullptr;
}

void PageReadier::Wait() noexcept {
  if (thread_ == nullptr) return;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

}  // namespace kamolt
