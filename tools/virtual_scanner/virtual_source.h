#pragma once
// The virtual scanner as a TWAIN data source: every triplet an application sends through
// the source manager lands in Entry, which keeps the standard's states 3 to 7 strictly.
// A triplet the source does not know fails with TWCC_BADPROTOCOL, one sent in the wrong
// state with TWCC_SEQERROR, and nothing about the source changes either way.
//
// Windows sources of this generation have no way to call the application: a notice
// (MSG_XFERREADY, MSG_CLOSEDSREQ) waits until the application hands the source its next
// event, and the source posts a message of its own to make sure one comes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/twain_types.h"
#include "tools/virtual_scanner/page_pattern.h"
#include "tools/virtual_scanner/scanner_config.h"
#include "tools/virtual_scanner/scanner_settings.h"

namespace kamolt::scanner {

// What the source needs from the platform it runs on.
class SourceHost {
 public:
  virtual ~SourceHost() = default;

  // Movable, zero-initialised blocks, as applications free them; nullptr on failure.
  virtual TW_HANDLE AllocMemory(std::size_t bytes) = 0;
  virtual void* LockMemory(TW_HANDLE memory) = 0;
  virtual void UnlockMemory(TW_HANDLE memory) = 0;
  virtual std::size_t MemorySize(TW_HANDLE memory) = 0;
  virtual void FreeMemory(TW_HANDLE memory) = 0;

  // The script beside the source; empty when there is none.
  virtual std::string ReadScript() = 0;

  // Posts the source's own message to the window (or, without one, to the thread).
  virtual void WakeApplication(TW_HANDLE window) = 0;
  // event is the platform's message the application passed in with MSG_PROCESSEVENT.
  virtual bool IsWakeUp(const void* event) = 0;
  // Lets the source's dialog take the message when it is the dialog's own.
  virtual bool HandleDialogEvent(const void* event) = 0;
  virtual bool OpenDialog(TW_HANDLE parent, const std::string& summary) = 0;
  virtual void CloseDialog() = 0;
};

// The identity the source reports.
inline constexpr char kProductName[] = "Kamolt Virtual Scanner";

class VirtualSource {
 public:
  explicit VirtualSource(SourceHost& host) : host_(host) {}

  TW_UINT16 Entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

  // The buttons of the source's own dialog.
  void ScanPressed();
  void CancelPressed();

  int State() const { return state_; }

  // The triplet handlers, public only so the dispatch table can name them.
  TW_UINT16 Identity(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Capability(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 UserInterface(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Event(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 PendingTransfers(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  // The least buffer a strip may be offered: a row, or the script's minimum when larger.
  TW_UINT32 MinimumBuffer(std::uint64_t rowBytes) const;
  TW_UINT16 SetupMemoryTransfer(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 ImageInfo(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 ImageLayout(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Palette(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 MemoryTransfer(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 NativeTransfer(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data);

 private:
  TW_UINT16 Fail(TW_UINT16 conditionCode);
  void Notify(TW_UINT16 notice);
  void StartRun();
  // The cancel or failure the script asks for on the page about to start, if any.
  std::optional<TW_UINT16> ScriptedEnding();
  std::uint64_t BytesPerRow(const PageFormat& page) const;
  TW_HANDLE BuildContainer(const CapabilityView& view, TW_UINT16 msg);

  SourceHost& host_;
  int state_ = 3;
  TW_UINT16 condition_ = TWCC_SUCCESS;
  ScannerConfig config_;
  std::optional<ScannerSettings> settings_;
  TW_HANDLE parent_ = nullptr;
  TW_UINT16 notice_ = MSG_NULL;  // waiting for the application's next event
  int imagesLeft_ = 0;           // pending transfers, the current one included
  int pageNumber_ = 1;
  std::int32_t rowsSent_ = 0;
  int emptySent_ = 0;  // empty strips answered for the page in hand
  bool pageEnded_ = false;  // transferred or cancelled: only MSG_ENDXFER goes on from here
};

}  // namespace kamolt::scanner
