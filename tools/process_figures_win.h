#pragma once
// What a long session must keep flat, read for any process this one may open: the handles
// it holds, its GDI objects, the private memory it has committed and the thread-local
// slots taken. A figure that cannot be read is -1.
#include <windows.h>

namespace kamolt::soak {

struct ProcessFigures {
  long long tlsSlotsInUse = -1;
  long long handles = -1;
  long long gdiObjects = -1;
  long long committedBytes = -1;
};

// The process handle needs PROCESS_QUERY_INFORMATION, PROCESS_VM_READ and PROCESS_DUP_HANDLE,
// and the process must have this program's pointer size (its slot table is read where the
// platform keeps it).
ProcessFigures MeasureProcess(HANDLE process);

// The lowest slot TlsAlloc would give this process now.
long long NextFreeTlsSlot();

}  // namespace kamolt::soak
