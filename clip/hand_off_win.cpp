#include "clip/hand_off_win.h"

#include <windows.h>

#include <cstring>

#include "base/file_io.h"
#include "clip/hand_off.h"
#include "win/handles_win.h"
#include "win/program_folder_win.h"

namespace kamolt {
namespace {

// The section lives as long as the process, so the host can read the record after the
// send has returned, and every later hand-off finds the same memory.
class HandOffSection {
 public:
  // The view, or null when the section cannot be made or mapped.
  char* Memory() {
    if (!view_) Open();
    return view_.Get();
  }
  std::size_t Size() const { return size_; }

 private:
  struct ViewTraits {
    using Type = char*;
    static Type Invalid() { return nullptr; }
    static bool Close(Type view) { return UnmapViewOfFile(view); }
  };
  using MappedView = win::UniqueHandle<ViewTraits>;

  void Open() {
    win::KernelObject section(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                 static_cast<DWORD>(kHandOffSectionSize), kHandOffChannel));
    if (!section) return;
    MappedView view(static_cast<char*>(MapViewOfFile(section.Get(), FILE_MAP_WRITE, 0, 0, 0)));
    // A host may have made the section first, smaller than ours: measure what we got.
    MEMORY_BASIC_INFORMATION region{};
    if (!view || VirtualQuery(view.Get(), &region, sizeof region) == 0) return;
    section_ = std::move(section);
    view_ = std::move(view);
    size_ = region.RegionSize;
  }
  win::KernelObject section_;
  MappedView view_;
  std::size_t size_ = 0;
};

HandOffSection& Section() {
  static HandOffSection section;
  return section;
}

HWND HostWindow() {
  if (HWND host = FindWindowA("TFormTelnetMain", nullptr)) return host;
  return FindWindowA("TFormCommMain", nullptr);
}

}  // namespace

void NotifyHost(const std::string& fileName, std::int32_t count, const std::string& marker) {
  const std::string text = HandOffText(fileName, count, marker);
  // Written beside and moved into place, so a host polling the file never reads half of it.
  const std::string folder = win::ProgramFolder();
  if (!folder.empty()) ReplaceFileContents(folder + kHandOffFileName, text);

  if (!HandOffNeedsMessage(count)) return;
  const HWND host = HostWindow();
  if (!host) return;
  const UINT message = RegisterWindowMessageA(kHandOffChannel);
  if (message == 0) return;
  char* view = Section().Memory();
  const std::string record = HandOffRecord(text);
  if (!view || record.size() > Section().Size()) return;
  std::memcpy(view, record.data(), record.size());
  SendMessageA(host, message, static_cast<WPARAM>(record.size()), 0);
}

}  // namespace kamolt
