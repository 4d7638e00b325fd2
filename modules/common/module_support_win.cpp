#include "modules/common/module_support_win.h"

#include <cstring>
#include <string_view>

#include "base/file_io.h"
#include "win/message_box_win.h"

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

void ShowRefusal(const char* fileName, const std::string& reason) {
  // The box carries this module's own file name, found from an address inside it.
  std::string caption = "Konverter";
  HMODULE self = nullptr;
  char path[MAX_PATH];
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&ShowRefusal), &self)) {
    const DWORD length = GetModuleFileNameA(self, path, sizeof path);
    if (length > 0 && length < sizeof path) {
      caption.assign(path, length);
      caption.erase(0, caption.find_last_of("\\/") + 1);
    }
  }
  std::string text = fileName != nullptr ? fileName : "";
  text += "\n\nKein Bild: " + (reason.empty() ? std::string("unbekannter Fehler") : reason);
  win::ShowMessage(nullptr, text, caption, MB_OK | MB_ICONWARNING);
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
