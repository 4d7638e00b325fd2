// Every module's entry point for loading and unloading, and what the statically linked C++
// runtime would otherwise keep after each unload.
//
// At load the runtime takes a block of its own for exceptions thrown when memory runs out,
// which it never frees by itself: it is given back when the module is unloaded.
//
// The runtime keeps each thread's exceptions in hand in emulated thread-local storage, and
// the first exception of a load takes a slot and a few handles of the thread runtime for
// that, never given back. The record is kept here in a slot of the platform's own instead,
// taken at load and given back at unload. These two functions are the runtime's interface
// for that record; defining them keeps its own version out of the module.
#include <windows.h>

namespace __gnu_cxx {
void __freeres();
}

namespace {

// The record's layout is fixed by the C++ exception-handling interface.
struct ExceptionGlobals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};

DWORD exceptionSlot = TLS_OUT_OF_INDEXES;
// For a thread whose record cannot be had, when memory or slots have run out.
ExceptionGlobals lastResort;

void FreeThisThreadsRecord() {
  if (exceptionSlot == TLS_OUT_OF_INDEXES) return;
  if (void* record = TlsGetValue(exceptionSlot)) HeapFree(GetProcessHeap(), 0, record);
  TlsSetValue(exceptionSlot, nullptr);
}

}  // namespace

extern "C" ExceptionGlobals* __cxa_get_globals() noexcept {
  if (exceptionSlot == TLS_OUT_OF_INDEXES) return &lastResort;
  if (auto* record = static_cast<ExceptionGlobals*>(TlsGetValue(exceptionSlot))) return record;
  auto* record = static_cast<ExceptionGlobals*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ExceptionGlobals)));
  if (record == nullptr) return &lastResort;
  if (!TlsSetValue(exceptionSlot, record)) {
    HeapFree(GetProcessHeap(), 0, record);
    return &lastResort;
  }
  return record;
}

extern "C" ExceptionGlobals* __cxa_get_globals_fast() noexcept { return __cxa_get_globals(); }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID processEnds) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      exceptionSlot = TlsAlloc();
      break;
    case DLL_THREAD_DETACH:
      FreeThisThreadsRecord();
      break;
    case DLL_PROCESS_DETACH:
      // At the end of the process there is nothing to give back to.
      if (processEnds != nullptr) break;
      __gnu_cxx::__freeres();
      FreeThisThreadsRecord();
      TlsFree(exceptionSlot);
      exceptionSlot = TLS_OUT_OF_INDEXES;
      break;
    default:
      break;
  }
  return TRUE;
}
