#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "scan/twain_capabilities.h"

namespace kamolt {
namespace {

// The source's answer, or nullopt when no container could be had.
std::optional<TW_UINT16> SendOneValue(TwainSession& session, TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value) {
  TwainPlatform& platform = session.Platform();
  const TW_HANDLE container = platform.AllocMemory(sizeof(TW_ONEVALUE));
  if (container == nullptr) return std::nullopt;
  auto* one = static_cast<TW_ONEVALUE*>(platform.LockMemory(container));
  if (one == nullptr) {
    platform.FreeMemory(container);
    return std::nullopt;
  }
  one->ItemType = itemType;
  one->Item = value;
  platform.UnlockMemory(container);
  TW_CAPABILITY capability{cap, TWON_ONEVALUE, container};
  const TW_UINT16 returnCode = session.CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
  platform.FreeMemory(container);
  return returnCode;
}

// A fixed-point value as a one-value item holds it: Whole low, Frac high.
TW_UINT32 Fix32Item(TW_FIX32 fix) {
  return static_cast<TW_UINT16>(fix.Whole) | static_cast<TW_UINT32>(fix.Frac) << 16;
}

// The frame's width in pixels to the nearest whole 32-pixel group, a remainder of exactly
// 16 rounding up.
std::int64_t FrameWidthIn32PixelGroups(double pixels) {
  // Nothing asked for stays nothing: the source then keeps a frame of its own.
  if (!(pixels > 0)) return 0;
  // The whole part by the fixed-point type's rounding, but wider than its 16 bits: a
  // panorama frame must not shrink to 32,767 pixels. Far beyond any scanner is bound
  // only so that the arithmetic stays exact.
  constexpr double kBound = 1 << 30;
  const auto whole = static_cast<std::int64_t>(std::min(pixels, kBound) * 65536 + 0.5) >> 16;
  const std::int64_t rounded = (whole + 16) / 32 * 32;
  // A narrow strip keeps one group rather than becoming a frame of no width.
  return std::max<std::int64_t>(rounded, 32);
}

}  // namespace

TW_FIX32 ToFix32(double x) {
  const double scaled = x * 65536.0 + 0.5;
  std::int32_t v = 0;
  if (std::isnan(scaled)) v = 0;
  else if (scaled >= 2147483647.0) v = std::numeric_limits<std::int32_t>::max();
  else if (scaled <= -2147483648.0) v = std::numeric_limits<std::int32_t>::min();
  else v = static_cast<std::int32_t>(scaled);
  return TW_FIX32{static_cast<TW_INT16>(v >> 16), static_cast<TW_UINT16>(v & 0xffff)};
}

float FromFix32(TW_FIX32 fix) { return static_cast<float>(fix.Whole + fix.Frac / 65536.0); }


bool SetCapOneValue(TwainSession& session, TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value) {
  return SendOneValue(session, cap, itemType, value) == TWRC_SUCCESS;
}

TW_UINT16 NegotiateScanCapabilities(TwainSession& session, TwainWindow window, ScanSettings& settings) {
  TwainDiagnostics& diagnostics = session.Diagnostics();
  // The image comes by memory transfer, so that is the mechanism to ask for: a strict
  // source refuses a memory transfer under any other.
  const std::optional<TW_UINT16> answer = SendOneValue(session, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY);
  const TW_UINT16 result = answer.value_or(TWRC_FAILURE);
  if (!answer) {
    if (diagnostics.GetDiagnosticLevel() >= 1) {
      diagnostics.ShowOperationStatus(window, 0, result, "Memory Allocation Failed", "MSG_SET of ICAP_XFERMECH");
    }
  } else if (result != TWRC_SUCCESS && diagnostics.GetDiagnosticLevel() >= 1) {
    diagnostics.ShowOperationStatus(window, 1, result, "", "MSG_SET of ICAP_XFERMECH");
  }
  ApplyScanSettings(session, settings);
  return result;
}

bool ApplyScanSettings(TwainSession& session, ScanSettings& settings) {
  SetCapOneValue(session, CAP_DUPLEXENABLED, TWTY_BOOL, settings.duplex ? 1 : 0);
  SetCapOneValue(session, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY);
  SetCapOneValue(session, ICAP_LIGHTPATH, TWTY_UINT16, settings.transmissive ? TWLP_TRANSMISSIVE : TWLP_REFLECTIVE);

  static constexpr TW_UINT16 kPixelTypes[] = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
  static constexpr TW_UINT32 kBitDepths[] = {1, 8, 24};
  if (settings.colorMode < 0 || settings.colorMode > 2) return false;
  SetCapOneValue(session, ICAP_PIXELTYPE, TWTY_UINT16, kPixelTypes[settings.colorMode]);
  SetCapOneValue(session, ICAP_BITDEPTH, TWTY_UINT16, kBitDepths[settings.colorMode]);
  SetCapOneValue(session, ICAP_UNITS, TWTY_UINT16, TWUN_INCHES);

  const double pixels = static_cast<double>(FrameWidthIn32PixelGroups(settings.resolution * settings.width));
  settings.width = (pixels + 0.001) / settings.resolution;

  TW_IMAGELAYOUT layout{};
  layout.Frame.Left = ToFix32(0);
  layout.Frame.Top = ToFix32(0);
  layout.Frame.Right = ToFix32(settings.width);
  layout.Frame.Bottom = ToFix32(settings.height);
  session.CallSource(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);

  const TW_UINT32 resolution = Fix32Item(ToFix32(settings.resolution));
  SetCapOneValue(session, ICAP_XRESOLUTION, TWTY_FIX32, resolution);
  return SetCapOneValue(session, ICAP_YRESOLUTION, TWTY_FIX32, resolution);
}

}  // namespace kamolt
