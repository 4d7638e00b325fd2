// A session loads a converter module for every picture it reads or writes, thousands of
// times: each load must give back all it took. Every real module of dist/ is loaded here
// as often as a long session would, through the program's own reading and writing code,
// and the process must end with the slots, handles, GDI objects and memory it had after
// the first few loads.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/dib_pixels.h"
#include "convert/module_loader_win.h"
#include "convert/output_format.h"
#include "convert/writer_win.h"
#include "global_dib_win.h"
#include "harness_win.h"
#include "message_boxes_win.h"
#include "tools/process_figures_win.h"
#include "win/handles_win.h"

namespace kamolt {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kLoads = 1500;
constexpr int kWarmUpLoads = 50;
// What the heap may still grow by in 1,450 loads; a leak of 1.5 KB a load exceeds it.
constexpr long long kMemoryTolerance = 2 << 20;

// A colour gradient, which every writing module takes and JPEG codes compactly.
Bytes Gradient(int width, int height) {
  Bytes dib = *NewDib(width, height, 24, {});
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = NewDibRowFromTop(dib, y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x), row[3 * x + 1] = static_cast<std::uint8_t>(y), row[3 * x + 2] = 90;
    }
  }
  return dib;
}

// A grey Photo CD image pack: the mark, then the Base picture's luma and chroma lines.
std::string GreyPhotoCdPack() {
  constexpr std::size_t kBase = 0x30000, kPair = 2304;
  std::string file(kBase + 256 * kPair, '\x80');
  std::memcpy(file.data() + 0x800, "PCD_IPI", 7);
  file[0x800 + 0x602] = 0;
  return file;
}

struct Figures {
  long long nextTlsSlot, handles, gdiObjects, committedBytes;
};

Figures Measure() {
  const soak::ProcessFigures process = soak::MeasureProcess(GetCurrentProcess());
  return {soak::NextFreeTlsSlot(), process.handles, process.gdiObjects, process.committedBytes};
}

class ModuleSoak : public testing::Test {
 protected:
  void SetUp() override {
    // Modules are loaded by their bare names; the current folder is where the platform
    // looks last, after the test program's folder and the system's, which have none.
    GetCurrentDirectoryA(MAX_PATH, previousFolder_);
    SetCurrentDirectoryA(scratch_.Path().c_str());
  }
  void TearDown() override { SetCurrentDirectoryA(previousFolder_); }

  bool Install(const std::string& extension) {
    const char* dist = std::getenv("KAMOLT_DIST");
    if (dist == nullptr) return false;
    const std::string module = std::string(dist) + "\\CONV_" + extension + ".DLL";
    return CopyFileA(module.c_str(), scratch_.File("CONV_" + extension + ".DLL").c_str(), FALSE);
  }

  // Writes the picture through the module; the written file's name, empty when it failed.
  std::string Write(const win::GlobalMemory& dib, int formatCode, const std::string& name) {
    ScanSettings s;
    s.formatCode = formatCode;
    std::strncpy(s.fileName, scratch_.File(name).c_str(), sizeof s.fileName - 1);
    return ConvertDIBtoFile(dib.Get(), s, 0) == 1 ? std::string(s.fileName) : std::string();
  }

  bool Read(const std::string& file, const std::string& extension) {
    const HGLOBAL dib = ConvertFileToDIB(file, "." + extension + ".");
    if (dib == kNoDib) return false;
    GlobalFree(dib);
    return true;
  }

  char previousFolder_[MAX_PATH] = {};
  e2e::ScratchFolder scratch_;
};

// What one load of the module does, as the program loads it for every call.
enum class Call { ReadLarge, ReadSmall, ReadDamaged, WriteSmall };

TEST_F(ModuleSoak, ThousandsOfLoadsKeepSlotsHandlesGdiObjectsAndMemoryFlat) {
  struct Case {
    const char* extension;
    int formatCode;  // 0: the module only reads
    std::vector<Call> calls;  // repeated over the loads
  };
  // The large JPEG has its top two thirds over 4 MiB, so that the decoder readies its pages
  // in a second thread; the large Photo CD pack is the only size there is. Both are slow to
  // decode, so most loads do something quicker.
  using enum Call;
  const Case cases[] = {
      {"JPG", kFormatJpg, {ReadLarge, WriteSmall, ReadSmall, WriteSmall}},
      {"TIF", kFormatTif, {ReadSmall, WriteSmall}},
      {"GIF", kFormatGif, {ReadSmall, WriteSmall}},
      {"PCX", kFormatPcx, {ReadSmall, WriteSmall}},
      {"EPS", kFormatEps, {ReadSmall, WriteSmall}},
      {"PCD", 0, {ReadLarge, ReadDamaged, ReadDamaged, ReadDamaged, ReadDamaged, ReadDamaged}},
  };
  MessageBoxes boxes;
  const win::GlobalMemory small = ToGlobal(Gradient(64, 48));
  const std::string damaged = std::string(1000, 'K');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    const std::string extension = c.extension;
    ASSERT_TRUE(Install(extension)) << "CONV_" << extension << ".DLL is not in KAMOLT_DIST";
    std::string large, smallFile;
    if (c.formatCode == 0) {
      scratch_.Write("large.PCD", GreyPhotoCdPack());
      large = scratch_.File("large.PCD");
    } else {
      large = Write(ToGlobal(Gradient(1456, 1456)), c.formatCode, "large");
      smallFile = Write(small, c.formatCode, "small");
      ASSERT_FALSE(large.empty() || smallFile.empty());
    }
    scratch_.Write("damaged." + extension, damaged);

    const auto load = [&](int i) {
      switch (c.calls[static_cast<std::size_t>(i) % c.calls.size()]) {
        case ReadLarge: return Read(large, extension);
        case ReadSmall: return Read(smallFile, extension);
        case ReadDamaged: return !Read(scratch_.File("damaged." + extension), extension);
        case WriteSmall: return !Write(small, c.formatCode, "written").empty();
      }
      return false;
    };
    for (int i = 0; i < kWarmUpLoads; ++i) ASSERT_TRUE(load(i)) << "load " << i;
    const Figures start = Measure();
    const DWORD started = GetTickCount();
    for (int i = kWarmUpLoads; i < kLoads; ++i) ASSERT_TRUE(load(i)) << "load " << i;
    const Figures end = Measure();

    std::printf("%s: %d loads in %lu ms; next TLS slot %lld -> %lld, handles %lld -> %lld, GDI objects %lld -> %lld, "
                "committed %lld -> %lld KB\n",
                c.extension, kLoads - kWarmUpLoads, GetTickCount() - started, start.nextTlsSlot, end.nextTlsSlot,
                start.handles, end.handles, start.gdiObjects, end.gdiObjects, start.committedBytes >> 10,
                end.committedBytes >> 10);
    EXPECT_EQ(end.nextTlsSlot, start.nextTlsSlot);
    EXPECT_LE(end.handles, start.handles + 2);
    EXPECT_LE(end.gdiObjects, start.gdiObjects + 2);
    EXPECT_LE(end.committedBytes, start.committedBytes + kMemoryTolerance);
  }
  EXPECT_TRUE(boxes.Seen().empty());
}

}  // namespace
}  // namespace kamolt
