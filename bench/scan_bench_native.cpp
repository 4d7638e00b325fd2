// The scan page path natively: one 2550 x 3300 RGB page brought over by the program's own
// memory transfer (strips placed into the block, rows flipped, red and blue swapped)
// from an in-process source that hands out ready rows, beside two memcpys of the page,
// and the most memory the path holds at once.
//   scan_bench_native [repetitions]
// Prints best and median milliseconds of the path, of two memcpys and of two memcpys into a
// fresh block, then the peak bytes and the page's bytes.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "base/twain_types.h"
#include "scan/memory_image.h"
#include "scan/twain_diagnostics.h"
#include "scan/twain_platform.h"
#include "scan/twain_session.h"
#include "scan/twain_transfer.h"

using namespace kamolt;

namespace {

constexpr int kWidth = 2550;
constexpr int kHeight = 3300;
constexpr std::size_t kRowBytes = ((24 * kWidth + 31) / 32) * 4;
constexpr std::size_t kPageBytes = kRowBytes * kHeight;
constexpr TW_UINT32 kPreferred = 65536;

// Every byte the path holds: the platform's blocks and whatever it takes with new.
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;
std::map<void*, std::size_t>* heapSizes = nullptr;

void Count(std::ptrdiff_t bytes) {
  liveBytes += bytes;
  peakBytes = std::max(peakBytes, liveBytes);
}

}  // namespace

void* operator new(std::size_t bytes) {
  void* p = std::malloc(bytes ? bytes : 1);
  if (p == nullptr) throw std::bad_alloc();
  if (heapSizes) {
    auto* sizes = heapSizes;
    heapSizes = nullptr;  // the map's own nodes are not the path's
    (*sizes)[p] = bytes;
    heapSizes = sizes;
    Count(static_cast<std::ptrdiff_t>(bytes));
  }
  return p;
}
void* operator new[](std::size_t bytes) { return operator new(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  try {
    return operator new(bytes);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return operator new(bytes, std::nothrow); }
void operator delete(void* p) noexcept {
  if (p && heapSizes) {
    auto* sizes = heapSizes;
    heapSizes = nullptr;
    if (auto found = sizes->find(p); found != sizes->end()) {
      Count(-static_cast<std::ptrdiff_t>(found->second));
      sizes->erase(found);
    }
    heapSizes = sizes;
  }
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using kamolt::TwainPlatform;
using kamolt::TwainWindow;

// Blocks as the Windows side hands them out: zero-filled, owned by size.
class BenchPlatform : public TwainPlatform {
 public:
  void ShowStatusBox(TwainWindow, const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "box: %s | %s\n", caption.c_str(), text.c_str());
  }
  void ShowAssertionBox(const std::string& text, const std::string&) override {
    std::fprintf(stderr, "assertion: %s\n", text.c_str());
  }
  void DebugOutput(const std::string&) override {}
  void BreakIntoDebugger() override {}
  kamolt::LogAppendResult AppendToLog(const std::string&, std::string_view) override { return {true, true, true}; }
  std::string WindowsFolder() override { return "C:\\WINDOWS"; }
  bool FileExists(const std::string&) override { return true; }
  DSMENTRYPROC LoadSourceManager(const std::string&) override { return entry; }
  void UnloadSourceManager() override {}
  TW_HANDLE AllocMemory(std::size_t bytes) override {
    void* block = std::calloc(bytes ? bytes : 1, 1);
    if (block) {
      sizes_[block] = bytes;
      Count(static_cast<std::ptrdiff_t>(bytes));
    }
    return block;
  }
  void* LockMemory(TW_HANDLE memory) override { return memory; }
  void UnlockMemory(TW_HANDLE) override {}
  void FreeMemory(TW_HANDLE memory) override {
    Count(-static_cast<std::ptrdiff_t>(sizes_[memory]));
    sizes_.erase(memory);
    std::free(memory);
  }
  std::size_t MemorySize(TW_HANDLE memory) override { return sizes_.count(memory) ? sizes_[memory] : 0; }
  // The scan module writes the picture and lets it go at once; here it is checked instead.
  void SendTransferDone(TwainWindow, TW_HANDLE image, TW_UINT16) override {
    if (image == nullptr) {
      std::fprintf(stderr, "no picture came\n");
      std::exit(1);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    const std::uint8_t* pixels = bytes + 40;
    // The block's first row is the page's last, its last row the page's first; blue first.
    if (pixels[0] != 30 + 1 || pixels[2] != 10 || pixels[(kHeight - 1) * kRowBytes] != 30) {
      std::fprintf(stderr, "the picture came wrong\n");
      std::exit(1);
    }
    FreeMemory(image);
  }
  void PostClose(TwainWindow) override {}
  void ShowWaitCursor(bool) override {}

  DSMENTRYPROC entry = nullptr;

 private:
  std::map<void*, std::size_t> sizes_;
};

// The source: one page, rows ready to hand out (red 10 + row's top bit, green 20, blue 30
// + row's bottom bit), as many whole rows per strip as the offered buffer holds.
struct Source {
  std::vector<std::uint8_t> rows[2];
  int nextRow = 0;
  TW_UINT16 pending = 1;
} source;

TW_UINT16 Entry(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (dg == DG_IMAGE && dat == DAT_IMAGEINFO) {
    auto& info = *static_cast<TW_IMAGEINFO*>(data);
    info = TW_IMAGEINFO{};
    info.XResolution = {300, 0};
    info.YResolution = {300, 0};
    info.ImageWidth = kWidth;
    info.ImageLength = kHeight;
    info.SamplesPerPixel = 3;
    info.BitsPerSample[0] = info.BitsPerSample[1] = info.BitsPerSample[2] = 8;
    info.BitsPerPixel = 24;
    info.PixelType = TWPT_RGB;
    info.Compression = TWCP_NONE;
    source.nextRow = 0;
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_SETUPMEMXFER) {
    *static_cast<TW_SETUPMEMXFER*>(data) = {kPreferred, kPreferred, kPreferred};
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_CAPABILITY && msg == MSG_GETCURRENT) return TWRC_FAILURE;
  if (dg == DG_IMAGE && dat == DAT_IMAGEMEMXFER) {
    auto& transfer = *static_cast<TW_IMAGEMEMXFER*>(data);
    const int rows = std::min<int>(transfer.Memory.Length / kRowBytes, kHeight - source.nextRow);
    auto* out = static_cast<std::uint8_t*>(transfer.Memory.TheMem);
    for (int r = 0; r < rows; ++r) {
      std::memcpy(out + r * kRowBytes, source.rows[(source.nextRow + r) & 1].data(), kRowBytes);
    }
    transfer.Compression = TWCP_NONE;
    transfer.BytesPerRow = kRowBytes;
    transfer.Columns = kWidth;
    transfer.Rows = rows;
    transfer.XOffset = 0;
    transfer.YOffset = source.nextRow;
    transfer.BytesWritten = rows * kRowBytes;
    source.nextRow += rows;
    return source.nextRow == kHeight ? TWRC_XFERDONE : TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS) {
    static_cast<TW_PENDINGXFERS*>(data)->Count = 0;
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_STATUS) return TWRC_SUCCESS;
  return TWRC_SUCCESS;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  for (int i = 0; i < 2; ++i) {
    source.rows[i].resize(kRowBytes);
    for (int x = 0; x < kWidth; ++x) {
      source.rows[i][3 * x] = static_cast<std::uint8_t>(10);
      source.rows[i][3 * x + 1] = 20;
      source.rows[i][3 * x + 2] = static_cast<std::uint8_t>(30 + i);
    }
  }
  BenchPlatform platform;
  platform.entry = &Entry;
  kamolt::TwainDiagnostics diagnostics(platform);
  diagnostics.SetDiagnosticLevel(0);
  kamolt::TwainSession session(diagnostics);
  kamolt::ScanSettings settings{};
  kamolt::TwainAcquisition acquisition(session, settings);
  TW_IDENTITY identity{};
  int window = 0;
  session.TWSetAppIdentity(&identity, &window);

  std::map<void*, std::size_t> sizes;
  std::vector<double> path;
  for (int i = 0; i < reps; ++i) {
    if (session.TWOpenDSM() != 1 || session.TWOpenDS() != 1 || !session.TWEnableDS(false)) {
      std::fprintf(stderr, "the session did not open\n");
      return 1;
    }
    liveBytes = peakBytes = 0;
    heapSizes = &sizes;
    const auto start = std::chrono::steady_clock::now();
    acquisition.DoMemTransfer(&window);
    path.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    heapSizes = nullptr;
  }

  // Two copies of the page into memory already in use, the least any path can do.
  std::vector<std::uint8_t> a(kPageBytes, 1), b(kPageBytes, 2), c(kPageBytes, 3);
  std::vector<double> copies;
  for (int i = 0; i < reps; ++i) {
    const auto start = std::chrono::steady_clock::now();
    std::memcpy(b.data(), a.data(), kPageBytes);
    std::memcpy(c.data(), b.data(), kPageBytes);
    copies.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    if (c[kPageBytes / 2] != 1) return 1;
  }
  // The same into a block as fresh as the path's own, which the system fills on first touch.
  std::vector<double> freshCopies;
  for (int i = 0; i < reps; ++i) {
    const auto start = std::chrono::steady_clock::now();
    auto* fresh = static_cast<std::uint8_t*>(std::calloc(kPageBytes, 1));
    if (fresh == nullptr) return 1;
    std::memcpy(fresh, a.data(), kPageBytes);
    std::memcpy(c.data(), fresh, kPageBytes);
    freshCopies.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    const bool same = c[kPageBytes / 3] == fresh[kPageBytes / 3];
    std::free(fresh);
    if (!same) return 1;
  }
  std::printf("%.2f %.2f %.2f %.2f %.2f %.2f %zu %zu\n", *std::min_element(path.begin(), path.end()), Median(path),
              *std::min_element(copies.begin(), copies.end()), Median(copies),
              *std::min_element(freshCopies.begin(), freshCopies.end()), Median(freshCopies), peakBytes, kPageBytes);
  return 0;
}
