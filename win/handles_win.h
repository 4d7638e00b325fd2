#pragma once
// Owners for the platform's handles, so that every exit path gives them back.
#include <windows.h>

#include <utility>

namespace kamolt::win {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  bool Valid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }
  Type Get() const { return handle_; }
  Type Release() { return std::exchange(handle_, Traits::Invalid()); }
  // true when there was nothing to close or closing worked
  bool Reset(Type handle = Traits::Invalid()) {
    const bool closed = !Valid() || Traits::Close(handle_);
    handle_ = handle;
    return closed;
  }

 private:
  Type handle_ = Traits::Invalid();
};

struct FileTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(Type h) { return CloseHandle(h); }
};
struct KernelObjectTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return CloseHandle(h); }
};
struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return FreeLibrary(h); }
};
template <typename T>
struct GdiObjectTraits {
  using Type = T;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return DeleteObject(h); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return DeleteDC(h); }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return DestroyIcon(h); }
};
struct EnhMetafileTraits {
  using Type = HENHMETAFILE;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return DeleteEnhMetaFile(h); }
};
struct GlobalMemoryTraits {
  using Type = HGLOBAL;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return GlobalFree(h) == nullptr; }
};
struct MenuTraits {
  using Type = HMENU;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return DestroyMenu(h); }
};

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};

using FileHandle = UniqueHandle<FileTraits>;
using KernelObject = UniqueHandle<KernelObjectTraits>;
using Library = UniqueHandle<LibraryTraits>;
using Bitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
using Icon = UniqueHandle<IconTraits>;
using EnhMetafile = UniqueHandle<EnhMetafileTraits>;
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;
using Menu = UniqueHandle<MenuTraits>;
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

// A window's device context for the span of a scope.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context, put back when the scope ends.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The clipboard stays open only for the life of this object.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner)) {}
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// A locked global memory block, unlocked when the scope ends.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL memory) : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  ~GlobalLockScope() {
    if (data_) GlobalUnlock(memory_);
  }
  void* Data() const { return data_; }
  SIZE_T Size() const { return memory_ ? GlobalSize(memory_) : 0; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// A scroll-bar query or update for the fields in mask.
inline SCROLLINFO ScrollQuery(UINT mask) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = mask;
  return info;
}

}  // namespace kamolt::win
