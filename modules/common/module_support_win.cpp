#include "modules/common/module_support_win.h"

#include <cstring>
#include <string_view>

#include "base/file_io.h"

namespace kamolt::module {

std::optional<std::string> ReadInput(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return std::nullopt;
  return ReadWholeFile(fileName);
}

HGLOBAL ToGlobal(std::span<const std::uint8_t> dib) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, dib.size());
  if (memory == nullptr) return NoDib();
  void* data = GlobalLock(memory);
  if (data == nullptr) {
    GlobalFree(memory);
    return NoDib();
  }
  std::memcpy(data, dib.data(), dib.size());
  GlobalUnlock(memory);
  return memory;
}

bool WriteOutput(const char* target, std::span<const std::uint8_t> bytes) {
  if (target == nullptr || *target == '\0') return false;
  return ReplaceFileContents(target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

LockedDib::LockedDib(HGLOBAL dib) : handle_(dib) {
  if (dib == nullptr || dib == NoDib()) return;
  data_ = static_cast<const std::uint8_t*>(GlobalLock(dib));
  if (data_ != nullptr) size_ = GlobalSize(dib);
}

LockedDib::~LockedDib() {
  if (data_ != nullptr) GlobalUnlock(handle_);
}

std::int32_t OptionField(const void* block, std::size_t offset, std::int32_t fallback) {
  if (block == nullptr) return fallback;
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  if ((bytes[0] | bytes[1] << 8) != 512) return fallback;
  std::int32_t value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

}  // namespace kamolt::module
