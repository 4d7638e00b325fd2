#pragma once
// One scan from start to end: a hidden window of its own as the TWAIN parent and the
// target of the transfer messages, a message loop that offers every message to the source
// first, and every picture written the moment it arrives.
#include <functional>

#include "base/scan_settings.h"
#include "scan/scan_dialog_rules.h"

namespace kamolt {

inline constexpr int kScanClassNotRegistered = 100001;
inline constexpr int kScanWindowNotCreated = 100002;

// Told once, when the run is over, what it wrote and lost: at its normal end, or at once
// when the program or the session ends under it.
using ScanReport = std::function<void(const ScanTally&)>;

// The number of pictures written, or one of the codes above (the report is then not
// made). settings.fileName names the last picture written.
int RunScanModule(ScanSettings& settings, const ScanReport& report);

}  // namespace kamolt
