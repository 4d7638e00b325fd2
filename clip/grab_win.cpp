#include "clip/grab_win.h"

#include <mmsystem.h>

#include "clip/clipboard_import_win.h"
#include "clip/grab_geometry.h"
#include "clip/grab_run.h"
#include "clip/hand_off.h"
#include "clip/hand_off_win.h"
#include "clip/serial_switch_win.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"

namespace kamolt {
namespace {

void Refuse(const std::string& text) { win::ShowMessage(GetActiveWindow(), text, "Fehler"); }

// The drawing context of the whole window, frame and caption included.
class WholeWindowDc {
 public:
  explicit WholeWindowDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
  WholeWindowDc(const WholeWindowDc&) = delete;
  WholeWindowDc& operator=(const WholeWindowDc&) = delete;
  ~WholeWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Puts the target's client area on the clipboard as a bitmap. A failure is told to the
// user; the save that follows then finds whatever the clipboard holds.
void CaptureToClipboard(HWND target, const GrabStamp& stamp) {
  RECT window{}, client{};
  GetWindowRect(target, &window);
  GetClientRect(target, &client);
  const GrabRectangle area = GrabRectangleFor(window.right - window.left, window.bottom - window.top, client.right,
                                              client.bottom, StampHasBand(stamp.text, stamp.position));
  const WholeWindowDc source(target);
  const win::MemoryDc memory(CreateCompatibleDC(source.Get()));
  win::Bitmap bitmap(CreateCompatibleBitmap(source.Get(), area.width, area.height));
  if (!bitmap) {
    Refuse("CreateCompatibleBitmap");
    return;
  }
  const HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
  if (!previous) {
    Refuse("Compatible Bitmap Selection");
    return;
  }
  const bool copied =
      BitBlt(memory.Get(), 0, 0, area.width, area.height, source.Get(), area.left, area.top, SRCCOPY);
  if (!copied) {
    SelectObject(memory.Get(), previous);
    Refuse("Screen to Compat Blt Failed");
    return;
  }
  const win::OpenClipboardScope clipboard(nullptr);
  if (clipboard.IsOpen() && !stamp.text.empty()) DrawStamp(memory.Get(), area.width, area.height, stamp);
  // Out of the memory context before anyone else reads it.
  SelectObject(memory.Get(), previous);
  if (clipboard.IsOpen() && EmptyClipboard() && SetClipboardData(CF_BITMAP, bitmap.Get())) bitmap.Release();
}

class WindowGrab : public GrabActions {
 public:
  WindowGrab(HWND target, int formatCode, const std::string& windowTitle, const GrabDialog& dialog)
      : target_(target), formatCode_(formatCode), windowTitle_(windowTitle), dialog_(dialog) {}

  void BringTargetToFront() override { SetForegroundWindow(target_); }
  bool TargetInFront() override { return GetForegroundWindow() == target_; }
  void Tone(unsigned hz, unsigned milliseconds) override { Beep(hz, milliseconds); }
  void PlayWave() override {
    PlaySoundA(dialog_.wavFile.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
  }
  void RepaintTarget() override {
    RedrawWindow(target_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  void Capture() override { CaptureToClipboard(target_, dialog_.stamp); }
  bool Save(std::string& fileName) override {
    return SaveClipboardPicture(fileName, formatCode_, windowTitle_, dialog_.invert);
  }
  void SetNameText(const std::string& name) override {
    if (dialog_.setNameText) dialog_.setNameText(name);
  }
  void SetLabel(const std::string& caption) override {
    if (dialog_.setLabel) dialog_.setLabel(caption);
  }
  void NotifyHost(const std::string& fileName, std::int32_t count) override {
    kamolt::NotifyHost(fileName, count, kHandOffMarkerClip);
  }

 private:
  HWND target_;
  int formatCode_;
  const std::string& windowTitle_;
  const GrabDialog& dialog_;
};

}  // namespace

bool GrabWindow(std::string& fileName, int formatCode, const std::string& windowTitle, const std::string& portName,
                const GrabDialog& dialog) {
  if (!FileNameFits(fileName)) return false;
  const HWND target = FindCaptureWindow(windowTitle);
  if (!target) {
    Refuse("Anwendung/Fenster '" + windowTitle + "' läuft nicht!");
    return false;
  }
  win::FileHandle port;
  if (!portName.empty()) {
    port = OpenSwitchPort(portName);
    if (!port) {
      Refuse("Port " + portName + " konnte nicht göffnet werden!");
    } else {
      ConfigureSwitchPort(port.Get());
    }
  }
  PortSwitch line(port.Get());
  ThreadPause pause;
  WindowGrab actions(target, formatCode, windowTitle, dialog);
  const GrabRunOptions options{.beep = dialog.beep, .wave = !dialog.wavFile.empty(), .keyTrigger = !dialog.charKey.empty()};
  return RunGrab(fileName, options, actions, port ? &line : nullptr, pause);
}

void DrawStamp(HDC dc, int width, int height, const GrabStamp& stamp) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char date[80] = "";
  if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof date) == 0) date[0] = '\0';
  const std::string line = StampLine(date, now.wHour, now.wMinute, stamp.text);
  SIZE extent{};
  if (!GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &extent)) return;
  const StampPlacement at = PlaceStamp(stamp.position, width, height, extent.cx, extent.cy);
  if (at.whiteBand) {
    const RECT band{0, height - kStampBandRows, width, height};
    FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, at.x, at.y, line.c_str(), static_cast<int>(line.size()));
}

}  // namespace kamolt
