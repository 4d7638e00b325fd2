#include "scan/twain_transfer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <variant>

#include "base/dib.h"
#include "scan/memory_image.h"
#include "scan/twain_capabilities.h"

namespace kamolt {
namespace {

constexpr const char* kUnit = "Dca_acq";
constexpr const char* kStripOperation = "DG_IMAGE/DAT_IMAGEMEMXFER/MSG_GET";
// Empty strips in a row after which a page counts as failed: a source catching up now and
// then stays far below it, one that never delivers does not hang the run.
constexpr int kMostEmptyStrips = 1000;

}  // namespace

void TwainAcquisition::Box(TwainWindow owner, int threshold, const char* text, const char* caption) {
  if (Level() >= threshold) session_.Diagnostics().ShowOperationStatus(owner, 0, TWRC_SUCCESS, text, caption);
}

void TwainAcquisition::Composed(TwainWindow owner, int threshold, TW_UINT16 returnCode, const char* operation) {
  if (Level() >= threshold) session_.Diagnostics().ShowOperationStatus(owner, 1, returnCode, "", operation);
}

int TwainAcquisition::AcquireImages(TwainWindow window, bool showSourceUI, TW_UINT16 mode) {
  if (!session_.Diagnostics().Check(window != nullptr, kUnit, __LINE__)) return 0;
  acquireMode_ = 0;
  failedImages_ = 0;
  if (!session_.TWOpenDSM()) return 0;
  if (!session_.TWOpenDS()) {
    session_.TWCloseDSM();
    return 0;
  }
  if (NegotiateScanCapabilities(session_, window, settings_) != TWRC_SUCCESS) {
    if (session_.TWCloseDS() && session_.TWCloseDSM()) acquireMode_ = 0;
    return 0;
  }
  if (session_.TWIsDSEnabled()) return 1;
  const int enabled = session_.TWEnableDS(showSourceUI) ? 1 : 0;
  acquireMode_ = mode;
  if (!enabled && session_.TWCloseDS() && session_.TWCloseDSM()) acquireMode_ = 0;
  return enabled;
}

bool TwainAcquisition::ProcessTwainEvent(void* message, TwainWindow window) {
  if (!session_.Diagnostics().Check(message != nullptr, kUnit, __LINE__)) return false;
  if (!session_.TWIsDSMOpen() || !session_.TWIsDSOpen()) return false;
  TW_EVENT event{};
  event.pEvent = message;
  event.TWMessage = MSG_NULL;
  const TW_UINT16 returnCode = session_.CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  switch (event.TWMessage) {
    case MSG_XFERREADY:
      if (acquireMode_ != 0) TransferImages(window);
      else Box(window, 1, "Received while not in state 5", "MSG_XFERREADY");
      break;
    case MSG_CLOSEDSREQ:
    case MSG_CLOSEDSOK:
      if (session_.TWDisableDS() && session_.TWCloseDS() && session_.TWCloseDSM()) {
        session_.Platform().PostClose(window);
      }
      break;
    default:
      break;
  }
  return returnCode == TWRC_DSEVENT;
}

void TwainAcquisition::TransferImages(TwainWindow window) {
  DoMemTransfer(window);
  if (!session_.TWIsDSMOpen()) acquireMode_ = 0;
}

void TwainAcquisition::DoMemTransfer(TwainWindow window) {
  session_.Platform().ShowWaitCursor(true);
  transfersPending_ = true;
  TW_PENDINGXFERS pending{};
  do {
    TW_HANDLE image = nullptr;
    const Ending ending = TransferOneImage(window, image);
    EndImage(window, ending, image, pending);
    // A program told to end takes no further page; the hand-over of a page may also have
    // ended the session itself.
    if (transfersPending_ && session_.Platform().EndRequested()) EndSession();
  } while (pending.Count != 0 && transfersPending_);
}

bool TwainAcquisition::QueryOneValue(TW_UINT16 cap, TW_UINT32& item, TW_UINT16& returnCode) {
  TwainPlatform& platform = session_.Platform();
  TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
  returnCode = session_.CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability);
  if (returnCode != TWRC_SUCCESS) return false;
  if (capability.hContainer == nullptr) return true;
  if (capability.ConType == TWON_ONEVALUE && platform.MemorySize(capability.hContainer) >= sizeof(TW_ONEVALUE)) {
    if (const auto* one = static_cast<const TW_ONEVALUE*>(platform.LockMemory(capability.hContainer))) {
      item = static_cast<TW_UINT16>(one->Item);
      platform.UnlockMemory(capability.hContainer);
    }
  }
  platform.FreeMemory(capability.hContainer);
  return true;
}

std::uint32_t TwainAcquisition::FillColourTable(TwainWindow window, std::uint8_t* table, const TW_IMAGEINFO& info) {
  const int bitCount = info.BitsPerPixel;
  std::uint32_t count = 0;
  switch (info.PixelType) {
    case TWPT_BW: {
      TW_UINT32 flavor = TWPF_CHOCOLATE;
      TW_UINT16 returnCode = TWRC_SUCCESS;
      if (!QueryOneValue(ICAP_PIXELFLAVOR, flavor, returnCode)) {
        Composed(window, 2, returnCode, "ICAP_PIXELFLAVOR");
        flavor = TWPF_CHOCOLATE;
      }
      WriteBlackWhiteTable(table, static_cast<TW_UINT16>(flavor));
      count = 2;
      break;
    }
    case TWPT_GRAY: count = WriteGreyTable(table, bitCount); break;
    case TWPT_RGB: break;
    default: {
      TW_PALETTE8 palette{};
      const TW_UINT16 returnCode = session_.CallSource(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette);
      if (returnCode == TWRC_SUCCESS) {
        count = WritePaletteTable(table, palette, bitCount);
      } else {
        Composed(window, 1, returnCode, "DG_IMAGE/DAT_PALETTE8/MSG_GET -- defaulting to 256 gray image palette");
        count = WriteGreyTable(table, bitCount);
      }
      break;
    }
  }
  // An empty table in front of indexed pixels would make every reader look for the
  // pixels elsewhere; grey keeps the picture readable.
  if (count == 0 && bitCount <= 8) count = WriteGreyTable(table, bitCount);
  return count;
}

TwainAcquisition::Ending TwainAcquisition::TransferOneImage(TwainWindow window, TW_HANDLE& image) {
  TwainPlatform& platform = session_.Platform();
  if (Level() >= 2) {
    DumpCapability(session_, window, ICAP_PIXELFLAVOR);
    DumpCapability(session_, window, ICAP_PIXELTYPE);
  }
  TW_IMAGEINFO info{};
  TW_UINT16 returnCode = session_.CallSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
  if (returnCode != TWRC_SUCCESS) {
    Composed(window, 1, returnCode, "DG_IMAGE/DAT_IMAGEINFO/MSG_GET");
    return Ending::NotStarted;
  }

  TW_SETUPMEMXFER setup{};
  returnCode = session_.CallSource(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
  const TW_UINT32 bufferSize = ChooseBufferSize(setup, returnCode == TWRC_SUCCESS);
  std::optional<ImageBlockPlan> plan = PlanImageBlock(info, bufferSize);
  if (!plan) {
    Box(window, 1, "Image size out of range in DoMemTransfer", "Memory Error");
    return Ending::NotStarted;
  }
  TW_HANDLE block = platform.AllocMemory(static_cast<std::size_t>(plan->blockBytes));
  auto* bytes = block != nullptr ? static_cast<std::uint8_t*>(platform.LockMemory(block)) : nullptr;
  if (bytes == nullptr) {
    if (block != nullptr) platform.FreeMemory(block);
    Box(window, 1, "GlobalAlloc Failed in DoMemTransfer", "Memory Error");
    return Ending::NotStarted;
  }
  const auto release = [&] {
    platform.UnlockMemory(block);
    platform.FreeMemory(block);
  };
  // A page given up once its strips have begun: told, and its block given back.
  const auto fail = [&](const char* text, const char* caption) {
    Box(window, 1, text, caption);
    release();
    return Ending::Failed;
  };

  std::int32_t xPerMetre = 0;
  std::int32_t yPerMetre = 0;
  TW_UINT32 units = TWON_DONTCARE16;
  if (QueryOneValue(ICAP_UNITS, units, returnCode)) {
    xPerMetre = PixelsPerMetre(FromFix32(info.XResolution), static_cast<TW_UINT16>(units));
    yPerMetre = PixelsPerMetre(FromFix32(info.YResolution), static_cast<TW_UINT16>(units));
  } else {
    Composed(window, 1, returnCode, "DG_CONTROL/DAT_CAPABILITY/MSG_GETCURRENT");
  }
  const std::uint32_t colours = FillColourTable(window, bytes + kDibHeaderSize, info);
  WriteImageHeader(bytes, *plan, static_cast<std::uint32_t>(plan->roundedBytes), xPerMetre, yPerMetre, colours);
  const std::size_t pixelOffset = kDibHeaderSize + 4 * colours;

  returnCode = session_.CallSource(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
  if (returnCode != TWRC_SUCCESS) {
    Composed(window, 1, returnCode, "DG_CONTROL/DAT_SETUPMEMXFER/MSG_GET");
    release();
    return Ending::NotStarted;
  }
  // Strips land in a buffer of their own and are placed from there by their rows and
  // offsets, so a source whose rows are not padded like ours, or that sends more than
  // the block holds, cannot write past it.
  // No strip needs more room than the planned block, whatever the source answers this time.
  const TW_UINT32 stripLength =
      static_cast<TW_UINT32>(std::min<std::uint64_t>(ChooseBufferSize(setup, true), plan->roundedBytes));
  std::unique_ptr<std::uint8_t[]> strip(new (std::nothrow) std::uint8_t[stripLength]());
  if (!strip) {
    release();
    Box(window, 1, "GlobalAlloc Failed in DoMemTransfer", "Memory Error");
    return Ending::NotStarted;
  }
  // A page of known length is placed straight into the bitmap's order. One of unknown
  // length cannot be: a row's place from the bottom depends on the height still to come,
  // so it is placed top-down and turned once its height is known.
  const StripPlacement placement{!plan->unknownLength, !plan->unknownLength && info.PixelType == TWPT_RGB};
  std::uint64_t rowsReceived = 0;
  int emptyStrips = 0;
  do {
    TW_IMAGEMEMXFER transfer{};
    transfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    transfer.Memory.Length = stripLength;
    transfer.Memory.TheMem = strip.get();
    returnCode = session_.CallSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &transfer);
    if (returnCode != TWRC_SUCCESS && returnCode != TWRC_XFERDONE) break;
    const TW_UINT32 written = std::min(TW_UINT32{transfer.BytesWritten}, stripLength);
    // A source that keeps answering with nothing would be asked for ever.
    emptyStrips = written == 0 ? emptyStrips + 1 : 0;
    if (returnCode == TWRC_SUCCESS && emptyStrips >= kMostEmptyStrips) {
      return fail("No image data in DoMemTransfer", kStripOperation);
    }
    if (written == 0) continue;
    const std::uint64_t endRow = StripEndRow(*plan, transfer, written);
    if (plan->unknownLength && endRow > static_cast<std::uint64_t>(plan->height) &&
        !GrowBlock(*plan, endRow, bufferSize, pixelOffset, block, bytes)) {
      return fail("Image size out of range in DoMemTransfer", "Memory Error");
    }
    rowsReceived = std::max(rowsReceived, std::min<std::uint64_t>(endRow, plan->height));
    PlaceStrip(bytes + pixelOffset, *plan, transfer, strip.get(), written, placement);
  } while (returnCode == TWRC_SUCCESS);

  if (returnCode == TWRC_XFERDONE && plan->unknownLength) {
    if (rowsReceived == 0) return fail("No image data in DoMemTransfer", kStripOperation);
    // The page is as long as its rows came; the room beyond them stays unused.
    SetImageHeight(bytes, plan->rowBytes, static_cast<int>(rowsReceived));
  }

  switch (returnCode) {
    case TWRC_XFERDONE:
      Box(window, 3, "TWRC_XFERDONE", kStripOperation);
      platform.UnlockMemory(block);
      if (plan->unknownLength) FixBitMap(window, block, info.PixelType);
      image = block;
      return Ending::Done;
    case TWRC_CANCEL:
      Box(window, 1, "TWRC_CANCEL", kStripOperation);
      release();
      return Ending::Cancelled;
    case TWRC_FAILURE:
      Composed(window, 1, returnCode, kStripOperation);
      release();
      return Ending::Failed;
    default:
      Box(window, 1, "Unknown Return Code", kStripOperation);
      release();
      return Ending::Unknown;
  }
}

bool TwainAcquisition::GrowBlock(ImageBlockPlan& plan, std::uint64_t rows, TW_UINT32 bufferSize,
                                 std::size_t pixelOffset, TW_HANDLE& block, std::uint8_t*& bytes) {
  TwainPlatform& platform = session_.Platform();
  const std::optional<ImageBlockPlan> grown = GrowImageBlock(plan, rows, bufferSize);
  if (!grown) return false;
  const TW_HANDLE larger = platform.AllocMemory(static_cast<std::size_t>(grown->blockBytes));
  auto* largerBytes = larger != nullptr ? static_cast<std::uint8_t*>(platform.LockMemory(larger)) : nullptr;
  if (largerBytes == nullptr) {
    if (larger != nullptr) platform.FreeMemory(larger);
    return false;
  }
  std::memcpy(largerBytes, bytes, pixelOffset + static_cast<std::size_t>(plan.imageBytes));
  platform.UnlockMemory(block);
  platform.FreeMemory(block);
  block = larger;
  bytes = largerBytes;
  plan = *grown;
  return true;
}

void TwainAcquisition::EndImage(TwainWindow window, Ending ending, TW_HANDLE image, TW_PENDINGXFERS& pending) {
  TwainPlatform& platform = session_.Platform();
  platform.ShowWaitCursor(false);
  const TW_UINT16 returnCode = session_.CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
  if (returnCode != TWRC_SUCCESS) {
    Composed(window, 1, returnCode, "DG_CONTROL / DAT_PENDINGXFERS / MSG_ENDXFER");
    // The count the source would have given is unknown; going on would ask it forever.
    // Its transfers are reset first: a source still in a transfer refuses to be disabled.
    ResetPendingTransfers();
    pending.Count = 0;
    // Whatever the source still held is lost, so the run cannot count as complete.
    ++failedImages_;
  }
  if (ending != Ending::Done && ending != Ending::Cancelled) ++failedImages_;
  transfersPending_ = pending.Count != 0;
  if (pending.Count == 0) CloseTwainSession();
  if (ending == Ending::Done) {
    platform.SendTransferDone(window, image, pending.Count);
  } else if (ending != Ending::NotStarted) {
    platform.SendTransferDone(window, nullptr, 0);
  } else if (pending.Count == 0) {
    // A page that never started has had its box already; the window only has to close.
    platform.PostClose(window);
  }
  if ((ending == Ending::Done || ending == Ending::Unknown) && Level() >= 2) {
    char text[32];
    std::snprintf(text, sizeof text, "Images = %d", pending.Count);
    session_.Diagnostics().ShowOperationStatus(nullptr, 0, TWRC_SUCCESS, text, "Pending Transfers");
  }
}

void TwainAcquisition::FixBitMap(TwainWindow owner, TW_HANDLE image, TW_INT16 pixelType) {
  if (!session_.Diagnostics().Check(image != nullptr, kUnit, __LINE__)) return;
  TwainPlatform& platform = session_.Platform();
  auto* bytes = static_cast<std::uint8_t*>(platform.LockMemory(image));
  if (bytes == nullptr) return;
  const auto measured = MeasureDib(bytes, platform.MemorySize(image));
  if (const auto* layout = std::get_if<DibLayout>(&measured)) {
    const bool swap = pixelType == TWPT_RGB && layout->bitCount == 24;
    if (!FlipRows(bytes + layout->pixelOffset, layout->rowBytes, layout->height, layout->width, swap)) {
      Box(owner, 1, "Could not allocate enough memory to flip image", "Error in FixBitMap in TWA_ACQ");
    }
  }
  platform.UnlockMemory(image);
}

void TwainAcquisition::CloseTwainSession() {
  if (session_.TWDisableDS() && session_.TWCloseDS()) session_.TWCloseDSM();
  acquireMode_ = 0;
}

void TwainAcquisition::ResetPendingTransfers() {
  TW_PENDINGXFERS pending{};
  const TW_UINT16 returnCode = session_.CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
  if (returnCode != TWRC_SUCCESS) Composed(nullptr, 1, returnCode, "DG_CONTROL / DAT_PENDINGXFERS / MSG_RESET");
  transfersPending_ = false;
}

void TwainAcquisition::EndSession() {
  // A source with transfers pending refuses to be disabled until they are reset.
  if (transfersPending_) ResetPendingTransfers();
  // Each step only in the state it belongs to, so an acquisition already taken down, or
  // never fully started, asks the source nothing it would refuse.
  if (session_.TWIsDSEnabled() && !session_.TWDisableDS()) return;
  if (session_.TWIsDSOpen() && !session_.TWCloseDS()) return;
  if (session_.TWIsDSMOpen()) session_.TWCloseDSM();
  acquireMode_ = 0;
}

}  // namespace kamolt
