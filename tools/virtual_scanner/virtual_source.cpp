#include "tools/virtual_scanner/virtual_source.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <vector>

namespace kamolt::scanner {
namespace {

using Handler = TW_UINT16 (VirtualSource::*)(TW_IDENTITY*, TW_UINT16, TW_MEMREF);

// Every triplet the source answers and the states it answers it in.
struct Triplet {
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  int fromState;
  int toState;
  Handler handler;
};

constexpr Triplet kTriplets[] = {
    // A second application's MSG_OPENDS is refused inside, with its own condition code.
    {DG_CONTROL, DAT_IDENTITY, MSG_GET, 3, 7, &VirtualSource::Identity},
    {DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, 3, 7, &VirtualSource::Identity},
    {DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, 4, 4, &VirtualSource::Identity},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GET, 4, 7, &VirtualSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, 4, 7, &VirtualSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, 4, 7, &VirtualSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, 4, 7, &VirtualSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_SET, 4, 4, &VirtualSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_RESET, 4, 4, &VirtualSource::Capability},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, 4, 4, &VirtualSource::UserInterface},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, 5, 5, &VirtualSource::UserInterface},
    {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, 5, 7, &VirtualSource::Event},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, 4, 7, &VirtualSource::PendingTransfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, 6, 7, &VirtualSource::PendingTransfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, 6, 6, &VirtualSource::PendingTransfers},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, 4, 6, &VirtualSource::SetupMemoryTransfer},
    {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, 6, 7, &VirtualSource::ImageInfo},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, 4, 6, &VirtualSource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, 4, 6, &VirtualSource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, 4, 4, &VirtualSource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, 4, 4, &VirtualSource::ImageLayout},
    {DG_IMAGE, DAT_PALETTE8, MSG_GET, 4, 6, &VirtualSource::Palette},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, 6, 7, &VirtualSource::MemoryTransfer},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, 6, 6, &VirtualSource::NativeTransfer},
};

void CopyText(char* target, std::size_t size, const char* text) {
  std::memset(target, 0, size);
  std::strncpy(target, text, size - 1);
}

void FillIdentity(TW_IDENTITY& identity) {
  const TW_UINT32 id = identity.Id;  // the source manager's number for us
  identity = TW_IDENTITY{};
  identity.Id = id;
  identity.Version.MajorNum = 1;
  identity.Version.MinorNum = 0;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  CopyText(identity.Version.Info, sizeof identity.Version.Info, "Generated test pages");
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 9;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyText(identity.Manufacturer, sizeof identity.Manufacturer, "Kamolt");
  CopyText(identity.ProductFamily, sizeof identity.ProductFamily, "Virtual Scanner");
  CopyText(identity.ProductName, sizeof identity.ProductName, kProductName);
}

std::size_t ItemSize(TW_UINT16 itemType) {
  return itemType == TWTY_FIX32 || itemType == TWTY_INT32 || itemType == TWTY_UINT32 ? 4 : 2;
}

void PutItem(std::uint8_t* target, TW_UINT16 itemType, TW_UINT32 item) {
  if (ItemSize(itemType) == 4) {
    std::memcpy(target, &item, 4);
  } else {
    const auto half = static_cast<TW_UINT16>(item);
    std::memcpy(target, &half, 2);
  }
}

template <typename T>
void Put(std::uint8_t* target, T value) {
  std::memcpy(target, &value, sizeof value);
}

TW_UINT32 IndexOf(const std::vector<TW_UINT32>& items, TW_UINT32 value) {
  const auto found = std::find(items.begin(), items.end(), value);
  return static_cast<TW_UINT32>(found == items.end() ? 0 : found - items.begin());
}

// MSG_GET and MSG_RESET show every value; the others only the current or default one,
// except for a list, which is all there is to show.
TW_UINT16 AnswerConType(const CapabilityView& view, TW_UINT16 msg) {
  const bool whole = msg == MSG_GET || msg == MSG_RESET || view.conType == TWON_ARRAY;
  return whole ? view.conType : TWON_ONEVALUE;
}

}  // namespace

TW_UINT16 VirtualSource::Fail(TW_UINT16 conditionCode) {
  condition_ = conditionCode;
  return TWRC_FAILURE;
}

TW_UINT16 VirtualSource::Entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  // The status query reports on the call before it, so it must not overwrite it.
  if (dg == DG_CONTROL && dat == DAT_STATUS) {
    if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
    if (data == nullptr) return Fail(TWCC_BADVALUE);
    auto* status = static_cast<TW_STATUS*>(data);
    status->ConditionCode = condition_;
    status->Reserved = 0;
    condition_ = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  const auto row = std::find_if(std::begin(kTriplets), std::end(kTriplets), [&](const Triplet& t) {
    return t.dg == dg && t.dat == dat && t.msg == msg;
  });
  if (row == std::end(kTriplets)) return Fail(TWCC_BADPROTOCOL);
  const auto& refused = config_.unsupportedData;
  if (state_ >= 4 && std::find(refused.begin(), refused.end(), dat) != refused.end()) {
    return Fail(TWCC_BADPROTOCOL);
  }
  if (state_ < row->fromState || state_ > row->toState) return Fail(TWCC_SEQERROR);
  // Closing takes no record: some source managers pass whatever they were given.
  if (data == nullptr && !(dat == DAT_IDENTITY && msg == MSG_CLOSEDS)) return Fail(TWCC_BADVALUE);
  condition_ = TWCC_SUCCESS;
  try {
    return (this->*(row->handler))(origin, msg, data);
  } catch (const std::bad_alloc&) {
    return Fail(TWCC_LOWMEMORY);
  } catch (...) {
    return Fail(TWCC_BUMMER);
  }
}

TW_UINT16 VirtualSource::Identity(TW_IDENTITY*, TW_UINT16 msg, TW_MEMREF data) {
  switch (msg) {
    case MSG_GET: FillIdentity(*static_cast<TW_IDENTITY*>(data)); return TWRC_SUCCESS;
    case MSG_OPENDS:
      if (state_ != 3) return Fail(TWCC_MAXCONNECTIONS);
      config_ = ParseScannerConfig(host_.ReadScript());
      settings_.emplace(config_);
      FillIdentity(*static_cast<TW_IDENTITY*>(data));
      notice_ = MSG_NULL;
      state_ = 4;
      return TWRC_SUCCESS;
    default:  // MSG_CLOSEDS
      host_.CloseDialog();
      settings_.reset();
      config_ = ScannerConfig{};
      state_ = 3;
      return TWRC_SUCCESS;
  }
}

TW_HANDLE VirtualSource::BuildContainer(const CapabilityView& view, TW_UINT16 msg) {
  const TW_UINT16 conType = AnswerConType(view, msg);
  const std::size_t itemSize = ItemSize(view.itemType);
  std::size_t bytes = sizeof(TW_ONEVALUE);
  if (conType == TWON_ENUMERATION) bytes = offsetof(TW_ENUMERATION, ItemList) + view.items.size() * itemSize;
  if (conType == TWON_ARRAY) bytes = offsetof(TW_ARRAY, ItemList) + view.items.size() * itemSize;
  if (conType == TWON_RANGE) bytes = sizeof(TW_RANGE);
  const TW_HANDLE handle = host_.AllocMemory(bytes);
  auto* memory = handle != nullptr ? static_cast<std::uint8_t*>(host_.LockMemory(handle)) : nullptr;
  if (memory == nullptr) {
    if (handle != nullptr) host_.FreeMemory(handle);
    return nullptr;
  }
  switch (conType) {
    case TWON_ENUMERATION: {
      Put(memory + offsetof(TW_ENUMERATION, ItemType), view.itemType);
      Put(memory + offsetof(TW_ENUMERATION, NumItems), static_cast<TW_UINT32>(view.items.size()));
      Put(memory + offsetof(TW_ENUMERATION, CurrentIndex), IndexOf(view.items, view.current));
      Put(memory + offsetof(TW_ENUMERATION, DefaultIndex), IndexOf(view.items, view.defaultValue));
      for (std::size_t i = 0; i < view.items.size(); ++i) {
        PutItem(memory + offsetof(TW_ENUMERATION, ItemList) + i * itemSize, view.itemType, view.items[i]);
      }
      break;
    }
    case TWON_ARRAY:
      Put(memory + offsetof(TW_ARRAY, ItemType), view.itemType);
      Put(memory + offsetof(TW_ARRAY, NumItems), static_cast<TW_UINT32>(view.items.size()));
      for (std::size_t i = 0; i < view.items.size(); ++i) {
        PutItem(memory + offsetof(TW_ARRAY, ItemList) + i * itemSize, view.itemType, view.items[i]);
      }
      break;
    case TWON_RANGE: {
      const TW_RANGE range{view.itemType, view.minValue, view.maxValue, view.stepSize, view.defaultValue,
                           view.current};
      std::memcpy(memory, &range, sizeof range);
      break;
    }
    default: {
      // A 16-bit value in the low half of the item, as on every little-endian Windows.
      const TW_ONEVALUE one{view.itemType, msg == MSG_GETDEFAULT ? view.defaultValue : view.current};
      std::memcpy(memory, &one, sizeof one);
      break;
    }
  }
  host_.UnlockMemory(handle);
  return handle;
}

TW_UINT16 VirtualSource::Capability(TW_IDENTITY*, TW_UINT16 msg, TW_MEMREF data) {
  auto& capability = *static_cast<TW_CAPABILITY*>(data);
  if (!settings_->Supports(capability.Cap)) return Fail(TWCC_CAPUNSUPPORTED);
  CapabilityView view = settings_->Describe(capability.Cap);
  if (msg == MSG_SET) {
    if (capability.ConType != TWON_ONEVALUE || capability.hContainer == nullptr ||
        host_.MemorySize(capability.hContainer) < sizeof(TW_ONEVALUE)) {
      return Fail(TWCC_BADVALUE);
    }
    const void* memory = host_.LockMemory(capability.hContainer);
    if (memory == nullptr) return Fail(TWCC_BADVALUE);
    TW_ONEVALUE one;
    std::memcpy(&one, memory, sizeof one);
    host_.UnlockMemory(capability.hContainer);
    const TW_UINT16 refusal = settings_->Set(capability.Cap, one.ItemType, one.Item);
    return refusal == TWCC_SUCCESS ? TWRC_SUCCESS : Fail(refusal);
  }
  if (msg == MSG_QUERYSUPPORT) {
    TW_INT32 support = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
    if (view.settable) support |= TWQC_SET | TWQC_RESET;
    view = CapabilityView{};
    view.itemType = TWTY_INT32;
    view.current = static_cast<TW_UINT32>(support);
    msg = MSG_GETCURRENT;
  }
  if (msg == MSG_RESET) {
    if (!view.settable) return Fail(TWCC_CAPBADOPERATION);
    settings_->Reset(capability.Cap);
    view = settings_->Describe(capability.Cap);
  }
  const TW_HANDLE container = BuildContainer(view, msg);
  if (container == nullptr) return Fail(TWCC_LOWMEMORY);
  capability.ConType = AnswerConType(view, msg);
  capability.hContainer = container;
  return TWRC_SUCCESS;
}

void VirtualSource::Notify(TW_UINT16 notice) {
  notice_ = notice;
  host_.WakeApplication(parent_);
}

void VirtualSource::StartRun() {
  const int sheets = settings_->FeederEnabled() ? config_.pages : std::min(config_.pages, 1);
  int images = sheets * (settings_->DuplexEnabled() ? 2 : 1);
  if (settings_->XferCount() > 0) images = std::min<int>(images, settings_->XferCount());
  if (config_.closeRequest || images == 0) {
    Notify(MSG_CLOSEDSREQ);
    return;
  }
  imagesLeft_ = images;
  pageNumber_ = 1;
  rowsSent_ = 0;
  emptySent_ = 0;
  pageEnded_ = false;
  Notify(MSG_XFERREADY);
}

void VirtualSource::ScanPressed() {
  if (state_ == 5 && notice_ == MSG_NULL) StartRun();
}

void VirtualSource::CancelPressed() {
  // Once pages are offered the application owns the run until it ends it.
  if (state_ == 5) Notify(MSG_CLOSEDSREQ);
}

TW_UINT16 VirtualSource::UserInterface(TW_IDENTITY*, TW_UINT16 msg, TW_MEMREF data) {
  if (msg == MSG_DISABLEDS) {
    host_.CloseDialog();
    notice_ = MSG_NULL;
    state_ = 4;
    return TWRC_SUCCESS;
  }
  const auto& ui = *static_cast<const TW_USERINTERFACE*>(data);
  parent_ = ui.hParent;
  // Enabled either way; the check-status only says that it was not quite as asked.
  const TW_UINT16 enabled = config_.checkStatusOnEnable ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
  if (ui.ShowUI) {
    if (!host_.OpenDialog(parent_, settings_->Summary(config_.pages))) return Fail(TWCC_LOWMEMORY);
    state_ = 5;
    return enabled;
  }
  state_ = 5;
  StartRun();
  return enabled;
}

TW_UINT16 VirtualSource::Event(TW_IDENTITY*, TW_UINT16, TW_MEMREF data) {
  auto& event = *static_cast<TW_EVENT*>(data);
  event.TWMessage = MSG_NULL;
  if (host_.IsWakeUp(event.pEvent)) {
    if (notice_ == MSG_XFERREADY) {
      state_ = 6;
      rowsSent_ = 0;
      emptySent_ = 0;
      pageEnded_ = false;
    }
    event.TWMessage = notice_;
    notice_ = MSG_NULL;
    return TWRC_DSEVENT;
  }
  return host_.HandleDialogEvent(event.pEvent) ? TWRC_DSEVENT : TWRC_NOTDSEVENT;
}

TW_UINT16 VirtualSource::PendingTransfers(TW_IDENTITY*, TW_UINT16 msg, TW_MEMREF data) {
  auto& pending = *static_cast<TW_PENDINGXFERS*>(data);
  if (msg == MSG_ENDXFER && pageNumber_ == config_.failEndTransfer) {
    // As a source that lost track mid-feed: its transfers stay pending until reset.
    state_ = 6;
    return Fail(TWCC_OPERATIONERROR);
  }
  if (msg == MSG_ENDXFER) {
    --imagesLeft_;
    ++pageNumber_;
    rowsSent_ = 0;
    emptySent_ = 0;
    pageEnded_ = false;
  } else if (msg == MSG_RESET) {
    imagesLeft_ = 0;
  }
  if (msg != MSG_GET) state_ = imagesLeft_ > 0 ? 6 : 5;
  pending.Count = static_cast<TW_UINT16>(state_ >= 6 ? imagesLeft_ : 0);
  pending.Reserved = 0;
  return TWRC_SUCCESS;
}

std::uint64_t VirtualSource::BytesPerRow(const PageFormat& page) const {
  const std::uint64_t packed = PackedRowBytes(page);
  return config_.padRows ? (packed + 3) / 4 * 4 : packed;
}

TW_UINT32 VirtualSource::MinimumBuffer(std::uint64_t rowBytes) const {
  const std::uint64_t least = std::max<std::uint64_t>(rowBytes, config_.minBuffer);
  return static_cast<TW_UINT32>(std::min<std::uint64_t>(least, std::numeric_limits<TW_UINT32>::max()));
}

TW_UINT16 VirtualSource::SetupMemoryTransfer(TW_IDENTITY*, TW_UINT16, TW_MEMREF data) {
  auto& setup = *static_cast<TW_SETUPMEMXFER*>(data);
  const std::uint64_t row = BytesPerRow(settings_->Page(pageNumber_));
  setup.MinBufSize = MinimumBuffer(row);
  setup.MaxBufSize = TWON_DONTCARE32;
  setup.Preferred = config_.preferredBuffer;
  return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::ImageInfo(TW_IDENTITY*, TW_UINT16, TW_MEMREF data) {
  const PageFormat page = settings_->Page(pageNumber_);
  TW_IMAGEINFO info{};
  info.XResolution = settings_->XResolution();
  info.YResolution = settings_->YResolution();
  info.ImageWidth = page.width;
  info.ImageLength = config_.unknownLength ? -1 : page.length;
  info.SamplesPerPixel = page.pixelType == TWPT_RGB ? 3 : 1;
  for (int i = 0; i < info.SamplesPerPixel; ++i) {
    info.BitsPerSample[i] = static_cast<TW_INT16>(page.pixelType == TWPT_RGB ? 8 : page.bitDepth);
  }
  info.BitsPerPixel = static_cast<TW_INT16>(page.bitDepth);
  info.Planar = 0;
  info.PixelType = static_cast<TW_INT16>(page.pixelType);
  info.Compression = TWCP_NONE;
  std::memcpy(data, &info, sizeof info);
  return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::ImageLayout(TW_IDENTITY*, TW_UINT16 msg, TW_MEMREF data) {
  auto& layout = *static_cast<TW_IMAGELAYOUT*>(data);
  if (msg == MSG_SET) {
    bool adjusted = false;
    const TW_UINT16 refusal = settings_->SetFrame(layout.Frame, adjusted);
    if (refusal != TWCC_SUCCESS) return Fail(refusal);
    return adjusted ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
  }
  if (msg == MSG_RESET) settings_->ResetFrame();
  layout.Frame = msg == MSG_GETDEFAULT ? settings_->DefaultFrame() : settings_->Frame();
  layout.DocumentNumber = 1;
  layout.PageNumber = static_cast<TW_UINT32>(pageNumber_);
  layout.FrameNumber = 1;
  return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::Palette(TW_IDENTITY*, TW_UINT16, TW_MEMREF data) {
  auto& palette = *static_cast<TW_PALETTE8*>(data);
  palette = TW_PALETTE8{};
  if (settings_->Page(pageNumber_).pixelType == TWPT_PALETTE) {
    palette.NumColors = kPatternColours;
    palette.PaletteType = TWPA_RGB;
    for (int i = 0; i < kPatternColours; ++i) {
      palette.Colors[i] = {static_cast<TW_UINT8>(i), kPatternPalette[i].r, kPatternPalette[i].g,
                           kPatternPalette[i].b};
    }
    return TWRC_SUCCESS;
  }
  palette.NumColors = 256;
  palette.PaletteType = TWPA_GRAY;
  for (int i = 0; i < 256; ++i) {
    const auto level = static_cast<TW_UINT8>(i);
    palette.Colors[i] = {level, level, level, level};
  }
  return TWRC_SUCCESS;
}

std::optional<TW_UINT16> VirtualSource::ScriptedEnding() {
  if (pageNumber_ == config_.cancelPage) return TWRC_CANCEL;
  if (pageNumber_ == config_.failPage) return TWRC_FAILURE;
  return std::nullopt;
}

TW_UINT16 VirtualSource::MemoryTransfer(TW_IDENTITY*, TW_UINT16, TW_MEMREF data) {
  if (config_.strictMechanism && settings_->XferMech() != TWSX_MEMORY) return Fail(TWCC_SEQERROR);
  if (state_ == 6) {
    if (const auto ending = ScriptedEnding()) {
      if (*ending == TWRC_FAILURE) return Fail(TWCC_OPERATIONERROR);
      state_ = 7;
      pageEnded_ = true;
      return TWRC_CANCEL;
    }
  }
  if (pageEnded_) return Fail(TWCC_SEQERROR);
  auto& transfer = *static_cast<TW_IMAGEMEMXFER*>(data);
  const PageFormat page = settings_->Page(pageNumber_);
  const std::uint64_t rowBytes = BytesPerRow(page);
  if (rowBytes == 0 || page.length <= 0 || rowBytes > std::numeric_limits<TW_UINT32>::max()) {
    return Fail(TWCC_OPERATIONERROR);
  }
  const TW_MEMORY& memory = transfer.Memory;
  const bool byHandle = (memory.Flags & TWMF_HANDLE) != 0;
  if (memory.TheMem == nullptr || !(byHandle || (memory.Flags & TWMF_POINTER)) || memory.Length < MinimumBuffer(rowBytes) ||
      (byHandle && host_.MemorySize(memory.TheMem) < memory.Length)) {
    return Fail(TWCC_BADVALUE);
  }
  if (emptySent_ < config_.emptyStrips) {
    ++emptySent_;
    transfer.Compression = TWCP_NONE;
    transfer.BytesPerRow = static_cast<TW_UINT32>(rowBytes);
    transfer.Columns = static_cast<TW_UINT32>(page.width);
    transfer.Rows = 0;
    transfer.XOffset = 0;
    transfer.YOffset = static_cast<TW_UINT32>(rowsSent_);
    transfer.BytesWritten = 0;
    state_ = 7;
    return TWRC_SUCCESS;
  }
  auto* target = static_cast<std::uint8_t*>(byHandle ? host_.LockMemory(memory.TheMem) : memory.TheMem);
  if (target == nullptr) return Fail(TWCC_BADVALUE);

  std::int64_t rows = std::min<std::int64_t>(memory.Length / rowBytes, page.length - rowsSent_);
  if (config_.stripRows > 0) rows = std::min<std::int64_t>(rows, config_.stripRows);
  const std::uint64_t packed = PackedRowBytes(page);
  for (std::int64_t i = 0; i < rows; ++i) {
    std::uint8_t* row = target + i * rowBytes;
    WriteRow(page, static_cast<std::int32_t>(rowsSent_ + i), row);
    std::memset(row + packed, 0, rowBytes - packed);
  }
  if (byHandle) host_.UnlockMemory(memory.TheMem);

  transfer.Compression = TWCP_NONE;
  transfer.BytesPerRow = static_cast<TW_UINT32>(rowBytes);
  transfer.Columns = static_cast<TW_UINT32>(page.width);
  transfer.Rows = static_cast<TW_UINT32>(rows);
  transfer.XOffset = 0;
  transfer.YOffset = static_cast<TW_UINT32>(rowsSent_);
  transfer.BytesWritten = static_cast<TW_UINT32>(rows * rowBytes);
  rowsSent_ += static_cast<std::int32_t>(rows);
  state_ = 7;
  if (rowsSent_ < page.length) return TWRC_SUCCESS;
  pageEnded_ = true;
  return TWRC_XFERDONE;
}

TW_UINT16 VirtualSource::NativeTransfer(TW_IDENTITY*, TW_UINT16, TW_MEMREF data) {
  if (config_.strictMechanism && settings_->XferMech() != TWSX_NATIVE) return Fail(TWCC_SEQERROR);
  if (const auto ending = ScriptedEnding()) {
    if (*ending == TWRC_FAILURE) return Fail(TWCC_OPERATIONERROR);
    state_ = 7;
    pageEnded_ = true;
    return TWRC_CANCEL;
  }
  const PageFormat page = settings_->Page(pageNumber_);
  const std::uint64_t packed = PackedRowBytes(page);
  if (packed == 0 || page.length <= 0) return Fail(TWCC_OPERATIONERROR);
  // A DIB: header, colour table, rows padded to 4 bytes from the bottom up, blue first.
  const std::uint64_t dibRow = (packed + 3) / 4 * 4;
  const std::uint32_t colours = page.pixelType == TWPT_RGB       ? 0
                                : page.pixelType == TWPT_PALETTE ? kPatternColours
                                                                 : 1u << page.bitDepth;
  const std::uint64_t tableEnd = 40 + 4 * colours;
  if (dibRow * static_cast<std::uint64_t>(page.length) > 0x7fffffffu - tableEnd) return Fail(TWCC_LOWMEMORY);
  const std::uint64_t total = tableEnd + dibRow * static_cast<std::uint64_t>(page.length);
  const TW_HANDLE handle = host_.AllocMemory(static_cast<std::size_t>(total));
  auto* dib = handle != nullptr ? static_cast<std::uint8_t*>(host_.LockMemory(handle)) : nullptr;
  if (dib == nullptr) {
    if (handle != nullptr) host_.FreeMemory(handle);
    return Fail(TWCC_LOWMEMORY);
  }
  Put<std::uint32_t>(dib, 40);
  Put<std::int32_t>(dib + 4, page.width);
  Put<std::int32_t>(dib + 8, page.length);
  Put<std::uint16_t>(dib + 12, 1);
  Put<std::uint16_t>(dib + 14, static_cast<std::uint16_t>(page.bitDepth));
  Put<std::uint32_t>(dib + 20, static_cast<std::uint32_t>(dibRow * static_cast<std::uint64_t>(page.length)));
  const auto perMetre = [](double dpi) { return static_cast<std::int32_t>(dpi * 100 / 2.54); };
  Put<std::int32_t>(dib + 24, perMetre(settings_->XDpi()));
  Put<std::int32_t>(dib + 28, perMetre(settings_->YDpi()));
  Put<std::uint32_t>(dib + 32, colours);
  std::uint8_t* table = dib + 40;
  for (std::uint32_t i = 0; i < colours; ++i) {
    Rgb colour;
    if (page.pixelType == TWPT_PALETTE) {
      colour = kPatternPalette[i];
    } else {
      auto level = static_cast<std::uint8_t>(i * 255 / (colours - 1));
      if (page.flavor == TWPF_VANILLA) level = static_cast<std::uint8_t>(255 - level);
      colour = {level, level, level};
    }
    table[4 * i] = colour.b;
    table[4 * i + 1] = colour.g;
    table[4 * i + 2] = colour.r;
  }
  std::uint8_t* pixels = dib + tableEnd;
  for (std::int32_t y = 0; y < page.length; ++y) {
    std::uint8_t* row = pixels + static_cast<std::uint64_t>(page.length - 1 - y) * dibRow;
    WriteRow(page, y, row);
    if (page.pixelType == TWPT_RGB) {
      for (std::int32_t x = 0; x < page.width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
    }
  }
  host_.UnlockMemory(handle);
  std::memcpy(data, &handle, sizeof handle);
  state_ = 7;
  pageEnded_ = true;
  return TWRC_XFERDONE;
}

}  // namespace kamolt::scanner
