#include "tools/process_figures_win.h"

#include <winternl.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kamolt::soak {
namespace {

// The process environment block's pointers to its two slot bitmaps (the first 64 slots and
// the 1,024 more), at the offsets the platform has kept since the slots were extended.
#ifdef _WIN64
constexpr std::size_t kTlsBitmapAt = 0x78, kTlsExpansionBitmapAt = 0x238;
#else
constexpr std::size_t kTlsBitmapAt = 0x40, kTlsExpansionBitmapAt = 0x150;
#endif

// The platform's description of a bitmap: its bit count and where the bits are.
struct RtlBitmap {
  ULONG sizeOfBitmap;
  ULONG* buffer;
};

template <typename T>
bool ReadFrom(HANDLE process, const void* at, T& into) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, at, &into, sizeof into, &read) && read == sizeof into;
}

long long BitsSet(HANDLE process, const std::uint8_t* peb, std::size_t bitmapPointerAt) {
  const RtlBitmap* bitmapAt = nullptr;
  RtlBitmap bitmap{};
  if (!ReadFrom(process, peb + bitmapPointerAt, bitmapAt) || !bitmapAt || !ReadFrom(process, bitmapAt, bitmap)) return -1;
  std::vector<ULONG> bits((bitmap.sizeOfBitmap + 31) / 32);
  SIZE_T read = 0;
  if (bits.empty() || !ReadProcessMemory(process, bitmap.buffer, bits.data(), bits.size() * sizeof(ULONG), &read)) return -1;
  long long set = 0;
  for (ULONG word : bits) set += std::popcount(word);
  return set;
}

long long TlsSlotsInUse(HANDLE process) {
  using QueryProcess = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryProcess>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
  const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
  const long long first = BitsSet(process, peb, kTlsBitmapAt);
  const long long more = BitsSet(process, peb, kTlsExpansionBitmapAt);
  return first < 0 || more < 0 ? -1 : first + more;
}

// Private committed pages, summed over the address space: the heap's growth shows here on
// every platform, where the memory counters of some only track the page file.
long long CommittedPrivateBytes(HANDLE process) {
  long long committed = 0;
  MEMORY_BASIC_INFORMATION region;
  const std::uint8_t* at = nullptr;
  while (VirtualQueryEx(process, at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += static_cast<long long>(region.RegionSize);
    const std::uint8_t* next = static_cast<const std::uint8_t*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return committed;
}

// The handles open in the process, found by copying every handle value of the range the
// platform hands out; for platforms whose handle count answers nothing (Wine's is 0).
long long ProbedHandleCount(HANDLE process) {
  constexpr ULONG_PTR kStep = 4, kGivingUpAfter = 4096;
  long long open = 0;
  for (ULONG_PTR value = kStep, lastOpen = 0; value < lastOpen + kGivingUpAfter * kStep; value += kStep) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      CloseHandle(copy);
      ++open;
      lastOpen = value;
    }
  }
  return open;
}

}  // namespace

ProcessFigures MeasureProcess(HANDLE process) {
  ProcessFigures figures;
  figures.tlsSlotsInUse = TlsSlotsInUse(process);
  DWORD handles = 0;
  figures.handles = GetProcessHandleCount(process, &handles) && handles > 0 ? handles : ProbedHandleCount(process);
  figures.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
  figures.committedBytes = CommittedPrivateBytes(process);
  return figures;
}

long long NextFreeTlsSlot() {
  const DWORD slot = TlsAlloc();
  if (slot == TLS_OUT_OF_INDEXES) return -1;
  TlsFree(slot);
  return slot;
}

}  // namespace kamolt::soak
