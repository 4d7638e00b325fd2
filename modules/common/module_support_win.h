#pragma once
// What every converter module does at its C boundary: read the named file, hand a DIB out
// in movable global memory, take the caller's DIB in, and put a finished file in place
// without ever leaving a half-written one over the user's file. Nothing here throws.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace kamolt::module {

// What the reading entry returns when it has no picture.
inline HGLOBAL NoDib() { return reinterpret_cast<HGLOBAL>(static_cast<INT_PTR>(-1)); }

std::optional<std::string> ReadInput(const char* fileName);

// A movable global block holding the bytes, or NoDib() when there is no memory.
HGLOBAL ToGlobal(std::span<const std::uint8_t> dib);

// Writes the bytes to a temporary file in the target's folder and moves it over the target.
bool WriteOutput(const char* target, std::span<const std::uint8_t> bytes);

// The caller's DIB, locked for the life of this object. Empty (Data() null) when the
// handle is not a lockable block.
class LockedDib {
 public:
  explicit LockedDib(HGLOBAL dib);
  LockedDib(const LockedDib&) = delete;
  LockedDib& operator=(const LockedDib&) = delete;
  ~LockedDib();
  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  HGLOBAL handle_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// The option block's 32-bit field at offset, when the block carries the 512 mark that
// every option block starts with; fallback otherwise (and for a null block).
std::int32_t OptionField(const void* block, std::size_t offset, std::int32_t fallback);

// Tells the user why the reading entry gives no picture of the named file, in a box named
// after this module: without it the viewer would only show the new name beside the old
// picture.
void ShowRefusal(const char* fileName, const std::string& reason);

// ReadFileWith, and every refusal shown with its reason by ShowRefusal.
template <typename Decode>
HGLOBAL ReadFileTelling(const char* fileName, Decode decode) {
  const auto file = ReadInput(fileName);
  if (!file) {
    ShowRefusal(fileName, "Die Datei kann nicht gelesen werden.");
    return NoDib();
  }
  const auto decoded = decode(reinterpret_cast<const std::uint8_t*>(file->data()), file->size());
  if (const auto* dib = std::get_if<std::vector<std::uint8_t>>(&decoded)) {
    const HGLOBAL memory = ToGlobal(*dib);
    if (memory == NoDib()) ShowRefusal(fileName, "Zu wenig Speicher für das Bild.");
    return memory;
  }
  ShowRefusal(fileName, std::get<1>(decoded).message);
  return NoDib();
}

// The reading entry's work: the named file's bytes through decode(data, size), which gives
// the packed DIB or an error of the codec's own.
template <typename Decode>
HGLOBAL ReadFileWith(const char* fileName, Decode decode) {
  const auto file = ReadInput(fileName);
  if (!file) return NoDib();
  const auto decoded = decode(reinterpret_cast<const std::uint8_t*>(file->data()), file->size());
  const auto* dib = std::get_if<std::vector<std::uint8_t>>(&decoded);
  return dib ? ToGlobal(*dib) : NoDib();
}

// The writing entry's work: the caller's DIB through encode(data, size), which gives the
// file's bytes or an error of the codec's own, and the file put in place; 1 when written.
template <typename Encode>
INT32 WriteFileWith(const char* target, HGLOBAL dib, Encode encode) {
  std::optional<std::vector<std::uint8_t>> bytes;
  {
    const LockedDib locked(dib);
    if (!locked.Data()) return 0;
    auto encoded = encode(locked.Data(), locked.Size());
    if (auto* file = std::get_if<std::vector<std::uint8_t>>(&encoded)) bytes = std::move(*file);
  }
  return bytes && WriteOutput(target, *bytes) ? 1 : 0;
}

// Runs the body of an entry; any exception becomes the failure result, so none crosses the
// module's boundary.
template <typename Result, typename Body>
Result Guarded(Result failure, Body body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

}  // namespace kamolt::module
