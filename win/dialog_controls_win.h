#pragma once
// Dialog windows built from a table of design bounds: each control created at its place in
// the dialog font, and the small reads and writes that the dialogs' handlers make.
#include <windows.h>

#include <string>
#include <vector>

namespace kamolt::win {

enum class ControlKind {
  Button,
  DefaultButton,
  Label,
  EditCombo,  // combo box with an edit field
  ListCombo,  // combo box that only picks from its list
  CheckBox,
  RadioButton,
  GroupBox,
  Edit,
};

struct ControlDesign {
  int id;
  ControlKind kind;
  const char* caption;
  int left, top, width, height;  // in the client area of the dialog
  DWORD extraStyle;              // WS_GROUP where the arrow keys' group begins, and the like
};

// The dialog font: "MS Sans Serif", 8 points.
HFONT CreateDialogFont();

// Creates the control as designed and gives it the font. A combo box's closed field keeps
// its designed height. Throws when the control cannot be made.
HWND CreateDesignedControl(HWND dialog, const ControlDesign& design, HFONT font);

// The frame of a window whose client area has the designed size.
SIZE FrameSizeFor(int clientWidth, int clientHeight, DWORD style, DWORD exStyle);

std::string TextOf(HWND window);
void SetText(HWND window, const std::string& text);
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);
std::vector<std::string> ComboEntries(HWND combo);
void SetComboEntries(HWND combo, const std::vector<std::string>& entries);
// -1 selects nothing and leaves the edit field's text.
void SelectComboEntry(HWND combo, int index);

}  // namespace kamolt::win
