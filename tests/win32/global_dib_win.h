// A packed DIB in movable global memory, as the program hands pictures to the writer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "win/handles_win.h"

namespace kamolt {

inline win::GlobalMemory ToGlobal(const std::vector<std::uint8_t>& dib) {
  win::GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, dib.size()));
  const win::GlobalLockScope lock(memory.Get());
  std::memcpy(lock.Data(), dib.data(), dib.size());
  return memory;
}

}  // namespace kamolt
