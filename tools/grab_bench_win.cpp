// Times a grab of the capture test application's 640 x 480 client area to a BMP file
// through the program's own grab, beside a bare screen copy and BMP write of the same size.
//   grab_bench.exe <CapTestApp.exe> <output folder> [repetitions, default 10]
// Prints best and median in milliseconds; it measures, it never judges.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "clip/grab_run.h"
#include "clip/grab_win.h"

namespace {

constexpr char kTitle[] = "Capture Test App";

struct Figures {
  double best = 0, median = 0;
};

Figures Time(int repetitions, const std::function<bool()>& once) {
  std::vector<double> ms;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!once()) return {-1, -1};
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[(ms.size() - 1) / 2]};
}

// GDI copy of the client area and a 24-bit BMP file written in one go, nothing else.
bool BareGrab(HWND window, const std::string& path) {
  RECT client{};
  GetClientRect(window, &client);
  const int w = client.right, h = client.bottom;
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, w, h);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  const DWORD rowBytes = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  std::vector<char> file(14 + 40 + static_cast<std::size_t>(rowBytes) * h);
  auto* info = reinterpret_cast<BITMAPINFOHEADER*>(file.data() + 14);
  *info = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, rowBytes * h, 0, 0, 0, 0};
  const bool read = GetDIBits(memory, bitmap, 0, h, file.data() + 54, reinterpret_cast<BITMAPINFO*>(info),
                              DIB_RGB_COLORS) == h;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
  BITMAPFILEHEADER header{0x4D42, static_cast<DWORD>(file.size()), 0, 0, 54};
  std::memcpy(file.data(), &header, 14);
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool ok = out != INVALID_HANDLE_VALUE && WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
                  written == file.size();
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  return copied && read && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: grab_bench.exe <CapTestApp.exe> <output folder> [repetitions]\n");
    return 2;
  }
  const std::string folder = argv[2];
  const int repetitions = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;

  std::string line = std::string("\"") + argv[1] + "\" /W640 /H480 /F1";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION app{};
  if (!CreateProcessA(argv[1], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &app)) return 1;
  HWND window = nullptr;
  for (int i = 0; i < 200 && !(window = FindWindowA(nullptr, kTitle)); ++i) Sleep(50);
  if (!window) return 1;
  RECT client{};
  GetClientRect(window, &client);

  const Figures grab = Time(repetitions, [&] {
    std::string name = folder + "\\grab";
    return kamolt::GrabWindow(name, 1004, kTitle, "", {});
  });
  const Figures bare = Time(repetitions, [&] { return BareGrab(window, folder + "\\bare.bmp"); });

  std::printf("grab of a %ld x %ld client area to a BMP file, %d repetitions (ms, best and median)\n", client.right,
              client.bottom, repetitions);
  std::printf("  GrabWindow to BMP:                 best %.1f median %.1f\n", grab.best, grab.median);
  std::printf("  less its %u ms wait for the repaint: best %.1f median %.1f\n", kamolt::kRepaintWaitMs,
              grab.best - kamolt::kRepaintWaitMs, grab.median - kamolt::kRepaintWaitMs);
  std::printf("  bare BitBlt and BMP write:         best %.1f median %.1f\n", bare.best, bare.median);

  PostMessageA(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(app.hProcess, 5000);
  CloseHandle(app.hThread);
  CloseHandle(app.hProcess);
  return grab.best < 0 || bare.best < 0 ? 1 : 0;
}
