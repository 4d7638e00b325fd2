#include "tools/virtual_scanner/scanner_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kamolt::scanner {
namespace {

// Every capability the scanner knows, in the order CAP_SUPPORTEDCAPS lists them.
constexpr TW_UINT16 kCapabilities[] = {
    CAP_XFERCOUNT,      CAP_SUPPORTEDCAPS,   CAP_FEEDERENABLED, CAP_INDICATORS,   CAP_UICONTROLLABLE,
    CAP_DUPLEX,         CAP_DUPLEXENABLED,   ICAP_COMPRESSION,  ICAP_PIXELTYPE,   ICAP_UNITS,
    ICAP_XFERMECH,      ICAP_PHYSICALWIDTH,  ICAP_PHYSICALHEIGHT, ICAP_XRESOLUTION, ICAP_YRESOLUTION,
    ICAP_LIGHTPATH,     ICAP_PIXELFLAVOR,    ICAP_BITDEPTH,
};

// A value set through a 16-bit item type lives in the item's low half.
bool IsSixteenBit(TW_UINT16 itemType) {
  return itemType == TWTY_INT16 || itemType == TWTY_UINT16 || itemType == TWTY_BOOL;
}

CapabilityView Enumeration(std::vector<TW_UINT32> items, TW_UINT32 current, TW_UINT32 defaultValue,
                           TW_UINT16 itemType = TWTY_UINT16) {
  CapabilityView view;
  view.itemType = itemType;
  view.conType = TWON_ENUMERATION;
  view.items = std::move(items);
  view.current = current;
  view.defaultValue = defaultValue;
  view.settable = true;
  return view;
}

CapabilityView Switch(bool current, bool defaultValue) {
  return Enumeration({0, 1}, current, defaultValue, TWTY_BOOL);
}

CapabilityView Fixed(TW_UINT16 itemType, TW_UINT32 value) {
  CapabilityView view;
  view.itemType = itemType;
  view.current = view.defaultValue = value;
  return view;
}

std::vector<TW_UINT32> Depths(TW_UINT16 pixelType) {
  std::vector<TW_UINT32> depths;
  for (int depth : {1, 4, 8, 24}) {
    if (SupportedDepth(pixelType, depth)) depths.push_back(static_cast<TW_UINT32>(depth));
  }
  return depths;
}

const char* PixelTypeName(TW_UINT16 pixelType) {
  switch (pixelType) {
    case TWPT_BW: return "Black/white";
    case TWPT_GRAY: return "Grey";
    case TWPT_RGB: return "Colour";
    default: return "Palette";
  }
}

}  // namespace

TW_FIX32 ToFix(double value) {
  const auto scaled = static_cast<std::int64_t>(std::floor(value * 65536.0 + 0.5));
  TW_FIX32 fix;
  fix.Whole = static_cast<TW_INT16>(scaled >> 16);
  fix.Frac = static_cast<TW_UINT16>(scaled & 0xffff);
  return fix;
}

double FromFix(TW_FIX32 value) { return value.Whole + value.Frac / 65536.0; }

TW_UINT32 FixItem(TW_FIX32 value) {
  TW_UINT32 item;
  std::memcpy(&item, &value, sizeof item);
  return item;
}

TW_FIX32 ItemFix(TW_UINT32 item) {
  TW_FIX32 value;
  std::memcpy(&value, &item, sizeof value);
  return value;
}

ScannerSettings::ScannerSettings(const ScannerConfig& config) : config_(config), flavor_(config.pixelFlavor) {
  if (config.onlyPixelType) {
    pixelType_ = *config.onlyPixelType;
    bitDepth_ = DefaultDepth(pixelType_);
  }
}

bool ScannerSettings::Supports(TW_UINT16 cap) const {
  const auto& refused = config_.unsupportedCaps;
  return std::find(std::begin(kCapabilities), std::end(kCapabilities), cap) != std::end(kCapabilities) &&
         std::find(refused.begin(), refused.end(), cap) == refused.end();
}

std::vector<TW_UINT16> ScannerSettings::SupportedCaps() const {
  std::vector<TW_UINT16> caps;
  for (TW_UINT16 cap : kCapabilities) {
    if (Supports(cap)) caps.push_back(cap);
  }
  return caps;
}

double ScannerSettings::UnitsPerInch() const {
  switch (units_) {
    case TWUN_CENTIMETERS: return 2.54;
    case TWUN_PICAS: return 6;
    case TWUN_POINTS: return 72;
    case TWUN_TWIPS: return 1440;
    default: return 1;
  }
}

CapabilityView ScannerSettings::Describe(TW_UINT16 cap) const {
  switch (cap) {
    case CAP_XFERCOUNT: {
      CapabilityView view = Fixed(TWTY_INT16, static_cast<TW_UINT16>(xferCount_));
      view.defaultValue = static_cast<TW_UINT16>(-1);
      view.settable = true;
      return view;
    }
    case CAP_SUPPORTEDCAPS: {
      CapabilityView view;
      view.conType = TWON_ARRAY;
      for (TW_UINT16 supported : SupportedCaps()) view.items.push_back(supported);
      return view;
    }
    case CAP_FEEDERENABLED: return Switch(feeder_, true);
    case CAP_INDICATORS: return Switch(indicators_, true);
    case CAP_UICONTROLLABLE: return Fixed(TWTY_BOOL, 1);
    case CAP_DUPLEX: return Fixed(TWTY_UINT16, TWDX_1PASSDUPLEX);
    case CAP_DUPLEXENABLED: return Switch(duplex_, false);
    case ICAP_COMPRESSION: return Enumeration({TWCP_NONE}, TWCP_NONE, TWCP_NONE);
    case ICAP_PIXELTYPE:
      // A source that scans in one type only offers that one, and refuses to be set to another.
      if (config_.onlyPixelType) return Enumeration({pixelType_}, pixelType_, pixelType_);
      return Enumeration({TWPT_BW, TWPT_GRAY, TWPT_RGB, TWPT_PALETTE}, pixelType_, TWPT_RGB);
    case ICAP_BITDEPTH:
      return Enumeration(Depths(pixelType_), static_cast<TW_UINT32>(bitDepth_),
                         static_cast<TW_UINT32>(DefaultDepth(pixelType_)));
    case ICAP_PIXELFLAVOR: return Enumeration({TWPF_CHOCOLATE, TWPF_VANILLA}, flavor_, config_.pixelFlavor);
    case ICAP_UNITS:
      return Enumeration({TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PICAS, TWUN_POINTS, TWUN_TWIPS}, units_,
                         TWUN_INCHES);
    case ICAP_XFERMECH: return Enumeration({TWSX_NATIVE, TWSX_MEMORY}, xferMech_, TWSX_NATIVE);
    case ICAP_LIGHTPATH: return Enumeration({TWLP_REFLECTIVE, TWLP_TRANSMISSIVE}, lightPath_, TWLP_REFLECTIVE);
    case ICAP_PHYSICALWIDTH: return Fixed(TWTY_FIX32, FixItem(ToFix(kBedWidthInches * UnitsPerInch())));
    case ICAP_PHYSICALHEIGHT: return Fixed(TWTY_FIX32, FixItem(ToFix(kBedHeightInches * UnitsPerInch())));
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION: {
      // Any resolution between the bounds is taken as it comes, so the step is the
      // smallest a TW_FIX32 can express.
      CapabilityView view;
      view.itemType = TWTY_FIX32;
      view.conType = TWON_RANGE;
      view.minValue = FixItem(ToFix(kMinDpi / UnitsPerInch()));
      view.maxValue = FixItem(ToFix(kMaxDpi / UnitsPerInch()));
      view.stepSize = FixItem(TW_FIX32{0, 1});
      view.defaultValue = FixItem(ToFix(kDefaultDpi / UnitsPerInch()));
      view.current = FixItem(cap == ICAP_XRESOLUTION ? XResolution() : YResolution());
      view.settable = true;
      return view;
    }
    default: return {};
  }
}

TW_UINT16 ScannerSettings::Set(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
  if (!Supports(cap)) return TWCC_CAPUNSUPPORTED;
  const CapabilityView view = Describe(cap);
  if (!view.settable) return TWCC_CAPBADOPERATION;
  if (itemType != view.itemType) return TWCC_BADVALUE;
  const TW_UINT32 value = IsSixteenBit(itemType) ? item & 0xffff : item;
  switch (view.conType) {
    case TWON_ENUMERATION:
      if (std::find(view.items.begin(), view.items.end(), value) == view.items.end()) return TWCC_BADVALUE;
      break;
    case TWON_RANGE: {
      const double dpi = FromFix(ItemFix(value)) * UnitsPerInch();
      // The bounds as the application read them went through TW_FIX32 in its unit.
      const double slack = UnitsPerInch() / 65536.0;
      if (!(dpi >= kMinDpi - slack && dpi <= kMaxDpi + slack)) return TWCC_BADVALUE;
      break;
    }
    default: break;
  }
  switch (cap) {
    case CAP_XFERCOUNT: {
      const auto count = static_cast<TW_INT16>(value);
      if (count != -1 && count < 1) return TWCC_BADVALUE;
      xferCount_ = count;
      break;
    }
    case CAP_FEEDERENABLED: feeder_ = value != 0; break;
    case CAP_INDICATORS: indicators_ = value != 0; break;
    case CAP_DUPLEXENABLED: duplex_ = value != 0; break;
    case ICAP_PIXELTYPE:
      pixelType_ = static_cast<TW_UINT16>(value);
      if (!SupportedDepth(pixelType_, bitDepth_)) bitDepth_ = DefaultDepth(pixelType_);
      break;
    case ICAP_BITDEPTH: bitDepth_ = static_cast<int>(value); break;
    case ICAP_PIXELFLAVOR: flavor_ = static_cast<TW_UINT16>(value); break;
    case ICAP_UNITS: units_ = static_cast<TW_UINT16>(value); break;
    case ICAP_XFERMECH: xferMech_ = static_cast<TW_UINT16>(value); break;
    case ICAP_LIGHTPATH: lightPath_ = static_cast<TW_UINT16>(value); break;
    case ICAP_XRESOLUTION: xDpi_ = std::clamp(FromFix(ItemFix(value)) * UnitsPerInch(), kMinDpi, kMaxDpi); break;
    case ICAP_YRESOLUTION: yDpi_ = std::clamp(FromFix(ItemFix(value)) * UnitsPerInch(), kMinDpi, kMaxDpi); break;
    default: break;  // ICAP_COMPRESSION has its one value already
  }
  return TWCC_SUCCESS;
}

void ScannerSettings::Reset(TW_UINT16 cap) {
  const CapabilityView view = Describe(cap);
  if (view.settable) Set(cap, view.itemType, view.defaultValue);
}

TW_FRAME ScannerSettings::ToUnits(const InchFrame& frame) const {
  const double scale = UnitsPerInch();
  return TW_FRAME{ToFix(frame.left * scale), ToFix(frame.top * scale), ToFix(frame.right * scale),
                  ToFix(frame.bottom * scale)};
}

TW_FRAME ScannerSettings::DefaultFrame() const { return ToUnits({0, 0, kBedWidthInches, kBedHeightInches}); }

TW_UINT16 ScannerSettings::SetFrame(const TW_FRAME& frame, bool& adjusted) {
  const double scale = UnitsPerInch();
  InchFrame inches{FromFix(frame.Left) / scale, FromFix(frame.Top) / scale, FromFix(frame.Right) / scale,
                   FromFix(frame.Bottom) / scale};
  adjusted = false;
  if (inches.left < 0 || inches.top < 0 || inches.left >= kBedWidthInches || inches.top >= kBedHeightInches ||
      inches.right <= inches.left || inches.bottom <= inches.top) {
    return TWCC_BADVALUE;
  }
  // What the application read back as the bed went through TW_FIX32: a frame that ends
  // within that rounding of the edge is on the bed.
  const double slack = 1.0 / 65536.0 / scale;
  if (inches.right > kBedWidthInches + slack) {
    inches.right = kBedWidthInches;
    adjusted = true;
  }
  if (inches.bottom > kBedHeightInches + slack) {
    inches.bottom = kBedHeightInches;
    adjusted = true;
  }
  frame_ = inches;
  return TWCC_SUCCESS;
}

void ScannerSettings::ResetFrame() { frame_ = {0, 0, kBedWidthInches, kBedHeightInches}; }

PageFormat ScannerSettings::Page(int pageNumber) const {
  PageFormat page;
  const auto pixels = [](double inches, double dpi) {
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::floor(inches * dpi + 0.5)));
  };
  page.width = config_.imageWidth.value_or(pixels(frame_.right - frame_.left, xDpi_));
  page.length = config_.imageLength.value_or(pixels(frame_.bottom - frame_.top, yDpi_));
  page.pixelType = pixelType_;
  page.bitDepth = bitDepth_;
  page.flavor = flavor_;
  page.pageNumber = pageNumber;
  return page;
}

std::string ScannerSettings::Summary(int pages) const {
  char text[256];
  std::snprintf(text, sizeof text, "Pages in the feeder: %d\r\n%s, %d bits, %.0f x %.0f dpi\r\nFrame: %.2f x %.2f in",
                pages, PixelTypeName(pixelType_), bitDepth_, xDpi_, yDpi_, frame_.right - frame_.left,
                frame_.bottom - frame_.top);
  return text;
}

}  // namespace kamolt::scanner
