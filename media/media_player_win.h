#pragma once
// The recorder's player: a bar of buttons that drives one "waveaudio" device through MCI.
// Each click goes to the owner first, which may take over the button's own action.
#include <windows.h>

#include <functional>
#include <string>

namespace kamolt {

// In the bar's order; Next and Prev have no button.
enum class PlayerButton { Play = 0, Pause, Stop, Next, Prev, Step, Back, Record, Eject };
inline constexpr int kPlayerButtonCount = 9;

using PlayerButtons = unsigned;  // one bit per PlayerButton
constexpr PlayerButtons ButtonBit(PlayerButton button) { return 1u << static_cast<int>(button); }
inline constexpr PlayerButtons kAllPlayerButtons = (1u << kPlayerButtonCount) - 1;

class MediaPlayer {
 public:
  static constexpr const char* kClassName = "TMediaPlayer";
  static constexpr int kFirstButtonId = 1000;  // + PlayerButton

  // `doDefault` starts set; left set, the button's own action follows.
  using ClickHandler = std::function<void(PlayerButton button, bool& doDefault)>;

  MediaPlayer() = default;
  MediaPlayer(const MediaPlayer&) = delete;
  MediaPlayer& operator=(const MediaPlayer&) = delete;
  ~MediaPlayer();

  // Creates the bar as a child of `parent`; throws when it cannot.
  void Create(HWND parent, int id, const RECT& bounds, HFONT font, ClickHandler onClick);
  HWND Window() const { return window_; }

  // A click as the user makes it, also for clicks that come from elsewhere.
  void Click(PlayerButton button);

  void SetFileName(const std::string& name) { fileName_ = name; }
  const std::string& FileName() const { return fileName_; }
  // Opens the file name on the device; throws with MCI's words when it cannot.
  void Open();
  void Close();
  // false while no device answers, as when no file is open.
  bool HasMode() const;
  void SetTimeFormatMilliseconds();
  bool TimeFormatIsMilliseconds() const;
  long Length() const;
  long Position() const;

  void SetEnabledButtons(PlayerButtons buttons);
  PlayerButtons EnabledButtons() const { return enabled_; }

  // For the window procedure of its class.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void DoDefault(PlayerButton button);
  void Play();
  void PauseOrResume();
  void Stop();
  void SeekBy(long milliseconds);
  DWORD Status(DWORD item) const;
  void Send(UINT command, DWORD flags, void* parameters) const;
  void Draw(const DRAWITEMSTRUCT& item) const;

  HWND window_ = nullptr;
  ClickHandler onClick_;
  std::string fileName_;
  UINT device_ = 0;
  PlayerButtons enabled_ = kAllPlayerButtons;
};

}  // namespace kamolt
