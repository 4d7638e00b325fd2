#include "media/record_window_win.h"

#include <mmsystem.h>

#include <stdexcept>

#include "media/mci_text_win.h"

namespace kamolt {
namespace {

// How long a recording may take to wind down after Stop before its device may close.
constexpr DWORD kWindDownMs = 500;

}  // namespace

bool RecordWindow::Create(HWND parent) {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass) != 0;
  }();
  if (!registered) return false;
  Destroy();
  window_ = CreateWindowExA(0, kClassName, "", WS_CHILD, 0, 0, 0, 0, parent, nullptr, GetModuleHandleA(nullptr),
                            nullptr);
  return window_ != nullptr;
}

void RecordWindow::Send(UINT command, DWORD flags, void* parameters) const {
  if (!device_) throw std::runtime_error(MciErrorText(MCIERR_INVALID_DEVICE_ID));
  const MCIERROR error = mciSendCommandW(device_, command, flags, reinterpret_cast<DWORD_PTR>(parameters));
  if (error) throw std::runtime_error(MciErrorText(error));
}

void RecordWindow::NewWaveaudio() {
  Close();
  MCI_OPEN_PARMSW open{};
  open.lpstrDeviceType = L"waveaudio";
  open.lpstrElementName = L"";
  const MCIERROR error = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT,
                                         reinterpret_cast<DWORD_PTR>(&open));
  if (error) throw std::runtime_error(MciErrorText(error));
  device_ = open.wDeviceID;
}

void RecordWindow::Record() {
  MCI_RECORD_PARMS record{};
  record.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
  Send(MCI_RECORD, 0, &record);
}

void RecordWindow::Stop() {
  MCI_GENERIC_PARMS generic{};
  Send(MCI_STOP, MCI_WAIT, &generic);
  stoppedAt_ = GetTickCount();
}

void RecordWindow::Save(const std::wstring& fileName) {
  MCI_SAVE_PARMSW save{};
  save.lpfilename = fileName.c_str();
  Send(MCI_SAVE, MCI_SAVE_FILE | MCI_WAIT, &save);
}

void RecordWindow::Pause() {
  MCI_GENERIC_PARMS generic{};
  Send(MCI_PAUSE, MCI_WAIT, &generic);
}

void RecordWindow::Resume() {
  MCI_GENERIC_PARMS generic{};
  Send(MCI_RESUME, MCI_WAIT, &generic);
}

bool RecordWindow::SetTimeFormatMilliseconds() {
  if (!device_) return false;
  MCI_SET_PARMS set{};
  set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
  return mciSendCommandW(device_, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&set)) == 0;
}

long RecordWindow::Position() const {
  if (!device_) return 0;
  MCI_STATUS_PARMS status{};
  status.dwItem = MCI_STATUS_POSITION;
  if (mciSendCommandW(device_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&status))) return 0;
  return static_cast<long>(status.dwReturn);
}

void RecordWindow::Close() {
  if (!device_) return;
  const DWORD sinceStop = GetTickCount() - stoppedAt_;
  if (sinceStop < kWindDownMs) Sleep(kWindDownMs - sinceStop);
  MCI_GENERIC_PARMS close{};
  mciSendCommandW(device_, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
  device_ = 0;
}

void RecordWindow::LeaveToProcessEnd() {
  device_ = 0;
  Destroy();
}

void RecordWindow::Destroy() {
  Close();
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

}  // namespace kamolt
