// The libFuzzer program of one target, named at build time by KAMOLT_FUZZ_TARGET.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "tests/fuzz/fuzz_targets.h"

namespace {

kamolt::fuzz::TargetFunction Target() {
  static const kamolt::fuzz::TargetFunction run = [] {
    const kamolt::fuzz::FuzzTarget* target = kamolt::fuzz::FindFuzzTarget(KAMOLT_FUZZ_TARGET);
    if (target == nullptr) {
      std::fprintf(stderr, "no fuzz target named %s\n", KAMOLT_FUZZ_TARGET);
      std::abort();
    }
    return target->run;
  }();
  return run;
}

// The sanitizer's operator new ends the process when memory runs out, where a program
// would see std::bad_alloc. Here a target's blocks past 4 MB fail with the exception, as
// large ones may in a 32-bit process, so that the readers' refusal of them is what gets
// tested, and runs stay fast. The C libraries' malloc has its limit from the fuzz runs
// (max_allocation_size_mb with allocator_may_return_null).
constexpr std::size_t kLargestTargetBlock = 4 << 20;
bool inTarget = false;

void* Allocate(std::size_t size) {
  if (inTarget && size > kLargestTargetBlock) throw std::bad_alloc();
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void* AllocateAligned(std::size_t size, std::align_val_t align) {
  const auto alignment = static_cast<std::size_t>(align);
  if (void* memory = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return inTarget && size > kLargestTargetBlock ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }
void* operator new(std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(size, align);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t& nothrow) noexcept {
  return operator new(size, align, nothrow);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kamolt::fuzz::TargetFunction run = Target();
  inTarget = true;
  const int result = run(data, size);
  inTarget = false;
  return result;
}
