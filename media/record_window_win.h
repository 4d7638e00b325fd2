#pragma once
// The hidden window that records: it holds a new "waveaudio" element open on MCI while the
// recording lasts, and saves it under a name at the end.
#include <windows.h>

#include <string>

namespace kamolt {

class RecordWindow {
 public:
  static constexpr const char* kClassName = "TRecordWindow";

  RecordWindow() = default;
  RecordWindow(const RecordWindow&) = delete;
  RecordWindow& operator=(const RecordWindow&) = delete;
  ~RecordWindow() { Destroy(); }

  // false when the window cannot be created. A window made before goes first.
  bool Create(HWND parent);

  // These throw with MCI's words when the device refuses.
  void NewWaveaudio();
  void Record();
  void Stop();
  void Save(const std::wstring& fileName);
  void Pause();
  void Resume();
  // false when the device does not take the format.
  bool SetTimeFormatMilliseconds();
  long Position() const;

  void Destroy();
  // For the end of the program: the window goes, the device is left to the process's end,
  // which takes it without waiting for a recording that was stopped just now.
  void LeaveToProcessEnd();

 private:
  void Send(UINT command, DWORD flags, void* parameters) const;
  void Close();

  HWND window_ = nullptr;
  UINT device_ = 0;
  // A device stops recording on a thread of its own, which winds down after Stop returns;
  // closing the device under that thread can take the program with it (seen with Wine's
  // wave driver, which unloads under it). So a close soon after a stop waits a moment.
  DWORD stoppedAt_ = GetTickCount() - 60000;
};

}  // namespace kamolt
