#include "win/dialog_controls_win.h"

#include <algorithm>
#include <stdexcept>

namespace kamolt::win {
namespace {

constexpr int kFontHeight = -11;  // 8 points on the 96 dpi screen the dialogs were laid out on
constexpr int kDropDownHeight = 200;

struct ControlClass {
  const char* name;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button: return {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::DefaultButton: return {"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::Label: return {"STATIC", SS_LEFT, 0};
    case ControlKind::EditCombo: return {"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::ListCombo: return {"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::CheckBox: return {"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ControlKind::RadioButton: return {"BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP, 0};
    case ControlKind::GroupBox: return {"BUTTON", BS_GROUPBOX, 0};
    case ControlKind::Edit: return {"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
  }
  return {"STATIC", 0, 0};
}

bool IsCombo(ControlKind kind) { return kind == ControlKind::EditCombo || kind == ControlKind::ListCombo; }

}  // namespace

HFONT CreateDialogFont() {
  return CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

HWND CreateDesignedControl(HWND dialog, const ControlDesign& design, HFONT font) {
  const ControlClass kind = ClassOf(design.kind);
  const bool combo = IsCombo(design.kind);
  const HWND control =
      CreateWindowExA(kind.exStyle, kind.name, design.caption, WS_CHILD | WS_VISIBLE | kind.style | design.extraStyle,
                      design.left, design.top,
                      design.width, combo ? design.height + kDropDownHeight : design.height, dialog,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), GetModuleHandleA(nullptr), nullptr);
  if (!control) throw std::runtime_error("Das Dialogelement " + std::to_string(design.id) + " fehlt");
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (combo) {
    // A combo box takes no text from its creation: its edit field gets the designed one here.
    if (*design.caption) SetWindowTextA(control, design.caption);
    // The closed field keeps its designed height whatever the font makes of it. The combo
    // box may settle its height only on the next change, so it is measured again.
    for (int tries = 0; tries < 3; ++tries) {
      RECT shown;
      GetWindowRect(control, &shown);
      const LONG missing = design.height - (shown.bottom - shown.top);
      if (missing == 0) break;
      const LRESULT item = SendMessageA(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
      SendMessageA(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item + missing);
    }
  }
  return control;
}

SIZE FrameSizeFor(int clientWidth, int clientHeight, DWORD style, DWORD exStyle) {
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

std::string TextOf(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetText(HWND window, const std::string& text) { SetWindowTextA(window, text.c_str()); }

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) {
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::vector<std::string> ComboEntries(HWND combo) {
  const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  std::vector<std::string> entries;
  for (int i = 0; i < count; ++i) {
    const LRESULT length = std::max<LRESULT>(SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0), 0);
    std::string entry(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<std::size_t>(length));
    entries.push_back(std::move(entry));
  }
  return entries;
}

void SetComboEntries(HWND combo, const std::vector<std::string>& entries) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& entry : entries) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
}

void SelectComboEntry(HWND combo, int index) {
  if (index >= 0) SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace kamolt::win
