#pragma once
// Telling the open source how to scan, the TWAIN fixed-point type, and the text dump of
// one capability that the diagnostics show.
#include <cstddef>
#include <string>

#include "base/scan_settings.h"
#include "base/twain_types.h"
#include "scan/twain_session.h"

namespace kamolt {

// x × 65536 rounded half up and cut toward zero; values beyond the type's range are held
// at its ends, and a value that is not a number gives 0.
TW_FIX32 ToFix32(double x);
float FromFix32(TW_FIX32 fix);

// Bytes of one item of the type in an item list.
std::size_t ItemTypeSize(TW_UINT16 itemType);
// item must hold ItemTypeSize(itemType) bytes; strings end at their terminator or there.
void FormatItemValue(std::string& out, TW_UINT16 itemType, const void* item);

extern const TwainName kItemTypeNames[13];
extern const TwainName kContainerTypeNames[5];
extern const TwainName kCapabilityNames[1];

// true when the source accepted the value.
bool SetCapOneValue(TwainSession& session, TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value);
// Sets the transfer mechanism, then the scan settings; the mechanism's return code decides
// whether the acquisition goes on.
TW_UINT16 NegotiateScanCapabilities(TwainSession& session, TwainWindow window, ScanSettings& settings);
// Duplex, mechanism, light path, then, for a known colour mode, pixel type, bit depth,
// units, frame (its width rounded to whole 32-pixel groups and written back) and
// resolution. Returns whether the last of them was accepted.
bool ApplyScanSettings(TwainSession& session, ScanSettings& settings);

// The current state of one capability in a box captioned "TW_CAPABILITY"; also returns
// the text shown.
std::string DumpCapability(TwainSession& session, TwainWindow owner, TW_UINT16 cap);

}  // namespace kamolt
