#pragma once
// The virtual scanner's script: a small INI text beside the source, read each time an
// application opens it. Every key is optional; anything unreadable keeps its default.
//
//   [Scanner]
//   Pages=3              sheets in the feeder (0: the source asks to be closed instead)
//   PreferredBuffer=65536  the memory-transfer size it prefers (0 is reported as 0)
//   StripRows=0          at most this many rows per strip (0: as many as the buffer holds)
//   PadRows=0            1: rows padded to 4 bytes in memory transfers
//   CancelPage=0         this page (counted from 1 in a run) is cancelled by the source
//   FailPage=0           this page fails with an operation error
//   Unsupported=         capability or data names it refuses, e.g. ICAP_PIXELFLAVOR,DAT_PALETTE8
//   ImageWidth=          reports and delivers this width instead of the frame's
//   ImageLength=         the same for the length (any value, absurd ones included)
//   CloseRequest=0       1: asks to be closed instead of offering pages
//   StrictMechanism=1    0: a transfer by another mechanism than ICAP_XFERMECH is taken too
//   PixelFlavor=0        the flavour it starts with (1: zero is white)
//   PixelType=           the one pixel type it scans in (BW, GRAY, RGB or PALETTE); empty: any
//   UnknownLength=0      1: reports the length of a memory transfer as -1 (known at the page's end)
//   MinBuffer=0          the least buffer it takes, when above the row length (asked and enforced)
//   CheckStatusOnEnable=0  1: enabling answers TWRC_CHECKSTATUS, as a source that showed its dialog anyway
//   EmptyStrips=0        strips of no data it answers before the rows of each page
//   FailEndTransfer=0    ending the transfer of this page fails, leaving the transfers pending
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/twain_types.h"

namespace kamolt::scanner {

struct ScannerConfig {
  int pages = 1;
  TW_UINT32 preferredBuffer = 65536;
  int stripRows = 0;
  bool padRows = false;
  int cancelPage = 0;
  int failPage = 0;
  std::vector<TW_UINT16> unsupportedCaps;
  std::vector<TW_UINT16> unsupportedData;
  std::optional<std::int32_t> imageWidth;
  std::optional<std::int32_t> imageLength;
  bool closeRequest = false;
  bool strictMechanism = true;
  TW_UINT16 pixelFlavor = TWPF_CHOCOLATE;
  std::optional<TW_UINT16> onlyPixelType;
  bool unknownLength = false;
  TW_UINT32 minBuffer = 0;
  bool checkStatusOnEnable = false;
  int emptyStrips = 0;
  int failEndTransfer = 0;
};

ScannerConfig ParseScannerConfig(std::string_view text);

// The capability or data argument type of a name such as "ICAP_UNITS" or "DAT_PALETTE8";
// isData tells which of the two it is. nullopt for a name the scanner does not know.
struct NamedCode {
  TW_UINT16 code;
  bool isData;
};
std::optional<NamedCode> LookupName(std::string_view name);

}  // namespace kamolt::scanner
