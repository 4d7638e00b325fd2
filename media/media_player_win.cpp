#include "media/media_player_win.h"

#include <mmsystem.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "media/mci_text_win.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"
#include "win/own_window_win.h"

namespace kamolt {
namespace {

struct ButtonDesign {
  PlayerButton button;
  const char* caption;
};
constexpr ButtonDesign kButtons[] = {
    {PlayerButton::Play, "Play"},     {PlayerButton::Pause, "Pause"},   {PlayerButton::Stop, "Stop"},
    {PlayerButton::Step, "Step"},     {PlayerButton::Back, "Back"},     {PlayerButton::Record, "Record"},
    {PlayerButton::Eject, "Eject"},
};

// Wave devices know no frames; a step moves by one second.
constexpr long kStepMs = 1000;

void Polygon(HDC dc, std::vector<POINT> points) { ::Polygon(dc, points.data(), static_cast<int>(points.size())); }

// The glyph of a button, drawn around the centre (x, y).
void DrawGlyph(HDC dc, PlayerButton button, int x, int y) {
  switch (button) {
    case PlayerButton::Play: Polygon(dc, {{x - 3, y - 5}, {x - 3, y + 5}, {x + 3, y}}); break;
    case PlayerButton::Pause:
      Rectangle(dc, x - 4, y - 5, x - 1, y + 6);
      Rectangle(dc, x + 1, y - 5, x + 4, y + 6);
      break;
    case PlayerButton::Stop: Rectangle(dc, x - 4, y - 4, x + 5, y + 5); break;
    case PlayerButton::Step:
      Polygon(dc, {{x - 4, y - 5}, {x - 4, y + 5}, {x + 1, y}});
      Rectangle(dc, x + 2, y - 5, x + 4, y + 6);
      break;
    case PlayerButton::Back:
      Rectangle(dc, x - 4, y - 5, x - 2, y + 6);
      Polygon(dc, {{x + 4, y - 5}, {x + 4, y + 5}, {x - 1, y}});
      break;
    case PlayerButton::Record: Ellipse(dc, x - 4, y - 4, x + 5, y + 5); break;
    case PlayerButton::Eject:
      Polygon(dc, {{x - 5, y + 1}, {x + 5, y + 1}, {x, y - 5}});
      Rectangle(dc, x - 5, y + 3, x + 6, y + 5);
      break;
    default: break;
  }
}

}  // namespace

MediaPlayer::~MediaPlayer() { Close(); }

void MediaPlayer::Create(HWND parent, int id, const RECT& bounds, HFONT font, ClickHandler onClick) {
  win::RegisterOwnWindowClass(kClassName, win::OwnWindowProc<MediaPlayer>);
  onClick_ = std::move(onClick);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  window_ = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, bounds.left, bounds.top, width,
                            height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleA(nullptr), this);
  if (!window_) throw std::runtime_error("Die Knopfleiste kann nicht erzeugt werden");
  // The buttons share the width; the last one takes what the division leaves.
  const int count = static_cast<int>(std::size(kButtons));
  const int each = width / count;
  for (int i = 0; i < count; ++i) {
    const int id = kFirstButtonId + static_cast<int>(kButtons[i].button);
    const HWND button = CreateWindowExA(0, "BUTTON", kButtons[i].caption, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
                                        i * each, 0, i == count - 1 ? width - i * each : each, height, window_,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                                        nullptr);
    if (!button) throw std::runtime_error("Die Knopfleiste kann nicht erzeugt werden");
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  SetEnabledButtons(enabled_);
}

LRESULT MediaPlayer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int index = LOWORD(wParam) - kFirstButtonId;
      if (HIWORD(wParam) == BN_CLICKED && index >= 0 && index < kPlayerButtonCount) {
        Click(static_cast<PlayerButton>(index));
      }
      return 0;
    }
    case WM_DRAWITEM: Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    default: return DefWindowProcA(window_, message, wParam, lParam);
  }
}

void MediaPlayer::Click(PlayerButton button) {
  bool doDefault = true;
  win::RunHandler([&] { onClick_(button, doDefault); });
  if (doDefault) win::RunHandler([&] { DoDefault(button); });
}

void MediaPlayer::DoDefault(PlayerButton button) {
  if (!device_) return;
  switch (button) {
    case PlayerButton::Play: Play(); break;
    case PlayerButton::Pause: PauseOrResume(); break;
    case PlayerButton::Stop: Stop(); break;
    case PlayerButton::Step: SeekBy(kStepMs); break;
    case PlayerButton::Back: SeekBy(-kStepMs); break;
    default: break;
  }
}

void MediaPlayer::Open() {
  Close();
  const std::wstring element = WideText(fileName_);
  MCI_OPEN_PARMSW open{};
  open.lpstrDeviceType = L"waveaudio";
  open.lpstrElementName = element.c_str();
  const MCIERROR error = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT,
                                         reinterpret_cast<DWORD_PTR>(&open));
  if (error) throw std::runtime_error(MciErrorText(error));
  device_ = open.wDeviceID;
}

void MediaPlayer::Close() {
  if (!device_) return;
  MCI_GENERIC_PARMS close{};
  mciSendCommandW(device_, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
  device_ = 0;
}

bool MediaPlayer::HasMode() const {
  if (!device_) return false;
  MCI_STATUS_PARMS status{};
  status.dwItem = MCI_STATUS_MODE;
  return mciSendCommandW(device_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&status)) == 0;
}

void MediaPlayer::Send(UINT command, DWORD flags, void* parameters) const {
  if (!device_) throw std::runtime_error(MciErrorText(MCIERR_INVALID_DEVICE_ID));
  const MCIERROR error = mciSendCommandW(device_, command, flags, reinterpret_cast<DWORD_PTR>(parameters));
  if (error) throw std::runtime_error(MciErrorText(error));
}

DWORD MediaPlayer::Status(DWORD item) const {
  MCI_STATUS_PARMS status{};
  status.dwItem = item;
  Send(MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status);
  return static_cast<DWORD>(status.dwReturn);
}

void MediaPlayer::SetTimeFormatMilliseconds() {
  MCI_SET_PARMS set{};
  set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
  Send(MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set);
}

// Modes and time formats come back as resources: their value is the low word.
bool MediaPlayer::TimeFormatIsMilliseconds() const {
  return LOWORD(Status(MCI_STATUS_TIME_FORMAT)) == MCI_FORMAT_MILLISECONDS;
}

long MediaPlayer::Length() const {
  MCI_STATUS_PARMS status{};
  status.dwItem = MCI_STATUS_LENGTH;
  status.dwTrack = 1;
  Send(MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK | MCI_WAIT, &status);
  return static_cast<long>(status.dwReturn);
}

long MediaPlayer::Position() const { return static_cast<long>(Status(MCI_STATUS_POSITION)); }

void MediaPlayer::Play() {
  // At the end a new Play starts again from the beginning, as a user expects.
  if (Position() >= Length()) {
    MCI_SEEK_PARMS seek{};
    Send(MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, &seek);
  }
  MCI_PLAY_PARMS play{};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
  Send(MCI_PLAY, MCI_NOTIFY, &play);
}

void MediaPlayer::PauseOrResume() {
  MCI_GENERIC_PARMS generic{};
  switch (LOWORD(Status(MCI_STATUS_MODE))) {
    case MCI_MODE_PLAY: Send(MCI_PAUSE, MCI_WAIT, &generic); break;
    case MCI_MODE_PAUSE: {
      MCI_PLAY_PARMS play{};
      play.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
      Send(MCI_PLAY, MCI_NOTIFY, &play);
      break;
    }
    default: break;
  }
}

void MediaPlayer::Stop() {
  MCI_GENERIC_PARMS generic{};
  Send(MCI_STOP, MCI_WAIT, &generic);
}

void MediaPlayer::SeekBy(long milliseconds) {
  const bool ms = TimeFormatIsMilliseconds();
  const long step = ms ? milliseconds : (milliseconds > 0 ? 1 : -1);
  MCI_SEEK_PARMS seek{};
  seek.dwTo = static_cast<DWORD>(std::clamp(Position() + step, 0L, Length()));
  Send(MCI_SEEK, MCI_TO | MCI_WAIT, &seek);
}

void MediaPlayer::SetEnabledButtons(PlayerButtons buttons) {
  enabled_ = buttons & kAllPlayerButtons;
  for (const ButtonDesign& design : kButtons) {
    EnableWindow(GetDlgItem(window_, kFirstButtonId + static_cast<int>(design.button)),
                 (enabled_ & ButtonBit(design.button)) != 0);
  }
}

void MediaPlayer::Draw(const DRAWITEMSTRUCT& item) const {
  const auto button = static_cast<PlayerButton>(item.CtlID - kFirstButtonId);
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(item.hDC, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  const COLORREF colour = !enabled                          ? GetSysColor(COLOR_GRAYTEXT)
                          : button == PlayerButton::Record ? RGB(192, 0, 0)
                          : button == PlayerButton::Play   ? RGB(0, 128, 0)
                                                            : RGB(0, 0, 0);
  const win::UniqueHandle<win::GdiObjectTraits<HBRUSH>> brush(CreateSolidBrush(colour));
  const win::UniqueHandle<win::GdiObjectTraits<HPEN>> pen(CreatePen(PS_SOLID, 1, colour));
  {
    const win::Selection brushSelected(item.hDC, brush.Get());
    const win::Selection penSelected(item.hDC, pen.Get());
    const int shift = pushed ? 1 : 0;
    DrawGlyph(item.hDC, button, (face.left + face.right) / 2 + shift, (face.top + face.bottom) / 2 + shift);
  }
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&face, -3, -3);
    DrawFocusRect(item.hDC, &face);
  }
}

}  // namespace kamolt
