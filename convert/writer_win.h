#pragma once
// The writing side of the converter modules: one DIB to one picture file, through the
// format's module, as a Windows bitmap, or as PNG.
#include <windows.h>

#include <string>

#include "base/scan_settings.h"

namespace kamolt {

// Writes the DIB as settings.formatCode asks, to settings.fileName (asking the user for a
// name when it is empty), with the name advanced when alreadyWritten pictures of the same
// run came before. settings.fileName is rewritten with the name actually used. The DIB
// stays the caller's; 1-bit pictures are inverted in place when settings.pixelFlavor is
// set. Returns the module's result, or 1 when the bitmap or PNG file was written, and 0
// when nothing was written (no name, a refused DIB, a failed write).
INT32 ConvertDIBtoFile(HGLOBAL dib, ScanSettings& settings, int alreadyWritten);

// The save dialog with the single filter entry of the extension; the chosen name goes
// into fileName. false when the user cancelled.
bool AskTargetFile(char (&fileName)[kScanSettingsNameSize], const std::string& extension);

}  // namespace kamolt
