#include "host_standin_win.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <stdexcept>

#include "harness_win.h"

namespace e2e {
namespace {

constexpr char kChannel[] = "DOZAZORID1";
constexpr std::size_t kMostRead = 64 * 1024;

std::string ReadSection(std::size_t length) {
  HANDLE section = OpenFileMappingA(FILE_MAP_READ, FALSE, kChannel);
  if (!section) return {};
  std::string record;
  if (const void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0)) {
    MEMORY_BASIC_INFORMATION region{};
    VirtualQuery(view, &region, sizeof region);
    record.assign(static_cast<const char*>(view), std::min<std::size_t>({length, kMostRead, static_cast<std::size_t>(region.RegionSize)}));
    UnmapViewOfFile(view);
  }
  CloseHandle(section);
  return record;
}

}  // namespace

HostStandIn::HostStandIn(const std::string& className)
    : className_(className), handOffMessage_(RegisterWindowMessageA(kChannel)) {
  std::promise<void> ready;
  auto started = ready.get_future();
  thread_ = std::thread([this, &ready] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className_.c_str();
    RegisterClassA(&windowClass);  // a second stand-in of the same class finds it there
    window_ = CreateWindowA(className_.c_str(), "Host", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready.set_value();
    Run();
  });
  started.wait();
  if (!window_) throw std::runtime_error("stand-in host window of class " + className + " not created");
}

HostStandIn::~HostStandIn() {
  PostMessageA(window_, WM_CLOSE, 0, 0);
  thread_.join();
}

void HostStandIn::Run() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}

LRESULT CALLBACK HostStandIn::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<HostStandIn*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && message == self->handOffMessage_) {
    Received received{wParam, lParam, ReadSection(wParam)};
    const std::lock_guard<std::mutex> hold(self->mutex_);
    self->received_.push_back(std::move(received));
    return 0;
  }
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<HostStandIn::Received> HostStandIn::Messages() {
  const std::lock_guard<std::mutex> hold(mutex_);
  return received_;
}

bool HostStandIn::WaitMessages(std::size_t count, std::chrono::milliseconds timeout) {
  return WaitUntil([&] { return Messages().size() >= count; }, timeout);
}

std::string HandOffFileBeside(const std::string& exePath) {
  return exePath.substr(0, exePath.find_last_of("\\/") + 1) + "SendToZelvo.TXT";
}

}  // namespace e2e
