#pragma once
// One scan from start to end: a hidden window of its own as the TWAIN parent and the
// target of the transfer messages, a message loop that offers every message to the source
// first, and every picture written the moment it arrives.
#include "base/scan_settings.h"

namespace kamolt {

inline constexpr int kScanClassNotRegistered = 100001;
inline constexpr int kScanWindowNotCreated = 100002;

// The number of pictures handed to the writer, or one of the codes above. settings.fileName
// names the last picture written.
int RunScanModule(ScanSettings& settings);

}  // namespace kamolt
