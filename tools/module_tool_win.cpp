// Drives one converter module from the command line, as the reader and the writer do, so
// that scripts and the round-trip tests can use the real DLLs under Wine:
//   module_tool.exe read  <module> <picture file> <out.bmp>       entry 2 (after 14 with 0)
//   module_tool.exe write <module> <in.bmp> <target> [block hex]  entry 6 with that block
//   module_tool.exe time-read  <module> <picture file> <repetitions>
//   module_tool.exe time-write <module> <in.bmp> <target> <block hex> <repetitions>
// The module is a path or a bare name. The block is the option block as hex bytes
// ("0002000055000000..." for 512, 85, ...); without it the entry gets a null pointer.
// Exit code 0 when the entry succeeded, 1 when it reported failure, 2 for a usage or file
// problem. The timing commands print "best <ms> median <ms>" of the entry calls alone.
// A box the module shows (a refusal with its reason) is answered with OK and its caption
// and text go to standard error, so that no script waits for a click.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "base/dib.h"
#include "base/file_io.h"
#include "win/handles_win.h"

namespace {

using namespace kamolt;

using ReadEntry = HGLOBAL(WINAPI*)(const char*);
using WriteEntry = INT32(WINAPI*)(const char*, HGLOBAL, const void*);
using OptionEntry = void(WINAPI*)(INT32);
const HGLOBAL kNoDib = reinterpret_cast<HGLOBAL>(static_cast<INT_PTR>(-1));

template <typename Function>
Function Entry(HMODULE module, WORD ordinal) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal)))));
}

int Fail(const char* what, const char* detail = "") {
  std::fprintf(stderr, "module_tool: %s %s\n", what, detail);
  return 2;
}

std::vector<std::uint8_t> Hex(const char* text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; text[i] && text[i + 1]; i += 2) {
    const char pair[3] = {text[i], text[i + 1], 0};
    bytes.push_back(static_cast<std::uint8_t>(std::strtoul(pair, nullptr, 16)));
  }
  bytes.resize(std::max<std::size_t>(bytes.size(), 64), 0);  // room past any block's end
  return bytes;
}

win::GlobalMemory DibFromBmp(const char* path) {
  const auto file = ReadWholeFile(path);
  if (!file || file->size() < 14 + kDibHeaderSize || (*file)[0] != 'B' || (*file)[1] != 'M') return {};
  win::GlobalMemory dib(GlobalAlloc(GMEM_MOVEABLE, file->size() - 14));
  if (!dib) return {};
  std::memcpy(GlobalLock(dib.Get()), file->data() + 14, file->size() - 14);
  GlobalUnlock(dib.Get());
  return dib;
}

bool WriteBmp(HGLOBAL dib, const char* path) {
  const win::GlobalLockScope locked(dib);
  if (!locked.Data()) return false;
  const auto* block = static_cast<const std::uint8_t*>(locked.Data());
  const auto measured = MeasureDib(block, locked.Size());
  if (const auto* error = std::get_if<DibError>(&measured)) {
    std::fprintf(stderr, "module_tool: the module's DIB: %s\n", error->message.c_str());
    return false;
  }
  const DibLayout& layout = std::get<DibLayout>(measured);
  const std::size_t dibBytes = layout.pixelOffset + layout.pixelBytes;
  std::string bytes(14, '\0');
  const auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); };
  bytes[0] = 'B', bytes[1] = 'M';
  put32(2, static_cast<std::uint32_t>(14 + dibBytes));
  put32(10, static_cast<std::uint32_t>(14 + layout.pixelOffset));
  bytes.append(reinterpret_cast<const char*>(block), dibBytes);
  return ReplaceFileContents(path, bytes);
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PrintTimes(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  std::printf("best %.1f median %.1f\n", times.front(), times[times.size() / 2]);
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  const HWND text = GetDlgItem(window, 0xFFFF);
  if (process != GetCurrentProcessId() || std::strcmp(className, "#32770") != 0 || !text || !IsWindowVisible(window)) {
    return TRUE;
  }
  char caption[256] = "", message[1024] = "";
  GetWindowTextA(window, caption, sizeof caption);
  GetWindowTextA(text, message, sizeof message);
  std::fprintf(stderr, "box %s: %s\n", caption, message);
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Answers the module's boxes from a second thread while the entry's box waits on the first.
class BoxAnswerer {
 public:
  BoxAnswerer()
      : thread_([this] {
          while (!done_) {
            EnumWindows(AnswerBox, 0);
            Sleep(20);
          }
        }) {}
  ~BoxAnswerer() {
    done_ = true;
    thread_.join();
  }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return Fail("usage: read|write|time-read|time-write <module> <in> <out> ...");
  const std::string command = argv[1];
  const BoxAnswerer boxes;
  const win::Library module(LoadLibraryA(argv[2]));
  if (!module) return Fail("cannot load", argv[2]);
  const auto read = Entry<ReadEntry>(module.Get(), 2);
  const auto write = Entry<WriteEntry>(module.Get(), 6);
  const auto option = Entry<OptionEntry>(module.Get(), 14);

  if (command == "read" || command == "time-read") {
    if (!read) return Fail("no entry 2 in", argv[2]);
    const int repetitions = command == "read" ? 1 : std::max(1, std::atoi(argv[4]));
    std::vector<double> times;
    HGLOBAL dib = kNoDib;
    for (int i = 0; i < repetitions; ++i) {
      if (dib != kNoDib && dib != nullptr) GlobalFree(dib);
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      if (option) option(0);
      dib = read(argv[3]);
      QueryPerformanceCounter(&end);
      times.push_back(Milliseconds(start, end));
    }
    if (dib == kNoDib || dib == nullptr) return 1;
    const win::GlobalMemory owned(dib);
    if (command == "time-read") {
      PrintTimes(times);
      return 0;
    }
    return WriteBmp(dib, argv[4]) ? 0 : 2;
  }
  if (command == "write" || command == "time-write") {
    if (!write) return Fail("no entry 6 in", argv[2]);
    const win::GlobalMemory dib = DibFromBmp(argv[3]);
    if (!dib) return Fail("not a bitmap file:", argv[3]);
    const bool timed = command == "time-write";
    if (timed && argc < 7) return Fail("usage: time-write <module> <in.bmp> <target> <block hex> <repetitions>");
    const std::vector<std::uint8_t> block = argc > 5 ? Hex(argv[5]) : std::vector<std::uint8_t>{};
    const int repetitions = timed ? std::max(1, std::atoi(argv[6])) : 1;
    std::vector<double> times;
    INT32 result = 0;
    for (int i = 0; i < repetitions; ++i) {
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      result = write(argv[4], dib.Get(), block.empty() ? nullptr : block.data());
      QueryPerformanceCounter(&end);
      times.push_back(Milliseconds(start, end));
    }
    if (result == 0) return 1;
    if (timed) PrintTimes(times);
    return 0;
  }
  return Fail("unknown command", argv[1]);
}
