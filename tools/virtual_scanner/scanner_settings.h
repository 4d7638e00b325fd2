#pragma once
// What an application can negotiate with the virtual scanner: its capabilities, each
// with the container MSG_GET answers in, and the scan frame. Lengths are kept in inches
// and resolutions in dots per inch, and shown in whatever unit ICAP_UNITS holds.
#include <cstdint>
#include <string>
#include <vector>

#include "base/twain_types.h"
#include "tools/virtual_scanner/page_pattern.h"
#include "tools/virtual_scanner/scanner_config.h"

namespace kamolt::scanner {

// One capability as it stands: the container MSG_GET gives, its values, and whether an
// application may change it. Items hold 16-bit values in their low half and a TW_FIX32
// laid out as in memory.
struct CapabilityView {
  TW_UINT16 itemType = TWTY_UINT16;
  TW_UINT16 conType = TWON_ONEVALUE;
  std::vector<TW_UINT32> items;  // enumeration and array
  TW_UINT32 current = 0;
  TW_UINT32 defaultValue = 0;
  TW_UINT32 minValue = 0, maxValue = 0, stepSize = 0;  // range
  bool settable = false;
};

// The bed the frame must lie on.
inline constexpr double kBedWidthInches = 8.75;
inline constexpr double kBedHeightInches = 14.0;
inline constexpr double kMinDpi = 25;
inline constexpr double kMaxDpi = 1200;
inline constexpr double kDefaultDpi = 150;

TW_FIX32 ToFix(double value);
double FromFix(TW_FIX32 value);
TW_UINT32 FixItem(TW_FIX32 value);
TW_FIX32 ItemFix(TW_UINT32 item);

struct InchFrame {
  double left, top, right, bottom;
};

class ScannerSettings {
 public:
  explicit ScannerSettings(const ScannerConfig& config);

  // Known to the scanner and not refused by its script.
  bool Supports(TW_UINT16 cap) const;
  std::vector<TW_UINT16> SupportedCaps() const;
  CapabilityView Describe(TW_UINT16 cap) const;
  // TWCC_SUCCESS or the condition code of the refusal; the value is taken only then.
  TW_UINT16 Set(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item);
  void Reset(TW_UINT16 cap);

  TW_FRAME Frame() const { return ToUnits(frame_); }
  TW_FRAME DefaultFrame() const;
  // TWCC_SUCCESS; TWCC_BADVALUE for a frame that is empty or starts off the bed. A frame
  // reaching past the bed is cut to it and adjusted is set.
  TW_UINT16 SetFrame(const TW_FRAME& frame, bool& adjusted);
  void ResetFrame();

  // The page a run delivers; its width and length follow from frame and resolution
  // unless the script says otherwise.
  PageFormat Page(int pageNumber) const;
  TW_FIX32 XResolution() const { return ToFix(xDpi_ / UnitsPerInch()); }
  TW_FIX32 YResolution() const { return ToFix(yDpi_ / UnitsPerInch()); }
  double XDpi() const { return xDpi_; }
  double YDpi() const { return yDpi_; }

  TW_UINT16 XferMech() const { return xferMech_; }
  TW_INT16 XferCount() const { return xferCount_; }
  bool FeederEnabled() const { return feeder_; }
  bool DuplexEnabled() const { return duplex_; }
  std::string Summary(int pages) const;

 private:
  double UnitsPerInch() const;
  TW_FRAME ToUnits(const InchFrame& frame) const;

  ScannerConfig config_;
  TW_INT16 xferCount_ = -1;
  bool feeder_ = true;
  bool duplex_ = false;
  bool indicators_ = true;
  TW_UINT16 xferMech_ = TWSX_NATIVE;
  TW_UINT16 pixelType_ = TWPT_RGB;
  int bitDepth_ = 24;
  TW_UINT16 flavor_;
  TW_UINT16 units_ = TWUN_INCHES;
  TW_UINT16 lightPath_ = TWLP_REFLECTIVE;
  double xDpi_ = kDefaultDpi;
  double yDpi_ = kDefaultDpi;
  InchFrame frame_{0, 0, kBedWidthInches, kBedHeightInches};
};

}  // namespace kamolt::scanner
