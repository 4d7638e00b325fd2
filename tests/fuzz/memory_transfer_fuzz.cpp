// The memory transfer against a source whose every answer comes from the input: image
// info, buffer sizes, palette, capability containers, and strips with any rows, columns,
// offsets and byte counts. The picture that reaches the scan module must be a bitmap, and
// no block may be left behind.
#include <algorithm>
#include <cstring>
#include <map>
#include <variant>

#include "base/dib.h"
#include "base/scan_settings.h"
#include "scan/twain_diagnostics.h"
#include "scan/twain_platform.h"
#include "scan/twain_session.h"
#include "scan/twain_transfer.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_pictures.h"
#include "tests/fuzz/fuzz_targets.h"

namespace kamolt::fuzz {
namespace {

// A global block past this is refused, as the platform refuses what it cannot give.
constexpr std::size_t kLargestBlock = 1 << 20;
// Strip requests and images after which the source ends, so every input ends.
constexpr int kMostStrips = 64;
constexpr int kMostImages = 3;

class ScriptedPlatform : public TwainPlatform {
 public:
  ~ScriptedPlatform() override {
    for (auto& [handle, block] : blocks_) delete[] block.data;
  }
  void ShowStatusBox(TwainWindow, const std::string&, const std::string&) override {}
  void ShowAssertionBox(const std::string&, const std::string&) override {}
  void DebugOutput(const std::string&) override {}
  void BreakIntoDebugger() override {}
  LogAppendResult AppendToLog(const std::string&, std::string_view) override { return {true, true, true}; }
  std::string WindowsFolder() override { return "C:\\WINDOWS"; }
  bool FileExists(const std::string&) override { return true; }
  DSMENTRYPROC LoadSourceManager(const std::string&) override { return entry; }
  void UnloadSourceManager() override {}

  TW_HANDLE AllocMemory(std::size_t bytes) override {
    if (bytes > kLargestBlock) return nullptr;
    // Exactly the size asked for, so that the sanitizer sees any access past it.
    auto* data = new std::uint8_t[bytes ? bytes : 1]();
    blocks_[data] = {data, bytes};
    return data;
  }
  void* LockMemory(TW_HANDLE memory) override { return blocks_.count(memory) ? memory : nullptr; }
  void UnlockMemory(TW_HANDLE) override {}
  void FreeMemory(TW_HANDLE memory) override {
    const auto found = blocks_.find(memory);
    KAMOLT_FUZZ_CHECK(found != blocks_.end());
    delete[] found->second.data;
    blocks_.erase(found);
  }
  std::size_t MemorySize(TW_HANDLE memory) override {
    const auto found = blocks_.find(memory);
    return found == blocks_.end() ? 0 : found->second.size;
  }
  std::size_t LiveBlocks() const { return blocks_.size(); }

  // Plays the scan module: the picture must be a whole bitmap, then the block goes.
  void SendTransferDone(TwainWindow, TW_HANDLE image, TW_UINT16) override {
    if (image == nullptr) return;
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    CheckDecodedDib({bytes, bytes + MemorySize(image)});
    FreeMemory(image);
  }
  void PostClose(TwainWindow) override {}
  void ShowWaitCursor(bool) override {}

  DSMENTRYPROC entry = nullptr;

 private:
  struct Block {
    std::uint8_t* data;
    std::size_t size;
  };
  std::map<void*, Block> blocks_;
};

class ScriptedSource {
 public:
  ScriptedSource(FuzzInput& input, ScriptedPlatform& platform) : input_(input), platform_(platform) {
    current_ = this;
    platform.entry = &Entry;
  }
  ~ScriptedSource() { current_ = nullptr; }

 private:
  static TW_UINT16 KAMOLT_TWAIN_CALL Entry(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg,
                                           TW_MEMREF data) {
    return current_->Handle(dat, msg, data);
  }

  // Small values most of the time, any 32-bit value now and then.
  TW_UINT32 Count() { return input_.Flag() ? input_.U32() : input_.Byte(); }

  TW_UINT16 Handle(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    switch (dat) {
      case DAT_STATUS: static_cast<TW_STATUS*>(data)->ConditionCode = input_.Byte() % 16; return TWRC_SUCCESS;
      case DAT_EVENT:
        static_cast<TW_EVENT*>(data)->TWMessage = MSG_XFERREADY;
        return TWRC_DSEVENT;
      case DAT_IDENTITY:
        if (msg == MSG_OPENDS) static_cast<TW_IDENTITY*>(data)->Id = 7;
        return TWRC_SUCCESS;
      case DAT_CAPABILITY: return msg == MSG_SET ? TWRC_SUCCESS : Capability(static_cast<TW_CAPABILITY*>(data));
      case DAT_IMAGEINFO: return ImageInfo(static_cast<TW_IMAGEINFO*>(data));
      case DAT_SETUPMEMXFER: {
        const unsigned kind = input_.Pick(4);
        const TW_UINT32 preferred = kind == 0 ? 0 : kind == 1 ? input_.U16() : kind == 2 ? input_.U32() : 65536;
        *static_cast<TW_SETUPMEMXFER*>(data) = TW_SETUPMEMXFER{1, 0xFFFFFFFF, preferred};
        return TWRC_SUCCESS;
      }
      case DAT_PALETTE8: {
        auto* palette = static_cast<TW_PALETTE8*>(data);
        palette->NumColors = input_.U16();
        palette->PaletteType = 0;
        const std::vector<std::uint8_t> colours = input_.Bytes(input_.Byte() * 4u);
        if (!colours.empty()) std::memcpy(palette->Colors, colours.data(), colours.size());
        return input_.Byte() == 0xFF ? TWRC_FAILURE : TWRC_SUCCESS;
      }
      case DAT_IMAGEMEMXFER: return Strip(static_cast<TW_IMAGEMEMXFER*>(data));
      case DAT_PENDINGXFERS: {
        ++images_;
        strips_ = 0;
        const TW_UINT16 left = images_ >= kMostImages || input_.Left() == 0 ? 0 : input_.Byte() % 3;
        static_cast<TW_PENDINGXFERS*>(data)->Count = left;
        return input_.Byte() == 0xFF ? TWRC_FAILURE : TWRC_SUCCESS;
      }
      default: return TWRC_SUCCESS;
    }
  }

  TW_UINT16 Capability(TW_CAPABILITY* capability) {
    const std::uint8_t kind = input_.Byte();
    if (kind & 0x80) return TWRC_FAILURE;
    constexpr TW_UINT16 kTypes[] = {TWON_ONEVALUE, TWON_ENUMERATION, TWON_ARRAY, TWON_RANGE};
    capability->ConType = (kind & 7) < 4 ? kTypes[kind & 3] : input_.U16();
    const std::vector<std::uint8_t> bytes = input_.Bytes(input_.Byte());
    capability->hContainer = nullptr;
    if (kind & 0x40) return TWRC_SUCCESS;  // a source that fills in no container
    capability->hContainer = platform_.AllocMemory(bytes.size());
    if (!bytes.empty()) std::memcpy(capability->hContainer, bytes.data(), bytes.size());
    return TWRC_SUCCESS;
  }

  TW_UINT16 ImageInfo(TW_IMAGEINFO* info) {
    constexpr TW_INT16 kBits[] = {1, 4, 8, 24, 32, 16, 2, 0};
    *info = TW_IMAGEINFO{};
    info->XResolution = TW_FIX32{static_cast<TW_INT16>(input_.U16()), input_.U16()};
    info->YResolution = info->XResolution;
    info->ImageWidth = input_.Flag() ? static_cast<TW_INT32>(input_.U32()) : 1 + input_.Byte();
    info->ImageLength = input_.Flag() ? static_cast<TW_INT32>(input_.U32()) : 1 + input_.Byte() % 64;
    info->BitsPerPixel = kBits[input_.Pick(8)];
    info->PixelType = static_cast<TW_INT16>(input_.Pick(5));
    info->SamplesPerPixel = info->PixelType == TWPT_RGB ? 3 : 1;
    return input_.Byte() == 0xFF ? TWRC_FAILURE : TWRC_SUCCESS;
  }

  TW_UINT16 Strip(TW_IMAGEMEMXFER* transfer) {
    if (++strips_ > kMostStrips || input_.Left() == 0) return TWRC_XFERDONE;
    const std::uint8_t answer = input_.Byte();
    transfer->BytesPerRow = Count();
    transfer->Columns = Count();
    transfer->Rows = Count();
    transfer->XOffset = Count();
    transfer->YOffset = Count();
    transfer->BytesWritten = Count();
    // A source writes no more than it was offered; what it says it wrote is another matter.
    // Packed members are copied out before use: they may not lie on their natural boundary.
    const TW_UINT32 length = transfer->Memory.Length;
    const TW_UINT32 written = transfer->BytesWritten;
    const TW_UINT32 filled = std::min({length, written, TW_UINT32{1} << 16});
    std::memset(transfer->Memory.TheMem, answer, filled);
    switch (answer % 8) {
      case 4:
      case 5: return TWRC_XFERDONE;
      case 6: return TWRC_CANCEL;
      case 7: return answer & 0x80 ? TWRC_FAILURE : TWRC_ENDOFLIST;
      default: return TWRC_SUCCESS;
    }
  }

  static inline ScriptedSource* current_ = nullptr;
  FuzzInput& input_;
  ScriptedPlatform& platform_;
  int images_ = 0;
  int strips_ = 0;
};

}  // namespace

int FuzzMemoryTransfer(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  {
    ScriptedPlatform platform;
    ScriptedSource source(input, platform);
    TwainDiagnostics diagnostics(platform);
    diagnostics.SetDiagnosticLevel(input.Pick(4));
    TwainSession session(diagnostics);
    ScanSettings settings;
    settings.colorMode = static_cast<std::int32_t>(input.Pick(3));
    settings.width = settings.height = 1;
    settings.resolution = 100;
    TwainAcquisition acquisition(session, settings);
    int window = 0;
    TW_IDENTITY app{};
    session.TWSetAppIdentity(&app, &window);
    if (acquisition.AcquireImages(&window, false, 1) == 1) {
      int message = 0;
      acquisition.ProcessTwainEvent(&message, &window);
    }
    acquisition.CloseTwainSession();
    KAMOLT_FUZZ_CHECK(platform.LiveBlocks() == 0);
  }
  return 0;
}

}  // namespace kamolt::fuzz
