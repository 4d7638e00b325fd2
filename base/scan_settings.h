#pragma once
// The record that describes one picture to produce. The scan dialog, the scan module, the
// capability negotiation and the writer all read and write the same record, so its layout
// is fixed: the fields lie where a 32-bit Windows compiler puts them naturally (4-byte
// integers, 8-byte reals on 8-byte boundaries), which the asserts below hold us to.
#include <cstddef>
#include <cstdint>

namespace kamolt {

inline constexpr std::size_t kScanSettingsNameSize = 256;

struct ScanSettings {
  std::int32_t colorMode = 0;     // 0 black and white, 1 grey, 2 colour (scanning only)
  // 4 bytes of padding: the reals sit on 8-byte boundaries.
  alignas(8) double height = 0;   // frame height in inches (scanning only)
  double width = 0;               // frame width in inches; the capability negotiation rewrites it
  double resolution = 0;          // dots per inch (scanning only)
  std::int32_t formatCode = 0;    // output format: 0 automatic, 1001..1008 (writer)
  std::int32_t showSourceUI = 0;  // 0 or 1 (scanning only)
  std::int32_t selectSource = 0;  // 0 or 1 (scanning only)
  std::int32_t transmissive = 0;  // 0 or 1 (scanning only)
  std::int32_t pixelFlavor = 0;   // 0 or 1: invert 1-bit pictures before writing (writer)
  std::int32_t duplex = 0;        // 0 or 1 (scanning only)
  // Zero-terminated; on return the name actually written (writer).
  char fileName[kScanSettingsNameSize] = {};
  // Short path of the external converter, empty when it was not found (writer).
  char converterPath[kScanSettingsNameSize] = {};
};

// Offsets and sizes in bytes:
//   colorMode 0 (4), height 8 (8), width 16 (8), resolution 24 (8), formatCode 32 (4),
//   showSourceUI 36, selectSource 40, transmissive 44, pixelFlavor 48, duplex 52 (4 each),
//   fileName 56 (256), converterPath 312 (256); 568 bytes in all, aligned to 8.
static_assert(offsetof(ScanSettings, colorMode) == 0);
static_assert(offsetof(ScanSettings, height) == 8);
static_assert(offsetof(ScanSettings, width) == 16);
static_assert(offsetof(ScanSettings, resolution) == 24);
static_assert(offsetof(ScanSettings, formatCode) == 32);
static_assert(offsetof(ScanSettings, showSourceUI) == 36);
static_assert(offsetof(ScanSettings, selectSource) == 40);
static_assert(offsetof(ScanSettings, transmissive) == 44);
static_assert(offsetof(ScanSettings, pixelFlavor) == 48);
static_assert(offsetof(ScanSettings, duplex) == 52);
static_assert(offsetof(ScanSettings, fileName) == 56);
static_assert(offsetof(ScanSettings, converterPath) == 312);
static_assert(sizeof(ScanSettings) == 568);
static_assert(alignof(ScanSettings) == 8);
static_assert(sizeof(double) == 8);

}  // namespace kamolt
