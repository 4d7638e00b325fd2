#pragma once
// A pane below the open dialog's own controls that shows the selected picture scaled into it,
// with its size, read by the viewer's own readers so that what the pane shows is what "open" gives.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "app/picture_win.h"
#include "win/handles_win.h"

namespace kamolt {

// The pane's controls, for whoever looks at the dialog from outside.
inline constexpr int kPreviewPictureId = 0x4b01;
inline constexpr int kPreviewSizeId = 0x4b02;

class OpenPreview {
 public:
  OpenPreview();
  OpenPreview(const OpenPreview&) = delete;
  OpenPreview& operator=(const OpenPreview&) = delete;

  // Hooks the pane into dialog, which must be shown while this object lives.
  void Attach(OPENFILENAMEA& dialog);

 private:
  static UINT_PTR CALLBACK Hook(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(HWND pane);
  void ShowSelection(HWND pane);
  void DrawPicture(const DRAWITEMSTRUCT& item) const;

  win::GlobalMemory template_;
  Picture picture_;
};

}  // namespace kamolt
