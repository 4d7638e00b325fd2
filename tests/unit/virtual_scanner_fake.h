#pragma once
// Drives the virtual scanner's source as an application would, through its entry, with a
// platform that keeps memory blocks exactly the size asked for, so the sanitizers see
// any access past them.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/virtual_scanner/virtual_source.h"

namespace kamolt::scanner::testing {

class FakeSourceHost : public SourceHost {
 public:
  TW_HANDLE AllocMemory(std::size_t bytes) override {
    if (failAllocations) return nullptr;
    auto block = std::make_unique<std::uint8_t[]>(bytes ? bytes : 1);
    void* handle = block.get();
    blocks_[handle] = {std::move(block), bytes};
    return handle;
  }
  void* LockMemory(TW_HANDLE memory) override { return blocks_.count(memory) ? memory : nullptr; }
  void UnlockMemory(TW_HANDLE) override {}
  std::size_t MemorySize(TW_HANDLE memory) override {
    const auto found = blocks_.find(memory);
    return found == blocks_.end() ? 0 : found->second.size;
  }
  void FreeMemory(TW_HANDLE memory) override { blocks_.erase(memory); }
  std::string ReadScript() override { return script; }
  void WakeApplication(TW_HANDLE window) override { wakes.push_back(window); }
  bool IsWakeUp(const void* event) override { return event == &wakeEvent; }
  bool HandleDialogEvent(const void* event) override { return dialogOpen && event == &dialogEvent; }
  bool OpenDialog(TW_HANDLE parent, const std::string& text) override {
    dialogParent = parent;
    summary = text;
    dialogOpen = true;
    return true;
  }
  void CloseDialog() override { dialogOpen = false; }

  std::size_t LiveBlocks() const { return blocks_.size(); }

  std::string script;
  bool failAllocations = false;
  std::vector<TW_HANDLE> wakes;
  int wakeEvent = 0;    // its address stands for the source's own message
  int dialogEvent = 0;  // and this one for a message of its dialog
  int otherEvent = 0;
  bool dialogOpen = false;
  TW_HANDLE dialogParent = nullptr;
  std::string summary;

 private:
  struct Block {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size;
  };
  std::map<void*, Block> blocks_;
};

class SourceDriver : public ::testing::Test {
 protected:
  TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return source->Entry(&app, dg, dat, msg, data);
  }

  TW_UINT16 Condition() {
    TW_STATUS status{};
    EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    return status.ConditionCode;
  }

  void Open(const std::string& script = "") {
    host.script = script;
    TW_IDENTITY identity{};
    ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
  }

  TW_UINT16 SetCap(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, host.AllocMemory(sizeof(TW_ONEVALUE))};
    const TW_ONEVALUE one{itemType, item};
    std::memcpy(capability.hContainer, &one, sizeof one);
    const TW_UINT16 result = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    host.FreeMemory(capability.hContainer);
    return result;
  }

  TW_UINT16 SetFix(TW_UINT16 cap, double value) { return SetCap(cap, TWTY_FIX32, FixItem(ToFix(value))); }

  // The container bytes an answer came in, freed as an application frees them.
  std::vector<std::uint8_t> Get(TW_UINT16 cap, TW_UINT16 msg, TW_UINT16* conType = nullptr) {
    TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, msg, &capability), TWRC_SUCCESS);
    if (conType != nullptr) *conType = capability.ConType;
    const auto* bytes = static_cast<const std::uint8_t*>(capability.hContainer);
    std::vector<std::uint8_t> copy(bytes, bytes + host.MemorySize(capability.hContainer));
    host.FreeMemory(capability.hContainer);
    return copy;
  }

  TW_UINT32 Current(TW_UINT16 cap) {
    const auto bytes = Get(cap, MSG_GETCURRENT);
    TW_ONEVALUE one{};
    std::memcpy(&one, bytes.data(), sizeof one);
    return one.ItemType == TWTY_FIX32 || one.ItemType == TWTY_INT32 ? one.Item : one.Item & 0xffff;
  }

  TW_UINT16 Enable(bool showUI) {
    TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI), 0, &parent};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }

  // The notice the application's next event carries, when the event is the source's own.
  TW_UINT16 NextNotice(void* event = nullptr) {
    TW_EVENT twEvent{event != nullptr ? event : &host.wakeEvent, 0xffff};
    lastEventResult = Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &twEvent);
    return twEvent.TWMessage;
  }

  TW_UINT16 EndTransfer(TW_UINT16* count = nullptr) {
    TW_PENDINGXFERS pending{};
    const TW_UINT16 result = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    if (count != nullptr) *count = pending.Count;
    return result;
  }

  TW_IMAGEINFO Info() {
    TW_IMAGEINFO info{};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    return info;
  }

  // Brings a fresh source to the state: 3 closed, 4 open, 5 enabled, 6 a page offered,
  // 7 one strip of it taken.
  void ToState(int state, const std::string& script = "Pages=2\n") {
    if (state >= 4) {
      Open("[Scanner]\n" + script);
      ASSERT_EQ(SetCap(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    }
    if (state >= 5) {
      ASSERT_EQ(Enable(state == 5), TWRC_SUCCESS);
    }
    if (state >= 6) {
      ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    }
    if (state >= 7) {
      std::vector<std::uint8_t> buffer(4096);
      TW_IMAGEMEMXFER strip{};
      strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()), buffer.data()};
      ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_SUCCESS);
    }
    ASSERT_EQ(source->State(), state);
  }

  // Takes a whole page by memory transfer with buffers of the given size and puts its
  // rows together by their offsets, packed; the strips are kept for a look at them.
  TW_UINT16 TransferPage(TW_UINT32 bufferSize, std::vector<std::uint8_t>& rows,
                         std::vector<TW_IMAGEMEMXFER>* strips = nullptr) {
    const TW_IMAGEINFO info = Info();
    const std::size_t packed = (static_cast<std::size_t>(info.ImageWidth) * info.BitsPerPixel + 7) / 8;
    // A length the source does not know yet (-1) grows with the strips.
    rows.assign(packed * static_cast<std::size_t>(std::max<TW_INT32>(info.ImageLength, 0)), 0xcd);
    std::vector<std::uint8_t> buffer(bufferSize);
    TW_UINT16 result;
    do {
      TW_IMAGEMEMXFER strip{};
      strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, bufferSize, buffer.data()};
      result = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
      if (result != TWRC_SUCCESS && result != TWRC_XFERDONE) break;
      if (strips != nullptr) strips->push_back(strip);
      // Packed records: their fields are read into values, never bound to references.
      const TW_UINT32 written = strip.BytesWritten, stripRows = strip.Rows, rowBytes = strip.BytesPerRow;
      const TW_UINT32 top = strip.YOffset;
      EXPECT_LE(written, bufferSize);
      EXPECT_EQ(written, stripRows * rowBytes);
      EXPECT_GE(rowBytes, packed);
      if ((top + stripRows) * packed > rows.size()) rows.resize((top + stripRows) * packed, 0xcd);
      for (TW_UINT32 r = 0; r < stripRows; ++r) {
        std::memcpy(&rows[(top + r) * packed], &buffer[r * rowBytes], packed);
      }
    } while (result == TWRC_SUCCESS);
    return result;
  }

  static std::vector<std::uint8_t> ExpectedRows(const PageFormat& page) {
    const std::size_t packed = PackedRowBytes(page);
    std::vector<std::uint8_t> rows(packed * static_cast<std::size_t>(page.length));
    for (std::int32_t y = 0; y < page.length; ++y) WriteRow(page, y, &rows[y * packed]);
    return rows;
  }

  // A new source, as a process that loads it afresh has.
  void Restart() {
    source = std::make_unique<VirtualSource>(host);
    host.wakes.clear();
  }

  FakeSourceHost host;
  std::unique_ptr<VirtualSource> source = std::make_unique<VirtualSource>(host);
  TW_IDENTITY app{};
  int parent = 0;  // its address stands for the application's window
  TW_UINT16 lastEventResult = 0;
};

}  // namespace kamolt::scanner::testing
