// Sizing, placing and scrolling the viewer.
#include <algorithm>

#include "app/viewer_win.h"
#include "base/settings_keys.h"

namespace kamolt {
namespace {

constexpr UINT kDrawTimerInterval = 100;

}  // namespace

Size Viewer::Screen() const { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Size Viewer::ClientSize() const {
  RECT client;
  GetClientRect(window_, &client);
  return {client.right, client.bottom};
}

Size Viewer::ControlSize() const {
  RECT bounds;
  GetWindowRect(image_, &bounds);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

void Viewer::SetViewSize(int height, int width) {
  scrollRange_ = ScrollRanges(Screen(), {width, height});
  const DWORD style = static_cast<DWORD>(GetWindowLongA(window_, GWL_STYLE));
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, style & ~(WS_HSCROLL | WS_VSCROLL), FALSE, 0);
  // The frame must also make room for the scroll bars that the requested size needs.
  if (scrollRange_.height) frame.right += GetSystemMetrics(SM_CXVSCROLL);
  if (scrollRange_.width) frame.bottom += GetSystemMetrics(SM_CYHSCROLL);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Showing a scroll bar resizes the client area once more, so the bars come before the
  // control takes the requested size.
  // A bar that appears takes room from the other's page, so the pages are set once more.
  for (int pass = 0; pass < 2; ++pass) {
    const Size client = ClientSize();
    UpdateScrollBar(SB_VERT, scrollRange_.height, client.height);
    UpdateScrollBar(SB_HORZ, scrollRange_.width, client.width);
  }
  view_ = {width, height};
  SetWindowPos(image_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceImage();
}

void Viewer::UpdateScrollBar(int bar, int range, int page) {
  SCROLLINFO info = win::ScrollQuery(SIF_RANGE | SIF_PAGE);
  info.nMax = range > 0 ? range - 1 : 0;
  info.nPage = range > 0 ? static_cast<UINT>(std::max(page, 1)) : 0;
  SetScrollInfo(window_, bar, &info, TRUE);
  ShowScrollBar(window_, bar, range > page);
}

void Viewer::ScrollBy(int bar, int delta) {
  const int range = bar == SB_VERT ? scrollRange_.height : scrollRange_.width;
  if (range == 0 || delta == 0) return;
  SCROLLINFO info = win::ScrollQuery(SIF_POS);
  GetScrollInfo(window_, bar, &info);
  info.nPos += delta;  // the platform keeps the position inside the range
  SetScrollInfo(window_, bar, &info, TRUE);
  PlaceImage();
}

void Viewer::PlaceImage() {
  SCROLLINFO vertical = win::ScrollQuery(SIF_POS);
  SCROLLINFO horizontal = win::ScrollQuery(SIF_POS);
  GetScrollInfo(window_, SB_VERT, &vertical);
  GetScrollInfo(window_, SB_HORZ, &horizontal);
  SetWindowPos(image_, nullptr, scrollRange_.width ? -horizontal.nPos : 0, scrollRange_.height ? -vertical.nPos : 0, 0,
               0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Viewer::ApplyViewKey(char key) {
  const ViewChange change =
      ViewKey(key, Screen(), {picture_.Width(), picture_.Height()}, ControlSize());
  if (change.changesStretch) stretch_ = change.stretch;
  // Written only when it changes, so that fitting after every load does not write the file.
  if (change.storedFitMode >= 0 && Read(Settings(), settings::kFitMode) != change.storedFitMode) {
    Write(Settings(), settings::kFitMode, change.storedFitMode);
  }
  SetViewSize(change.size.height, change.size.width);
  InvalidateRect(image_, nullptr, TRUE);
}

bool Viewer::FitToScreenNow(FitMode mode) {
  switch (mode) {
    case FitMode::FullScreen: {
      const Size usable = UsableClientSize(Screen());
      SetViewSize(usable.height, usable.width);
      return true;
    }
    case FitMode::Adjust: ApplyViewKey('A'); return true;
    case FitMode::ShowComplete: ApplyViewKey('G'); return true;
    case FitMode::NaturalSize: return false;
  }
  return false;
}

void Viewer::ProcFitToScreen() {
  // Natural size waits for the draw timer, so that a picture that is still arriving is measured once it is there.
  if (!FitToScreenNow(FitModeFromSetting(Read(Settings(), settings::kFitMode)))) {
    SetTimer(window_, kDrawTimer, kDrawTimerInterval, nullptr);
  }
}

void Viewer::OnDrawTimer() {
  const FitMode mode = FitModeFromSetting(Read(Settings(), settings::kFitMode));
  KillTimer(window_, kDrawTimer);
  if (picture_.Height() == 0) return;
  if (!FitToScreenNow(mode)) SetViewSize(picture_.Height(), picture_.Width());
}

void Viewer::OnResize() {
  const Size client = ClientSize();
  view_ = client;
  SetWindowPos(image_, nullptr, 0, 0, client.width, client.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT bounds;
  GetWindowRect(window_, &bounds);
  const Size screen = Screen();
  const int top = PlaceOnAxis(bounds.top, bounds.bottom - bounds.top, homeTop_, screen.height);
  const int left = PlaceOnAxis(bounds.left, bounds.right - bounds.left, homeLeft_, screen.width);
  if (top != bounds.top || left != bounds.left) {
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace kamolt
