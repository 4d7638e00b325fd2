// Every module's entry point for loading and unloading.
//
// The C++ runtime is linked into each module, and at load it takes a block of its own for
// exceptions thrown when memory runs out, which it never frees by itself: a module loaded
// for every picture would leave that block behind each time. It is given back when the
// module is unloaded; at the end of the process there is nothing to give back to.
#include <windows.h>

namespace __gnu_cxx {
void __freeres();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID processEnds) {
  if (reason == DLL_PROCESS_DETACH && processEnds == nullptr) __gnu_cxx::__freeres();
  return TRUE;
}
