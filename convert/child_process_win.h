#pragma once
// Other programs that Kamolt starts and waits for (the MP3 encoder, the external
// converter): hidden, and never waited for without end.
#include <windows.h>

#include <cstdint>
#include <string>

namespace kamolt {

enum class ChildEnd { NotStarted, Ended, TimedOut };

struct ChildOutcome {
  ChildEnd end = ChildEnd::NotStarted;
  DWORD exitCode = 1;  // meaningful when it Ended
};

// Starts the command line hidden and waits up to limitMs for it to end. When the limit
// passes, the program and every program it started in turn are ended, and waited for, so
// that none of them still holds a file the caller goes on to move or delete.
ChildOutcome RunHiddenAndWait(const std::string& commandLine, DWORD limitMs);

// How long a program may work on a file of `bytes`: a base for starting up, and a second
// for each `bytesPerSecond` of input, so that a long recording or a large page is given
// the time it needs while a hung program on a small one is noticed soon.
DWORD WorkLimitMs(std::uint64_t bytes, DWORD baseMs, std::uint64_t bytesPerSecond);

}  // namespace kamolt
