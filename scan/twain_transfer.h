#pragma once
// One acquisition against a TWAIN source: open manager and source, negotiate, enable, then
// filter the scan module's messages through the source and, on its transfer-ready
// message, bring every pending image over by memory transfer into a bitmap block that is
// sent to the scan module window.
#include <cstddef>
#include <cstdint>

#include "base/scan_settings.h"
#include "base/twain_types.h"
#include "scan/memory_image.h"
#include "scan/twain_session.h"

namespace kamolt {

class TwainAcquisition {
 public:
  TwainAcquisition(TwainSession& session, ScanSettings& settings) : session_(session), settings_(settings) {}
  TwainAcquisition(const TwainAcquisition&) = delete;
  TwainAcquisition& operator=(const TwainAcquisition&) = delete;

  // 1 when the source is enabled, 0 when the acquisition could not start.
  int AcquireImages(TwainWindow window, bool showSourceUI, TW_UINT16 mode);
  // true when the message was the source's; the loop then neither translates nor
  // dispatches it.
  bool ProcessTwainEvent(void* message, TwainWindow window);
  void TransferImages(TwainWindow window);
  void DoMemTransfer(TwainWindow window);
  // Turns the block's rows upside down and, for colour, red and blue round: for a page
  // whose strips could not be placed in the bitmap's order as they came.
  void FixBitMap(TwainWindow owner, TW_HANDLE image, TW_INT16 pixelType);
  // Disables the source, closes it and closes the manager, each step only after the one before.
  void CloseTwainSession();
  // Takes the acquisition down wherever it stands, for a program that is ending: pending
  // transfers reset, the source disabled and closed, the manager closed. A transfer run it
  // interrupts stops after the page in hand; an acquisition already closed is left alone.
  void EndSession();

  TW_UINT16 AcquireMode() const { return acquireMode_; }
  // Pages of this acquisition that the source failed to deliver; a cancelled page is not one.
  int FailedImages() const { return failedImages_; }

 private:
  enum class Ending { Done, Cancelled, Failed, Unknown, NotStarted };
  int Level() const { return session_.Diagnostics().GetDiagnosticLevel(); }
  void Box(TwainWindow owner, int threshold, const char* text, const char* caption);
  void Composed(TwainWindow owner, int threshold, TW_UINT16 returnCode, const char* operation);
  // Brings one image over; returns how it ended and, when done, hands the block out.
  Ending TransferOneImage(TwainWindow window, TW_HANDLE& image);
  // Writes the colour table the pixel type calls for; returns its number of entries.
  std::uint32_t FillColourTable(TwainWindow window, std::uint8_t* table, const TW_IMAGEINFO& info);
  bool QueryOneValue(TW_UINT16 cap, TW_UINT32& item, TW_UINT16& returnCode);
  // Moves the page into a block with room for at least rows rows; false, with the old
  // block kept, when there is no such block.
  bool GrowBlock(ImageBlockPlan& plan, std::uint64_t rows, TW_UINT32 bufferSize, std::size_t pixelOffset,
                 TW_HANDLE& block, std::uint8_t*& bytes);
  void ResetPendingTransfers();
  void EndImage(TwainWindow window, Ending ending, TW_HANDLE image, TW_PENDINGXFERS& pending);

  TwainSession& session_;
  ScanSettings& settings_;
  TW_UINT16 acquireMode_ = 0;
  // From the source's transfer-ready message until no transfer is pending: the source then
  // waits for the next transfer or a reset and takes nothing else.
  bool transfersPending_ = false;
  int failedImages_ = 0;
};

}  // namespace kamolt
