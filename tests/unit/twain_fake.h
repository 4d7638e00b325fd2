#pragma once
// An in-process stand-in for the TWAIN source manager and its one source, and a platform
// that records what the user would see. The source answers every triplet with success
// unless told otherwise, and any triplet can be made to answer any return code on cue.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/twain_types.h"
#include "scan/twain_platform.h"

namespace kamolt::testing {

struct RecordedBox {
  TwainWindow owner;
  std::string text;
  std::string caption;
};

struct SentImage {
  TW_HANDLE handle;
  TW_UINT16 pending;
  std::vector<std::uint8_t> block;  // the block's bytes when a handle came
};

class FakeTwainPlatform : public TwainPlatform {
 public:
  ~FakeTwainPlatform() override {
    for (auto& [handle, bytes] : blocks_) delete[] bytes.data;
  }

  void ShowStatusBox(TwainWindow owner, const std::string& text, const std::string& caption) override {
    boxes.push_back({owner, text, caption});
  }
  void ShowAssertionBox(const std::string& text, const std::string& caption) override {
    assertionBoxes.push_back({nullptr, text, caption});
  }
  void DebugOutput(const std::string& text) override { debugLines.push_back(text); }
  void BreakIntoDebugger() override { ++breaks; }
  LogAppendResult AppendToLog(const std::string& path, std::string_view text) override {
    logPath = path;
    if (logOpenFails) return {};
    log += text;
    return {true, true, true};
  }

  std::string WindowsFolder() override { return windowsFolder; }
  bool FileExists(const std::string& path) override {
    existenceTests.push_back(path);
    return managerPresent;
  }
  DSMENTRYPROC LoadSourceManager(const std::string& name) override {
    loadedNames.push_back(name);
    ++loads;
    return entryMissing ? nullptr : entry;
  }
  void UnloadSourceManager() override { ++unloads; }

  TW_HANDLE AllocMemory(std::size_t bytes) override {
    if (failAllocationsFrom > 0 && bytes >= failAllocationsFrom) return nullptr;
    if (failNextAllocations > 0) {
      --failNextAllocations;
      return nullptr;
    }
    // Exactly the size asked for, so that the sanitizer sees any access past it.
    auto* data = new std::uint8_t[bytes ? bytes : 1]();
    blocks_[data] = {data, bytes};
    return data;
  }
  void* LockMemory(TW_HANDLE memory) override { return blocks_.count(memory) ? memory : nullptr; }
  void UnlockMemory(TW_HANDLE) override {}
  void FreeMemory(TW_HANDLE memory) override {
    auto found = blocks_.find(memory);
    ASSERT_NE(found, blocks_.end()) << "freeing a block that is not ours";
    delete[] found->second.data;
    blocks_.erase(found);
  }
  std::size_t MemorySize(TW_HANDLE memory) override {
    auto found = blocks_.find(memory);
    return found == blocks_.end() ? 0 : found->second.size;
  }
  std::size_t LiveBlocks() const { return blocks_.size(); }

  // Plays the scan module: keeps a copy of each picture and releases the block.
  void SendTransferDone(TwainWindow window, TW_HANDLE image, TW_UINT16 pending) override {
    sentTo.push_back(window);
    SentImage sent{image, pending, {}};
    if (image != nullptr) {
      const auto* bytes = static_cast<const std::uint8_t*>(image);
      sent.block.assign(bytes, bytes + MemorySize(image));
      FreeMemory(image);
    }
    sent.handle = image;
    images.push_back(std::move(sent));
  }
  void PostClose(TwainWindow) override { ++closesPosted; }
  void ShowWaitCursor(bool wait) override { cursor.push_back(wait); }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes) texts.push_back(box.caption + " | " + box.text);
    return texts;
  }

  std::vector<RecordedBox> boxes;
  std::vector<RecordedBox> assertionBoxes;
  std::vector<std::string> debugLines;
  int breaks = 0;
  std::string log;
  std::string logPath;
  bool logOpenFails = false;
  std::string windowsFolder = "C:\\WINDOWS";
  bool managerPresent = true;
  bool entryMissing = false;
  std::vector<std::string> existenceTests;
  std::vector<std::string> loadedNames;
  int loads = 0;
  int unloads = 0;
  DSMENTRYPROC entry = nullptr;
  std::size_t failAllocationsFrom = 0;
  int failNextAllocations = 0;
  std::vector<TwainWindow> sentTo;
  std::vector<SentImage> images;
  int closesPosted = 0;
  std::vector<bool> cursor;

 private:
  struct Block {
    std::uint8_t* data;
    std::size_t size;
  };
  std::map<void*, Block> blocks_;
};

// One image the fake source delivers: its info, the rows it sends (top row first, each
// sourceRowBytes long) and how it sends them.
struct FakeImage {
  TW_IMAGEINFO info{};
  std::uint32_t sourceRowBytes = 0;
  std::vector<std::uint8_t> rows;
  std::uint32_t rowsPerStrip = 0;  // 0: as many as the offered length holds
  // What the strip requests answer instead of delivering the image (cancel, failure...).
  TW_UINT16 refuseWith = TWRC_SUCCESS;
  bool lengthUnknown = false;     // the image info reports the length as -1
  std::uint32_t emptyStrips = 0;  // strips answered with success and no data before the rows
};

struct Call {
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  bool toSource;
};

struct CapabilitySet {
  TW_UINT16 cap;
  TW_UINT16 itemType;
  TW_UINT32 item;
};

class FakeSource {
 public:
  explicit FakeSource(FakeTwainPlatform& platform) : platform_(platform) {
    current_ = this;
    platform.entry = &Entry;
  }
  ~FakeSource() { current_ = nullptr; }

  // Every answer of this triplet, in turn, before it falls back to success.
  void Answer(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, std::vector<TW_UINT16> codes) {
    auto& queue = script_[{dg, dat, msg}];
    queue.insert(queue.end(), codes.begin(), codes.end());
  }
  // Every later answer of this triplet.
  void AlwaysAnswer(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 code) { always_[{dg, dat, msg}] = code; }

  std::vector<Call> calls;
  std::vector<CapabilitySet> sets;
  std::vector<TW_IMAGELAYOUT> layouts;
  std::vector<TW_UINT16> statusAnswers;  // answers of the status query, success when empty
  TW_UINT16 conditionCode = TWCC_SUCCESS;
  TW_IDENTITY openedIdentity{};  // what MSG_OPENDS was asked for
  TW_IDENTITY defaultSource{};
  TW_IDENTITY userChoice{};
  TW_USERINTERFACE enabledWith{};
  TW_USERINTERFACE disabledWith{};
  TwainWindow parentSeen = nullptr;
  // Current values for MSG_GETCURRENT / MSG_GET, by capability: container type and item.
  std::map<TW_UINT16, std::pair<TW_UINT16, TW_UINT32>> current = {
      {ICAP_UNITS, {TWON_ONEVALUE, TWUN_INCHES}}, {ICAP_PIXELFLAVOR, {TWON_ONEVALUE, TWPF_CHOCOLATE}}};
  // A raw container to hand back for a capability instead (for the dump).
  std::map<TW_UINT16, std::pair<TW_UINT16, std::vector<std::uint8_t>>> rawContainers;
  std::deque<TW_UINT16> eventMessages;
  TW_UINT16 eventAnswer = TWRC_DSEVENT;
  std::vector<FakeImage> images;
  std::deque<TW_SETUPMEMXFER> setups;  // answers in turn; then Preferred 65536
  TW_PALETTE8 palette{};
  std::vector<TW_UINT32> offeredLengths;
  // Pending counts after each image; by default the images still to come.
  std::deque<TW_UINT16> pendingAfter;

  // The last count calls, status queries left out.
  std::vector<std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>> LastCalls(std::size_t count) const {
    std::vector<std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>> out;
    for (const Call& c : calls) {
      if (c.dat != DAT_STATUS) out.emplace_back(c.dg, c.dat, c.msg);
    }
    out.erase(out.begin(), out.end() - static_cast<std::ptrdiff_t>(std::min(count, out.size())));
    return out;
  }
  int CountOf(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const {
    int n = 0;
    for (const Call& c : calls) n += c.dg == dg && c.dat == dat && c.msg == msg;
    return n;
  }

 private:
  static TW_UINT16 KAMOLT_TWAIN_CALL Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg,
                                           TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return current_->Handle(origin, destination, dg, dat, msg, data);
  }

  TW_UINT16 Scripted(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
    auto& queue = script_[{dg, dat, msg}];
    if (!queue.empty()) {
      const TW_UINT16 code = queue.front();
      queue.pop_front();
      return code;
    }
    auto found = always_.find({dg, dat, msg});
    return found == always_.end() ? TWRC_SUCCESS : found->second;
  }

  TW_UINT16 Handle(TW_IDENTITY*, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                   TW_MEMREF data) {
    calls.push_back({dg, dat, msg, destination != nullptr});
    if (dat == DAT_STATUS) {
      const TW_UINT16 code = statusAnswers.empty() ? TWRC_SUCCESS : statusAnswers.front();
      if (!statusAnswers.empty()) statusAnswers.erase(statusAnswers.begin());
      if (code == TWRC_SUCCESS) static_cast<TW_STATUS*>(data)->ConditionCode = conditionCode;
      return code;
    }
    const TW_UINT16 code = Scripted(dg, dat, msg);
    if (dat == DAT_EVENT) {
      auto* event = static_cast<TW_EVENT*>(data);
      if (!eventMessages.empty()) {
        event->TWMessage = eventMessages.front();
        eventMessages.pop_front();
      }
      return code == TWRC_SUCCESS ? eventAnswer : code;
    }
    if (code != TWRC_SUCCESS && !(dat == DAT_IMAGEMEMXFER)) return code;
    switch (dat) {
      case DAT_PARENT: parentSeen = *static_cast<TwainWindow*>(data); break;
      case DAT_IDENTITY: return Identity(msg, static_cast<TW_IDENTITY*>(data));
      case DAT_USERINTERFACE:
        (msg == MSG_ENABLEDS ? enabledWith : disabledWith) = *static_cast<TW_USERINTERFACE*>(data);
        break;
      case DAT_CAPABILITY: return Capability(msg, static_cast<TW_CAPABILITY*>(data));
      case DAT_IMAGELAYOUT: layouts.push_back(*static_cast<TW_IMAGELAYOUT*>(data)); break;
      case DAT_IMAGEINFO:
        if (image_ < images.size()) {
          auto* info = static_cast<TW_IMAGEINFO*>(data);
          *info = images[image_].info;
          if (images[image_].lengthUnknown) info->ImageLength = -1;
        }
        break;
      case DAT_SETUPMEMXFER: {
        TW_SETUPMEMXFER setup{0, 0xffffffff, 65536};
        if (!setups.empty()) {
          setup = setups.front();
          setups.pop_front();
        }
        *static_cast<TW_SETUPMEMXFER*>(data) = setup;
        break;
      }
      case DAT_PALETTE8: *static_cast<TW_PALETTE8*>(data) = palette; break;
      case DAT_IMAGEMEMXFER: return Strip(code, static_cast<TW_IMAGEMEMXFER*>(data));
      case DAT_PENDINGXFERS: {
        auto* pending = static_cast<TW_PENDINGXFERS*>(data);
        ++image_;
        row_ = 0;
        emptySent_ = 0;
        if (!pendingAfter.empty()) {
          pending->Count = pendingAfter.front();
          pendingAfter.pop_front();
        } else {
          pending->Count = static_cast<TW_UINT16>(images.size() > image_ ? images.size() - image_ : 0);
        }
        break;
      }
      default: break;
    }
    return code;
  }

  TW_UINT16 Identity(TW_UINT16 msg, TW_IDENTITY* identity) {
    switch (msg) {
      case MSG_OPENDS:
        openedIdentity = *identity;
        if (identity->ProductName[0] == '\0') std::memcpy(identity->ProductName, "Default", 8);
        identity->Id = 77;
        break;
      case MSG_GETDEFAULT: *identity = defaultSource; break;
      case MSG_USERSELECT: *identity = userChoice; break;
      default: break;
    }
    return TWRC_SUCCESS;
  }

  TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY* capability) {
    if (msg == MSG_SET) {
      const auto* one = static_cast<const TW_ONEVALUE*>(platform_.LockMemory(capability->hContainer));
      EXPECT_NE(one, nullptr);
      EXPECT_EQ(capability->ConType, TWON_ONEVALUE);
      EXPECT_EQ(platform_.MemorySize(capability->hContainer), sizeof(TW_ONEVALUE));
      if (one != nullptr) sets.push_back({capability->Cap, one->ItemType, one->Item});
      return TWRC_SUCCESS;
    }
    if (auto raw = rawContainers.find(capability->Cap); raw != rawContainers.end()) {
      capability->ConType = raw->second.first;
      capability->hContainer = platform_.AllocMemory(raw->second.second.size());
      std::memcpy(capability->hContainer, raw->second.second.data(), raw->second.second.size());
      return TWRC_SUCCESS;
    }
    auto found = current.find(capability->Cap);
    if (found == current.end()) return TWRC_FAILURE;
    capability->ConType = found->second.first;
    capability->hContainer = platform_.AllocMemory(sizeof(TW_ONEVALUE));
    auto* one = static_cast<TW_ONEVALUE*>(capability->hContainer);
    one->ItemType = TWTY_UINT16;
    one->Item = found->second.second;
    return TWRC_SUCCESS;
  }

  TW_UINT16 Strip(TW_UINT16 scripted, TW_IMAGEMEMXFER* transfer) {
    // Packed members are copied out before use: they may not lie on their natural boundary.
    offeredLengths.push_back(TW_UINT32{transfer->Memory.Length});
    EXPECT_EQ(TW_UINT32{transfer->Memory.Flags}, TWMF_APPOWNS | TWMF_POINTER);
    if (scripted != TWRC_SUCCESS) return scripted;
    if (image_ >= images.size()) return TWRC_FAILURE;
    const FakeImage& image = images[image_];
    if (image.refuseWith != TWRC_SUCCESS) return image.refuseWith;
    if (emptySent_ < image.emptyStrips) {
      ++emptySent_;
      transfer->BytesWritten = 0;
      transfer->Rows = 0;
      return TWRC_SUCCESS;
    }
    const std::uint32_t height = static_cast<std::uint32_t>(image.info.ImageLength);
    std::uint32_t rows = transfer->Memory.Length / image.sourceRowBytes;
    if (image.rowsPerStrip != 0 && image.rowsPerStrip < rows) rows = image.rowsPerStrip;
    if (rows > height - row_) rows = height - row_;
    if (rows == 0) return TWRC_FAILURE;
    const std::size_t bytes = static_cast<std::size_t>(rows) * image.sourceRowBytes;
    std::memcpy(transfer->Memory.TheMem, image.rows.data() + static_cast<std::size_t>(row_) * image.sourceRowBytes,
                bytes);
    transfer->Compression = TWCP_NONE;
    transfer->BytesPerRow = image.sourceRowBytes;
    transfer->Columns = static_cast<TW_UINT32>(image.info.ImageWidth);
    transfer->Rows = rows;
    transfer->XOffset = 0;
    transfer->YOffset = row_;
    transfer->BytesWritten = static_cast<TW_UINT32>(bytes);
    row_ += rows;
    return row_ == height ? TWRC_XFERDONE : TWRC_SUCCESS;
  }

  static inline FakeSource* current_ = nullptr;
  FakeTwainPlatform& platform_;
  std::map<std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>, std::deque<TW_UINT16>> script_;
  std::map<std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>, TW_UINT16> always_;
  std::size_t image_ = 0;
  std::uint32_t row_ = 0;
  std::uint32_t emptySent_ = 0;
};

inline TW_IMAGEINFO ImageInfo(int width, int height, int bitsPerPixel, TW_INT16 pixelType, double dpi = 300) {
  TW_IMAGEINFO info{};
  const auto fix = [](double v) {
    const auto whole = static_cast<TW_INT16>(v);
    return TW_FIX32{whole, static_cast<TW_UINT16>((v - whole) * 65536)};
  };
  info.XResolution = fix(dpi);
  info.YResolution = fix(dpi);
  info.ImageWidth = width;
  info.ImageLength = height;
  info.BitsPerPixel = static_cast<TW_INT16>(bitsPerPixel);
  info.PixelType = pixelType;
  info.SamplesPerPixel = pixelType == TWPT_RGB ? 3 : 1;
  return info;
}

// A picture whose every byte tells its row and column, sent with rows of sourceRowBytes
// (0: padded to four bytes as a bitmap is).
inline FakeImage PatternImage(int width, int height, int bitsPerPixel, TW_INT16 pixelType,
                              std::uint32_t sourceRowBytes = 0) {
  FakeImage image;
  image.info = ImageInfo(width, height, bitsPerPixel, pixelType);
  const std::uint32_t dataBytes = (static_cast<std::uint32_t>(width) * bitsPerPixel + 7) / 8;
  image.sourceRowBytes = sourceRowBytes ? sourceRowBytes : (static_cast<std::uint32_t>(width) * bitsPerPixel + 31) / 32 * 4;
  image.rows.assign(static_cast<std::size_t>(image.sourceRowBytes) * height, 0xEE);
  for (int y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < dataBytes; ++x) {
      image.rows[static_cast<std::size_t>(y) * image.sourceRowBytes + x] = static_cast<std::uint8_t>(y * 31 + x * 7 + 1);
    }
  }
  return image;
}

}  // namespace kamolt::testing
