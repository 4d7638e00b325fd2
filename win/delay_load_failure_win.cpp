// The system DLLs for dialogs, printing and sound are loaded at their first call. Should one
// of them be missing or broken, the delay-load helper would raise an exception the program
// cannot survive; instead the user learns which DLL failed, and the call fails as if that
// DLL had refused it, so the program goes on without the dialog, the printer or the sound.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <delayimp.h>
#include <mmsystem.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <type_traits>

#include "win/message_box_win.h"

namespace kamolt::win {
namespace {

BOOL WINAPI NoFileDialog(LPOPENFILENAMEA) { return FALSE; }
BOOL WINAPI NoCommonControls(const INITCOMMONCONTROLSEX*) { return FALSE; }
BOOL WINAPI NoSound(LPCSTR, HMODULE, DWORD) { return FALSE; }
BOOL WINAPI NoMciText(MCIERROR, LPSTR text, UINT size) {
  if (text && size > 0) text[0] = '\0';
  return FALSE;
}
MCIERROR WINAPI NoMci(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR) { return MCIERR_DEVICE_NOT_INSTALLED; }
MMRESULT WINAPI NoVolumeQuery(HWAVEOUT, LPDWORD) { return MMSYSERR_NODRIVER; }
MMRESULT WINAPI NoVolumeChange(HWAVEOUT, DWORD) { return MMSYSERR_NODRIVER; }
BOOL WINAPI NoDefaultPrinter(LPSTR, LPDWORD) {
  SetLastError(ERROR_MOD_NOT_FOUND);
  return FALSE;
}

// A stand-in that takes other arguments than the real entry would corrupt a 32-bit stack.
template <auto Real, auto StandIn>
constexpr bool kSameSignature = std::is_same_v<decltype(Real), decltype(StandIn)>;
static_assert(kSameSignature<&GetOpenFileNameA, &NoFileDialog> && kSameSignature<&GetSaveFileNameA, &NoFileDialog> &&
              kSameSignature<&InitCommonControlsEx, &NoCommonControls> && kSameSignature<&PlaySoundA, &NoSound> &&
              kSameSignature<&mciGetErrorStringA, &NoMciText> && kSameSignature<&mciSendCommandW, &NoMci> &&
              kSameSignature<&waveOutGetVolume, &NoVolumeQuery> &&
              kSameSignature<&waveOutSetVolume, &NoVolumeChange> &&
              kSameSignature<&GetDefaultPrinterA, &NoDefaultPrinter>);

template <auto Function>
FARPROC Entry() {
  // Through the one function type that every other converts to without a warning.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Function));
}

// Every entry cmake/delay_load.cmake delays needs its stand-in here.
struct StandIn {
  const char* entry;
  FARPROC function;
};
const StandIn kStandIns[] = {
    {"GetOpenFileNameA", Entry<&NoFileDialog>()},
    {"GetSaveFileNameA", Entry<&NoFileDialog>()},
    {"InitCommonControlsEx", Entry<&NoCommonControls>()},
    {"PlaySoundA", Entry<&NoSound>()},
    {"mciGetErrorStringA", Entry<&NoMciText>()},
    {"mciSendCommandW", Entry<&NoMci>()},
    {"waveOutGetVolume", Entry<&NoVolumeQuery>()},
    {"waveOutSetVolume", Entry<&NoVolumeChange>()},
    {"GetDefaultPrinterA", Entry<&NoDefaultPrinter>()},
};

FARPROC StandInFor(const DelayLoadProc& procedure) {
  if (!procedure.fImportByName || !procedure.szProcName) return nullptr;
  for (const StandIn& standIn : kStandIns) {
    if (std::strcmp(standIn.entry, procedure.szProcName) == 0) return standIn.function;
  }
  return nullptr;
}

FARPROC WINAPI OnDelayLoadFailure(unsigned notification, PDelayLoadInfo info) {
  switch (notification) {
    case dliFailLoadLib:
      ShowErrorBox(std::string("Die Systembibliothek ") + info->szDll +
                   " kann nicht geladen werden. Was sie braucht, steht nicht zur Verfügung.");
      // The program's own module stands for the DLL from now on: the helper then asks for
      // each entry in it, fails, and comes back here for its stand-in, without a second box.
      return reinterpret_cast<FARPROC>(GetModuleHandleA(nullptr));
    case dliFailGetProc: return StandInFor(info->dlp);
    default: return nullptr;
  }
}

}  // namespace
}  // namespace kamolt::win

extern "C" {
PfnDliHook __pfnDliFailureHook2 = kamolt::win::OnDelayLoadFailure;
}
