// The data source's one entry, as a TWAIN source manager looks it up by name.
#include <windows.h>

#include <memory>

#include "tools/virtual_scanner/scanner_dialog_win.h"
#include "tools/virtual_scanner/source_host_win.h"

namespace {

HINSTANCE module = nullptr;
std::unique_ptr<kamolt::scanner::WinSourceHost> host;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded from a process that goes on: leave no window or class behind. At process
    // exit the windows are gone already and nothing needs doing.
    host.reset();
    kamolt::scanner::ScannerDialog::Unregister(instance);
  }
  return TRUE;
}

// Exported by the .def file under its plain name; no exception may leave it.
extern "C" kamolt::TW_UINT16 WINAPI DS_Entry(kamolt::TW_IDENTITY* origin, kamolt::TW_UINT32 dg, kamolt::TW_UINT16 dat,
                                             kamolt::TW_UINT16 msg, kamolt::TW_MEMREF data) {
  if (!host) {
    try {
      host = std::make_unique<kamolt::scanner::WinSourceHost>(module);
    } catch (...) {
      return kamolt::TWRC_FAILURE;
    }
  }
  return host->Source().Entry(origin, dg, dat, msg, data);
}
