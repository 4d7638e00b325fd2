#include "clip/clipboard_import_win.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <variant>

#include "base/dib.h"
#include "base/scan_settings.h"
#include "clip/clip_dialog_win.h"
#include "convert/external_converter_win.h"
#include "convert/writer_win.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"

namespace kamolt {
namespace {

constexpr DWORD kCaptureSettleMs = 200;
constexpr int kCopyTries = 20;
constexpr DWORD kCopyTryMs = 200;
// Repeat count 1, scan code 0x2E: what a real press of C carries.
constexpr LPARAM kCtrlCKeyData = 0x2E0001;
constexpr WPARAM kCtrlC = 3;

bool PictureOnClipboard() {
  return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_DIBV5) ||
         IsClipboardFormatAvailable(CF_BITMAP);
}

// A packed DIB of the bitmap: 1-bit pictures stay 1-bit, so black-and-white rules still
// apply to them; everything else becomes 24-bit.
win::GlobalMemory DibFromBitmap(HBITMAP bitmap) {
  BITMAP shape{};
  if (!GetObjectA(bitmap, sizeof shape, &shape) || shape.bmWidth <= 0 || shape.bmHeight <= 0) return {};
  const WORD bitCount = shape.bmBitsPixel == 1 ? 1 : 24;
  const auto rowBytes = DibRowBytes(shape.bmWidth, bitCount);
  const std::size_t colours = bitCount == 1 ? 2 : 0;
  if (!rowBytes || *rowBytes > (std::size_t{1} << 31) / static_cast<std::size_t>(shape.bmHeight)) return {};
  const std::size_t pixelOffset = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
  const std::size_t size = pixelOffset + *rowBytes * static_cast<std::size_t>(shape.bmHeight);

  win::GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (!block) return {};
  const win::GlobalLockScope lock(block.Get());
  auto* data = static_cast<std::uint8_t*>(lock.Data());
  if (!data) return {};
  auto* info = reinterpret_cast<BITMAPINFO*>(data);
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = shape.bmWidth;
  info->bmiHeader.biHeight = shape.bmHeight;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = bitCount;
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = static_cast<DWORD>(colours);
  const win::WindowDc screen(nullptr);
  if (GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(shape.bmHeight), data + pixelOffset, info,
                DIB_RGB_COLORS) != shape.bmHeight) {
    return {};
  }
  // GetDIBits may fill in the image size and resolution; the layout stays ours.
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biClrUsed = static_cast<DWORD>(colours);
  return block;
}

// Some capture tools leave only the V5 form; the writer and its modules take the plain one.
win::GlobalMemory DibFromV5(HGLOBAL v5) {
  const win::GlobalLockScope lock(v5);
  const auto* data = static_cast<const std::uint8_t*>(lock.Data());
  if (!data) return {};
  const auto measured = MeasureDib(data, lock.Size());
  const auto* layout = std::get_if<DibLayout>(&measured);
  if (!layout) return {};
  const win::WindowDc screen(nullptr);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(data);
  const win::Bitmap bitmap(
      CreateDIBitmap(screen.Get(), &info->bmiHeader, CBM_INIT, data + layout->pixelOffset, info, DIB_RGB_COLORS));
  if (!bitmap) return {};
  return DibFromBitmap(bitmap.Get());
}

// The clipboard's picture as a plain DIB; the clipboard's own block when it offers one.
struct ClipboardDib {
  HGLOBAL dib = nullptr;
  win::GlobalMemory converted;  // ours when the picture had to be converted
};

ClipboardDib TakeClipboardDib() {
  ClipboardDib picture;
  if ((picture.dib = GetClipboardData(CF_DIB))) return picture;
  if (HGLOBAL v5 = GetClipboardData(CF_DIBV5)) {
    picture.converted = DibFromV5(v5);
  } else if (auto* bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
    picture.converted = DibFromBitmap(bitmap);
  }
  picture.dib = picture.converted.Get();
  return picture;
}

void Store(char (&field)[kScanSettingsNameSize], const std::string& text) {
  const std::size_t length = std::min(text.size(), kScanSettingsNameSize - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

bool FileNameFits(const std::string& fileName) {
  if (fileName.size() <= kFileNameBufferMax) return true;
  win::ShowMessage(GetActiveWindow(), "Dateiname zu lang (höchstens 255 Zeichen) !", kClipboardCaption,
                   MB_OK | MB_ICONSTOP);
  return false;
}

HWND FindCaptureWindow(const std::string& title) {
  if (!title.empty()) {
    if (HWND window = FindWindowA(nullptr, title.c_str())) return window;
  }
  if (HWND window = FindWindowA(nullptr, "CapTestApp")) return window;
  return FindWindowA(nullptr, "Capture Test App");
}

void RequestCaptureCopy(const std::string& windowTitle) {
  const HWND app = FindCaptureWindow(windowTitle);
  if (!app) return;
  SetForegroundWindow(app);
  Sleep(kCaptureSettleMs);
  PostMessageA(app, WM_CHAR, kCtrlC, kCtrlCKeyData);
  SendMessageA(app, WM_CHAR, kCtrlC, kCtrlCKeyData);
  PostMessageA(app, WM_KEYDOWN, kCtrlC, kCtrlCKeyData);
  SendMessageA(app, WM_KEYDOWN, kCtrlC, kCtrlCKeyData);
  for (int i = 0; i < kCopyTries; ++i) {
    {
      // Closed again before waiting: the application needs the clipboard to copy into it.
      const win::OpenClipboardScope clipboard(nullptr);
      if (clipboard.IsOpen() && PictureOnClipboard()) break;
    }
    Sleep(kCopyTryMs);
  }
  if (HWND dialog = FindWindowA(kClipDialogClass, nullptr)) SetForegroundWindow(dialog);
}

bool SaveClipboardPicture(std::string& fileName, int formatCode, const std::string& windowTitle, bool invert) {
  if (!FileNameFits(fileName)) return false;
  ClipboardDib picture;
  auto clipboard = std::make_unique<win::OpenClipboardScope>(nullptr);
  if (!clipboard->IsOpen()) {
    const DWORD code = GetLastError();
    win::ShowMessage(GetActiveWindow(), "Fehler " + std::to_string(code) + " beim Öffnen der Zwischenablage !",
                     kClipboardCaption);
    return false;
  }
  picture = TakeClipboardDib();
  if (!picture.dib) {
    clipboard.reset();
    RequestCaptureCopy(windowTitle);
    clipboard = std::make_unique<win::OpenClipboardScope>(nullptr);
    if (clipboard->IsOpen()) picture = TakeClipboardDib();
  }
  if (!picture.dib) {
    // Let go of the clipboard before the user is asked to read anything.
    clipboard.reset();
    win::ShowMessage(nullptr, "Zwischenablage enthält keine Grafikdaten !", kClipboardCaption, MB_OK);
    return false;
  }

  ScanSettings settings;
  settings.formatCode = formatCode;
  settings.pixelFlavor = invert ? 1 : 0;
  Store(settings.fileName, fileName);
  Store(settings.converterPath, LocateExternalConverter());
  const INT32 written = ConvertDIBtoFile(picture.dib, settings, 0);
  fileName.assign(settings.fileName, strnlen(settings.fileName, kScanSettingsNameSize));
  EmptyClipboard();
  return written != 0;
}

}  // namespace kamolt
