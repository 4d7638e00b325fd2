#include "app/open_preview_win.h"

#include <memory>
#include <new>
#include <stdexcept>

#include "app/picture_files.h"
#include "app/view_geometry.h"
#include "base/file_io.h"
#include "convert/module_loader_win.h"
#include "win/message_box_win.h"

namespace kamolt {
namespace {

// The pane in dialog units: the picture above a line for its size.
constexpr RECT kPicture{8, 0, 8 + 184, 0 + 96};
constexpr RECT kSizeLine{8, 100, 8 + 184, 100 + 10};
constexpr short kPaneWidth = 200;
constexpr short kPaneHeight = 112;

// Bad files are common while browsing: they get a word in the pane rather than a box each.
Picture ReadPicture(const std::string& path) {
  const std::string key = ExtensionKey(path);
  switch (ReaderFor(key)) {
    case PictureReader::Refused: return {};
    case PictureReader::Converter: {
      win::GlobalMemory converted(ConvertFileToDIB(path, key));
      if (converted.Get() == kNoDib) {
        converted.Release();
        return {};
      }
      return Picture::FromGlobalDib(std::make_shared<const win::GlobalMemory>(std::move(converted)));
    }
    case PictureReader::Png: return Picture::FromPngFile(path);
    case PictureReader::Platform: return Picture::FromFile(path, key);
  }
  return {};
}

HWND CreateStatic(HWND pane, RECT area, DWORD style, int id) {
  MapDialogRect(pane, &area);
  const HWND control = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | style, area.left, area.top,
                                       area.right - area.left, area.bottom - area.top, pane,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageA(control, WM_SETFONT, SendMessageA(GetParent(pane), WM_GETFONT, 0, 0), FALSE);
  return control;
}

}  // namespace

OpenPreview::OpenPreview() {
  // A child template without controls and without a placeholder for the standard ones, so
  // the dialog puts the pane below them; the controls are made when it is shown.
  struct alignas(DWORD) PaneTemplate {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
  };
  template_.Reset(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(PaneTemplate)));
  if (!template_) throw std::bad_alloc();
  auto* pane = static_cast<PaneTemplate*>(static_cast<void*>(template_.Get()));
  pane->dialog.style = WS_CHILD | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL;
  pane->dialog.cx = kPaneWidth;
  pane->dialog.cy = kPaneHeight;
}

void OpenPreview::Attach(OPENFILENAMEA& dialog) {
  dialog.Flags |= OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE;
  dialog.hInstance = static_cast<HINSTANCE>(template_.Get());
  dialog.lpfnHook = &Hook;
  dialog.lCustData = reinterpret_cast<LPARAM>(this);
}

UINT_PTR CALLBACK OpenPreview::Hook(HWND pane, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<OpenPreview*>(reinterpret_cast<const OPENFILENAMEA*>(lParam)->lCustData);
    SetWindowLongPtrA(pane, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    win::RunHandler([&] { self->CreateControls(pane); });
    return TRUE;
  }
  auto* self = reinterpret_cast<OpenPreview*>(GetWindowLongPtrA(pane, GWLP_USERDATA));
  if (!self) return FALSE;
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_SELCHANGE) {
    win::RunHandler([&] { self->ShowSelection(pane); });
    return TRUE;
  }
  if (message == WM_DRAWITEM && reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->CtlID == kPreviewPictureId) {
    win::RunHandler([&] { self->DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); });
    return TRUE;
  }
  return FALSE;
}

void OpenPreview::CreateControls(HWND pane) {
  CreateStatic(pane, kPicture, SS_OWNERDRAW, kPreviewPictureId);
  CreateStatic(pane, kSizeLine, SS_LEFT | SS_NOPREFIX, kPreviewSizeId);
}

void OpenPreview::ShowSelection(HWND pane) {
  char path[MAX_PATH] = "";
  const LRESULT length = SendMessageA(GetParent(pane), CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
  std::string text;
  picture_ = {};
  if (length > 0 && length <= static_cast<LRESULT>(sizeof path) && IsFile(path)) {
    try {
      picture_ = ReadPicture(path);
      if (picture_.GetKind() != Picture::Kind::Empty)
        text = std::to_string(picture_.Width()) + " x " + std::to_string(picture_.Height());
    } catch (const std::runtime_error& error) {
      text = error.what();
    }
  }
  SetDlgItemTextA(pane, kPreviewSizeId, text.c_str());
  InvalidateRect(GetDlgItem(pane, kPreviewPictureId), nullptr, TRUE);
}

void OpenPreview::DrawPicture(const DRAWITEMSTRUCT& item) const {
  const RECT& area = item.rcItem;
  FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
  if (picture_.Width() <= 0 || picture_.Height() <= 0) return;
  // The viewer's own rule for fitting a picture to a space, centred in the pane.
  const Size space{area.right - area.left, area.bottom - area.top};
  const Size shown = AdjustToScreen(space, {picture_.Width(), picture_.Height()});
  const int left = area.left + (space.width - shown.width) / 2;
  const int top = area.top + (space.height - shown.height) / 2;
  picture_.Draw(item.hDC, RECT{left, top, left + shown.width, top + shown.height}, true);
}

}  // namespace kamolt
