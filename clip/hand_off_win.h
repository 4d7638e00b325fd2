#pragma once
// Tells the host application which pictures were produced.
#include <cstdint>
#include <string>

namespace kamolt {

// Writes "SendToZelvo.TXT" beside the program, and for a series (count above 1) puts the
// record into the shared section and sends the registered message to the host's window.
// Never shows anything and never fails the caller: whatever cannot be done is skipped.
void NotifyHost(const std::string& fileName, std::int32_t count, const std::string& marker);

}  // namespace kamolt
