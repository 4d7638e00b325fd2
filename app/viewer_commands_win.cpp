// The viewer's commands that have no other home: copy, save, print and help.
#include <windows.h>
#include <commdlg.h>
#include <winspool.h>

#include <stdexcept>

#include "app/print_layout.h"
#include "app/viewer_win.h"
#include "win/message_box_win.h"
#include "win/start_program_win.h"
#include "win/system_message_win.h"

namespace kamolt {
namespace {

// The printer's device context for the span of a scope.
struct PrinterDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static bool Close(Type h) { return DeleteDC(h); }
};
using PrinterDc = win::UniqueHandle<PrinterDcTraits>;

// The platform's reason, or at least its code.
std::string PlatformError(DWORD code) {
  const std::string message = win::SystemMessage(code);
  return message.empty() ? "Fehler " + std::to_string(code) : message;
}

PrinterDc DefaultPrinter() {
  DWORD length = 0;
  GetDefaultPrinterA(nullptr, &length);
  std::string name(length, '\0');
  if (length == 0 || !GetDefaultPrinterA(name.data(), &length)) throw std::runtime_error("Kein Standarddrucker vorhanden");
  name.resize(length > 0 ? length - 1 : 0);
  PrinterDc printer(CreateDCA("WINSPOOL", name.c_str(), nullptr, nullptr));
  if (!printer) throw std::runtime_error("Der Drucker " + name + " ist nicht bereit: " + PlatformError(GetLastError()));
  return printer;
}

}  // namespace

void Viewer::CopyPicture() {
  win::Bitmap bitmap = picture_.Render();
  const win::OpenClipboardScope clipboard(window_);
  if (!clipboard.IsOpen() || !EmptyClipboard()) throw std::runtime_error("Die Zwischenablage ist nicht verfügbar");
  if (!SetClipboardData(CF_BITMAP, bitmap.Get())) throw std::runtime_error("Die Zwischenablage ist nicht verfügbar");
  bitmap.Release();  // the clipboard owns it now
}

void Viewer::SaveBMPClick() {
  char chosen[MAX_PATH] = "";
  static constexpr char kFilter[] = "Bitmaps (*.bmp)\0*.bmp\0";
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = chosen;
  dialog.nMaxFile = sizeof chosen;
  dialog.lpstrDefExt = "bmp";
  // The working folder belongs to the folder list; the dialog must not move it.
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&dialog)) return;
  picture_.SaveToFile(chosen);
}

void Viewer::PrintPicture() {
  // Refused before a job begins: an empty picture has nothing to scale.
  if (picture_.Width() == 0 || picture_.Height() == 0) throw std::runtime_error("Es ist kein Bild zum Drucken geladen.");
  const std::vector<std::uint8_t> dib = picture_.RenderDib24();
  const PrinterDc printer = DefaultPrinter();
  const HDC dc = printer.Get();

  DOCINFOA document{};
  document.cbSize = sizeof document;
  document.lpszDocName = "Kamolt";
  if (StartDocA(dc, &document) <= 0) throw std::runtime_error("Der Druck kann nicht beginnen: " + PlatformError(GetLastError()));
  bool printed = false;
  if (StartPage(dc) > 0) {
    LOGFONTA font{};
    font.lfHeight = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
    lstrcpyA(font.lfFaceName, "Arial");
    const win::UniqueHandle<win::GdiObjectTraits<HFONT>> titleFont(CreateFontIndirectA(&font));
    const win::Selection selected(dc, titleFont.Get());
    SIZE sample{};
    GetTextExtentPoint32A(dc, "Ag", 2, &sample);

    const PrintLayout layout = LayOutPrint({GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)},
                                           {picture_.Width(), picture_.Height()}, sample.cy);
    char title[512];
    const int titleLength = GetWindowTextA(window_, title, sizeof title);
    TextOutA(dc, layout.titleX, layout.titleY, title, titleLength);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    StretchDIBits(dc, 0, layout.pictureTop, layout.printed.width, layout.printed.height, 0, 0, picture_.Width(),
                  picture_.Height(), dib.data() + sizeof(BITMAPINFOHEADER), info, DIB_RGB_COLORS, SRCCOPY);
    printed = EndPage(dc) > 0;
  }
  if (!printed) {
    AbortDoc(dc);
    throw std::runtime_error("Der Druck ist misslungen: " + PlatformError(GetLastError()));
  }
  EndDoc(dc);
}

void Viewer::OnHelp() { win::StartHelp(); }

}  // namespace kamolt
