#include "media/sound_recorder_win.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "base/file_io.h"
#include "base/pending_file_win.h"
#include "clip/serial_switch_win.h"
#include "media/mci_text_win.h"
#include "media/media_player_win.h"
#include "media/mp3_encoder_win.h"
#include "media/record_window_win.h"
#include "media/sound_recorder_rules.h"
#include "media/switch_series.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"
#include "win/own_window_win.h"

namespace kamolt {
namespace {

constexpr int kDesignWidth = 319;
constexpr int kDesignHeight = 134;
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME;
constexpr int kFontHeight = -11;
constexpr int kTimeFontHeight = -16;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 1000;
// A click of the switch, posted from its thread: wParam is the SwitchClick.
constexpr UINT kSwitchClickMessage = WM_APP + 1;
constexpr std::size_t kMaxSaveName = 400;
constexpr int kRescueNumbers = 99;
constexpr DWORD kReleaseWaitMs = 3000;

enum ControlId : int { kDPlayer = 101, kTimeStr, kDVolume, kAktFile, kAVIPanel };

constexpr RECT kPlayerBounds{8, 8, 8 + 197, 8 + 30};
constexpr RECT kVolumeBounds{8, 48, 8 + 201, 48 + 33};
constexpr RECT kPanelBounds{8, 100, 8 + 300, 100 + 1};

constexpr int kVolumeDesignPosition = 1000;
constexpr int kVolumeLineStep = 2048;
constexpr int kVolumePageStep = 8192;
constexpr int kVolumeTickStep = 2048;

using Font = win::UniqueHandle<win::GdiObjectTraits<HFONT>>;

Font MakeFont(int height, int weight) {
  return Font(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
}

std::string TextOf(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<std::string> RecorderArguments() {
  std::vector<std::string> words = SplitCommandLine(GetCommandLineA());
  if (!words.empty()) words.erase(words.begin());
  return words;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> FileData(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return data;
}

bool FolderTakesFiles(const std::string& file) {
  char probe[MAX_PATH];
  if (GetTempFileNameA(FolderOf(file).c_str(), "kmt", 0, probe) == 0) return false;
  DeleteFileA(probe);
  return true;
}


class SoundRecorder {
 public:
  explicit SoundRecorder(HWND viewer) : viewer_(viewer) {}
  SoundRecorder(const SoundRecorder&) = delete;
  SoundRecorder& operator=(const SoundRecorder&) = delete;
  ~SoundRecorder() {
    StopSwitchThread();
    recordWindow_.Destroy();
    player_.Close();
    if (window_) DestroyWindow(window_);
  }

  // Creates the window, runs its creation handler and its modal time; then the window goes
  // and, in every way it can end, the program with it.
  void Run();

  // For the window procedure of its class.
  HWND Window() const { return window_; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void CreateWindowAndControls();
  HWND CreateControl(const char* className, const char* caption, DWORD style, const RECT& bounds, int id,
                     HFONT font) const;

  void FormCreate();
  void DPlayerClick(PlayerButton button, bool& doDefault);
  void OnRecord(bool& doDefault);
  bool SaveRecording();
  bool TrySave(const std::string& name, std::string& failure);
  std::string SaveUnderRescueName();
  void OnPause(bool& doDefault);
  void OnEject(bool& doDefault);
  void FinishMp3();
  std::string FormatTimeText(long seconds);
  void DTimerTimer();
  void DVolumeChange();
  void FormClose();
  void SetFileName(const std::string& name);
  void SetTimeStr(const std::string& text) const { SetWindowTextA(GetDlgItem(window_, kTimeStr), text.c_str()); }
  void RunTimer(bool on);
  void ResetSize() const;
  void ShowModal();
  void EndModal();
  void StartSwitchThread();
  void StopSwitchThread();

  HWND viewer_;
  HWND window_ = nullptr;
  HWND volume_ = nullptr;
  Font font_;
  Font timeFont_;
  MediaPlayer player_;
  RecordWindow recordWindow_;
  SoundOptions options_;
  std::string baseName_;
  RecordingNames names_;
  std::string encoderPath_;
  int volumePosition_ = kVolumeDesignPosition;
  bool recording_ = false;
  bool timerRunning_ = false;
  bool closing_ = false;
  std::string lastSaveFailure_;
  std::atomic<bool> switchWanted_{false};
  std::thread switchThread_;
};

void SoundRecorder::Run() {
  CreateWindowAndControls();
  win::RunHandler([&] { FormCreate(); });
  EnableWindow(viewer_, TRUE);
  StopSwitchThread();
  // Gone before the viewer closes, so the viewer never takes an owned window down with it.
  recordWindow_.LeaveToProcessEnd();
  player_.Close();
  DestroyWindow(std::exchange(window_, nullptr));
  SendMessageA(viewer_, WM_CLOSE, 0, 0);
}

void SoundRecorder::CreateWindowAndControls() {
  // The track bar is one of the common controls.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  win::RegisterOwnWindowClass(kSoundRecorderClass, win::OwnWindowProc<SoundRecorder>);

  const int left = (GetSystemMetrics(SM_CXSCREEN) - kDesignWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kDesignHeight) / 2;
  window_ = CreateWindowExA(kWindowExStyle, kSoundRecorderClass, "Zelvo-Multi-Media", kWindowStyle, left, top,
                            kDesignWidth, kDesignHeight, viewer_, nullptr, GetModuleHandleA(nullptr), this);
  if (!window_) throw std::runtime_error("Das Fenster Zelvo-Multi-Media kann nicht erzeugt werden");

  font_ = MakeFont(kFontHeight, FW_NORMAL);
  timeFont_ = MakeFont(kTimeFontHeight, FW_BOLD);
  player_.Create(window_, kDPlayer, kPlayerBounds, font_.Get(),
                 [this](PlayerButton button, bool& doDefault) { DPlayerClick(button, doDefault); });
  CreateControl("STATIC", "Zeit:", SS_LEFT | SS_NOPREFIX, {216, 8, 216 + 95, 8 + 20}, kTimeStr, timeFont_.Get());
  volume_ = CreateControl(TRACKBAR_CLASSA, "", TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | WS_TABSTOP, kVolumeBounds,
                          kDVolume, font_.Get());
  SendMessageA(volume_, TBM_SETRANGEMIN, FALSE, kVolumeMin);
  SendMessageA(volume_, TBM_SETRANGEMAX, FALSE, kVolumeMax);
  SendMessageA(volume_, TBM_SETLINESIZE, 0, kVolumeLineStep);
  SendMessageA(volume_, TBM_SETPAGESIZE, 0, kVolumePageStep);
  SendMessageA(volume_, TBM_SETTICFREQ, kVolumeTickStep, 0);
  SendMessageA(volume_, TBM_SETPOS, TRUE, kVolumeDesignPosition);
  CreateControl("STATIC", "---", SS_LEFT | SS_NOPREFIX, {8, 85, 8 + 300, 85 + 13}, kAktFile, font_.Get());
  CreateControl("STATIC", "", SS_GRAYRECT, kPanelBounds, kAVIPanel, nullptr);

  // The slider's hint.
  const HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  if (tip) {
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(volume_);
    std::string hint = "Lautstärke";
    tool.lpszText = hint.data();
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

HWND SoundRecorder::CreateControl(const char* className, const char* caption, DWORD style, const RECT& bounds, int id,
                                  HFONT font) const {
  const HWND control = CreateWindowExA(0, className, caption, WS_CHILD | WS_VISIBLE | style, bounds.left, bounds.top,
                                       bounds.right - bounds.left, bounds.bottom - bounds.top, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                                       nullptr);
  if (!control) throw std::runtime_error("Das Fenster Zelvo-Multi-Media kann nicht erzeugt werden");
  if (font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

LRESULT SoundRecorder::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimerId) win::RunHandler([&] { DTimerTimer(); });
      return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == volume_) win::RunHandler([&] { DVolumeChange(); });
      return 0;
    case kSwitchClickMessage: {
      const auto click = static_cast<SwitchClick>(wParam);
      if (SwitchClickApplies(click, recording_)) {
        player_.Click(click == SwitchClick::Record ? PlayerButton::Record : PlayerButton::Pause);
      }
      return 0;
    }
    case WM_CLOSE: win::RunHandler([&] { FormClose(); }); return 0;
    default: return DefWindowProcA(window_, message, wParam, lParam);
  }
}

void SoundRecorder::FormCreate() {
  const std::string title = TextOf(viewer_);

  DWORD volume = 0;
  // Where the platform keeps no device volume (it may only know the volume of an open
  // stream), the slider keeps its designed place rather than set a volume nobody chose.
  if (waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &volume) == MMSYSERR_NOERROR) {
    SendMessageA(volume_, TBM_SETPOS, TRUE, VolumeSliderPosition(volume));
    DVolumeChange();
  }

  options_ = ReadSoundOptions(RecorderArguments());
  if (options_.mp3) encoderPath_ = FindEncoder();
  baseName_ = BaseNameOfTitle(title);
  names_ = NamesOfRecording(baseName_, options_.mp3);
  SetFileName(names_.recordFile);
  player_.SetEnabledButtons(player_.EnabledButtons() | ButtonBit(PlayerButton::Record) |
                            ButtonBit(PlayerButton::Eject));
  if (IsFile(player_.FileName())) {
    // A file the device cannot open is reported; a new recording can still replace it.
    win::RunHandler([&] {
      player_.Open();
      SetTimeStr(FormatTimeText(0));
    });
  }
  if (!options_.switchPort.empty()) StartSwitchThread();
  ShowModal();
}

void SoundRecorder::SetFileName(const std::string& name) {
  player_.SetFileName(name);
  SetWindowTextA(GetDlgItem(window_, kAktFile), name.c_str());
}

void SoundRecorder::DPlayerClick(PlayerButton button, bool& doDefault) {
  if (!recording_ && button != PlayerButton::Record && !player_.HasMode()) {
    doDefault = false;
    return;
  }
  switch (button) {
    case PlayerButton::Record: OnRecord(doDefault); break;
    case PlayerButton::Play:
    case PlayerButton::Stop:
      if (recording_ && !SaveRecording()) {
        // Stopped but not saved: it stays the open recording, for Stop to try again once
        // the user has made room, and for closing to ask before it is given up.
        RunTimer(false);
        doDefault = false;
        win::ShowMessage(window_, "Die Aufnahme konnte nicht gespeichert werden (" + lastSaveFailure_ + ").",
                         "Fehler", MB_OK | MB_ICONWARNING);
        return;
      }
      if (button == PlayerButton::Play) player_.SetTimeFormatMilliseconds();
      ResetSize();
      RunTimer(button == PlayerButton::Play);
      break;
    case PlayerButton::Pause: OnPause(doDefault); break;
    case PlayerButton::Eject: OnEject(doDefault); break;
    default: break;
  }
}

void SoundRecorder::OnRecord(bool& doDefault) {
  player_.Close();
  if (!recordWindow_.Create(window_)) {
    win::ShowMessage(window_, "Error Creating MCIWnd Window!", "");
    return;
  }
  try {
    recordWindow_.NewWaveaudio();
    recordWindow_.Record();
  } catch (...) {
    // Without a recording the recorder stays idle, with the player where it was.
    recordWindow_.Destroy();
    if (IsFile(player_.FileName())) player_.Open();
    throw;
  }
  recording_ = true;
  doDefault = false;
  RunTimer(true);
  player_.SetEnabledButtons(ButtonBit(PlayerButton::Pause) | ButtonBit(PlayerButton::Stop));
}

// Saves the recording under its name or, when that cannot be written (a folder gone, a
// read-only file, a full disk), under a rescue name, and tells the user where it went.
// false when no name could take it: it then stays open, so nothing is lost unasked.
bool SoundRecorder::SaveRecording() {
  std::string failure;
  try {
    recordWindow_.Stop();
  } catch (const std::exception& error) {
    // A device that will not stop may still save what it holds.
    failure = error.what();
  }
  std::string saved = names_.recordFile;
  if (!TrySave(saved, failure)) {
    saved = SaveUnderRescueName();
    if (saved.empty()) {
      lastSaveFailure_ = failure;
      return false;
    }
    win::ShowMessage(window_,
                     "Die Aufnahme konnte nicht als " + names_.recordFile + " gespeichert werden (" + failure +
                         "). Sie bleibt als " + saved + " erhalten.",
                     "Fehler", MB_OK | MB_ICONWARNING);
  }
  recording_ = false;
  SetFileName(saved);
  // The device stays open until the next recording or Eject: closing it must wait for its
  // recording to wind down, which Stop should not.
  player_.SetEnabledButtons(player_.EnabledButtons() | ButtonBit(PlayerButton::Play) |
                            ButtonBit(PlayerButton::Record) | ButtonBit(PlayerButton::Eject) |
                            ButtonBit(PlayerButton::Step) | ButtonBit(PlayerButton::Back));
  player_.Open();
  return true;
}

bool SoundRecorder::TrySave(const std::string& name, std::string& failure) {
  const std::wstring wide = WideText(name);
  if (wide.size() > kMaxSaveName) {
    failure = "Der Dateiname ist zu lang: " + name;
    return false;
  }
  const std::optional<WIN32_FILE_ATTRIBUTE_DATA> before = FileData(name);
  // The device deletes the old file before it writes, where the platform lets it: a
  // read-only file is the user's to keep, so it is never handed to the device.
  if (before && (before->dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
    failure = "Die Datei ist schreibgeschützt";
    return false;
  }
  // A device whose save failed may have let go of its recording (seen under Wine), so a
  // name is only handed over when its folder is there and takes new files.
  if (!FolderTakesFiles(name)) {
    failure = "Der Ordner fehlt oder nimmt keine Dateien auf";
    return false;
  }
  try {
    recordWindow_.Save(wide);
  } catch (const std::exception& error) {
    failure = error.what();
    return false;
  }
  // The device can report a save that never reached the file (seen with a read-only file
  // under Wine): only a file that is new or changed holds the recording.
  const std::optional<WIN32_FILE_ATTRIBUTE_DATA> after = FileData(name);
  if (after && (!before || CompareFileTime(&before->ftLastWriteTime, &after->ftLastWriteTime) != 0 ||
                before->nFileSizeLow != after->nFileSizeLow || before->nFileSizeHigh != after->nFileSizeHigh)) {
    return true;
  }
  failure = "Die Datei wurde nicht geschrieben";
  return false;
}

// Beside the recording's own name first (a read-only file), then in the temporary folder
// (a folder gone, a full disk). Only a name that is free is tried: saving replaces a file.
std::string SoundRecorder::SaveUnderRescueName() {
  std::vector<std::string> folders{""};
  if (std::string temp = TemporaryFolder(); !temp.empty()) folders.push_back(std::move(temp));
  for (const std::string& folder : folders) {
    for (int number = 1; number <= kRescueNumbers; ++number) {
      const std::string name = RescueName(names_.recordFile, folder, number);
      if (PathExists(name)) continue;
      std::string ignored;
      if (TrySave(name, ignored)) return name;
      break;  // the next free number of this folder would fail for the same reason
    }
  }
  return "";
}

void SoundRecorder::OnPause(bool& doDefault) {
  if (recording_) {
    if (timerRunning_) {
      recordWindow_.Pause();
    } else {
      recordWindow_.Resume();
    }
    doDefault = false;
  } else {
    player_.SetTimeFormatMilliseconds();
  }
  SetTimeStr(FormatTimeText(-1));
  RunTimer(!timerRunning_);
}

void SoundRecorder::OnEject(bool& doDefault) {
  player_.Close();
  // The device of the last recording still holds its file open.
  recordWindow_.Destroy();
  doDefault = false;
  if (options_.mp3) FinishMp3();
  EndModal();
}

// The encoder's or the device's hold on a file can outlast them for a moment.
void DeleteWhenReleased(const std::string& name) {
  const DWORD start = GetTickCount();
  while (!DeleteFileA(name.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
         GetTickCount() - start < kReleaseWaitMs) {
    Sleep(50);
  }
}

void SoundRecorder::FinishMp3() {
  // The player's file: the recording's own name, or where a failed save put it instead.
  const std::string recorded = player_.FileName();
  EncodeResult encoded = EncodeResult::Failed;
  if (!encoderPath_.empty()) {
    encoded = Encode(encoderPath_, recorded, names_.finishedFile);
    if (encoded == EncodeResult::Encoded) {
      DeleteWhenReleased(recorded);
      SetFileName(names_.finishedFile);
      return;
    }
  }
  // No MP3: the recording is kept as a wave file of the finished name, never lost.
  const bool moved = MoveFileA(recorded.c_str(), names_.keptWaveFile.c_str()) != 0;
  const std::string kept = moved ? names_.keptWaveFile : recorded;
  if (moved) SetFileName(kept);
  if (encoderPath_.empty() && moved) return;
  std::string text;
  if (encoded == EncodeResult::TimedOut) {
    text = "Der MP3-Encoder hat nicht rechtzeitig geendet und wurde abgebrochen. ";
  }
  if (!encoderPath_.empty()) text += "Die MP3-Datei " + names_.finishedFile + " konnte nicht erstellt werden. ";
  win::ShowMessage(window_, text + "Die Aufnahme bleibt als " + kept + " erhalten.", "Fehler",
                   MB_OK | MB_ICONWARNING);
}

std::string SoundRecorder::FormatTimeText(long seconds) {
  if (recording_) {
    if (!recordWindow_.SetTimeFormatMilliseconds()) RunTimer(false);
    return TimeText(recordWindow_.Position() / 1000);
  }
  long length = player_.Length();
  long position = player_.Position();
  if (player_.TimeFormatIsMilliseconds()) {
    length /= 1000;
    position /= 1000;
  }
  seconds = SecondsToShow(seconds, position, length);
  if (seconds >= length) RunTimer(false);
  return TimeText(seconds);
}

void SoundRecorder::DTimerTimer() {
  try {
    SetTimeStr(FormatTimeText(-1));
  } catch (...) {
    // One report is enough; the timer would repeat it every second.
    RunTimer(false);
    throw;
  }
}

void SoundRecorder::DVolumeChange() {
  const int position = static_cast<int>(SendMessageA(volume_, TBM_GETPOS, 0, 0));
  if (position == volumePosition_) return;
  volumePosition_ = position;
  waveOutSetVolume(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(WAVE_MAPPER)), VolumeOfSlider(position));
}

void SoundRecorder::FormClose() {
  // A recording still running would be lost with the window: it is saved first. When no
  // name at all takes it, the user decides, so the window can always be closed.
  if (recording_ && !SaveRecording()) {
    RunTimer(false);
    const int answer = win::ShowMessage(window_,
                                        "Die Aufnahme konnte nicht gespeichert werden (" + lastSaveFailure_ +
                                            ").\n\nOhne die Aufnahme beenden?",
                                        "Fehler", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (answer != IDYES) return;
  }
  EndModal();
}

void SoundRecorder::EndModal() {
  closing_ = true;
  // A handler reached by a sent message leaves the loop waiting for a posted one.
  PostMessageA(window_, WM_NULL, 0, 0);
}

void SoundRecorder::RunTimer(bool on) {
  if (on) {
    SetTimer(window_, kTimerId, kTimerMs, nullptr);
  } else {
    KillTimer(window_, kTimerId);
  }
  timerRunning_ = on;
}

void SoundRecorder::ResetSize() const {
  RECT panel;
  GetWindowRect(GetDlgItem(window_, kAVIPanel), &panel);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&panel), 2);
  SetWindowPos(window_, nullptr, 0, 0, panel.right + 11, panel.bottom + 33, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SoundRecorder::ShowModal() {
  EnableWindow(viewer_, FALSE);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  MSG message{};
  while (!closing_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
      break;
    }
    if (IsDialogMessageA(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void SoundRecorder::StartSwitchThread() {
  switchWanted_ = true;
  switchThread_ = std::thread([this, port = options_.switchPort, window = window_] {
    const win::FileHandle opened = OpenSwitchPort(port);
    if (!opened) return;
    ConfigureSwitchPort(opened.Get());
    PortSwitch line(opened.Get());
    ThreadPause pause;
    RunSwitchSeries(line, pause, [this] { return switchWanted_.load(); },
                    [window](SwitchClick click) { PostMessageA(window, kSwitchClickMessage, static_cast<WPARAM>(click), 0); });
  });
}

void SoundRecorder::StopSwitchThread() {
  switchWanted_ = false;
  if (switchThread_.joinable()) switchThread_.join();
}

}  // namespace

void OpenSoundRecorder(HWND viewer) {
  SoundRecorder recorder(viewer);
  win::RunHandler([&] { recorder.Run(); });
}

}  // namespace kamolt
