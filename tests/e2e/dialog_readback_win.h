// Reading a dialog of another process back from its real window: its controls' places,
// lists, check marks and where the keyboard focus is.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness_win.h"

namespace e2e {

// Asked for in UTF-16 and turned into the Windows code page here: Wine hands an ANSI
// request from another process its entries in UTF-16.
inline std::vector<std::string> ComboEntries(HWND combo) {
  std::vector<std::string> entries;
  const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t wide[512] = L"";
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
    char entry[1024] = "";
    WideCharToMultiByte(1252, 0, wide, -1, entry, sizeof entry, nullptr, nullptr);
    entries.emplace_back(entry);
  }
  return entries;
}

// A control's bounds in its dialog's client area.
inline RECT BoundsIn(HWND dialog, HWND control) {
  RECT r = WindowRect(control);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

inline bool HasStyle(HWND control, LONG style) { return (GetWindowLongA(control, GWL_STYLE) & style) == style; }

inline bool IsCheckedButton(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The ids of the dialog's controls in their order, which is also the order of Tab.
inline std::vector<int> ChildOrder(HWND dialog) {
  std::vector<int> ids;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ids.push_back(GetDlgCtrlID(c));
  return ids;
}

// The ids of the dialog's controls that Tab visits, in its order.
inline std::vector<int> TabOrder(HWND dialog) {
  std::vector<int> ids;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (HasStyle(c, WS_TABSTOP)) ids.push_back(GetDlgCtrlID(c));
  }
  return ids;
}

// The window that has the keyboard focus in the thread that runs `window`.
inline HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// The edit field of a combo box that has one.
inline HWND ComboEdit(HWND combo) { return FindWindowExA(combo, nullptr, "Edit", nullptr); }

}  // namespace e2e
