// Wine maps a COM port with no setting of its own onto /dev/ttyS<n-1>, and on the test
// machines /dev/ttyS0 is the console. A test that lets the program open a COM port runs only
// where the bench has pointed that port at a folder, which no program can open as a port.
#pragma once

#include <string>

namespace e2e {

// True when Wine's port setting for the port ("COM1") names an existing folder.
bool PortKeptOffAnyLine(const std::string& port);

}  // namespace e2e
