// A stand-in for a video capture program: a window titled "Capture Test App" that shows a
// known picture changing from frame to frame, and copies the current frame to the clipboard
// on Ctrl+C, as capture programs do. It lets a user try grabbing without a camera.
//   CapTestApp.exe [/W<client width>] [/H<client height>] [/F<frame>] [/T<title>] [/N]
// /F holds that frame (no timer), /T gives another title, /N never copies.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kClass[] = "KamoltCaptureTestApp";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMs = 100;

struct Options {
  int width = 320;
  int height = 240;
  int frame = 0;
  bool hold = false;
  bool copies = true;
  std::string title = "Capture Test App";
};
Options options;

// Pure colours, so any screen depth of 16 bits or more shows them unchanged.
constexpr COLORREF kBars[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                              RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(0, 0, 0)};

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  const RECT area{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &area, brush);
  DeleteObject(brush);
}

// Eight colour bars over three quarters of the height; below them a black strip with a
// white block that walks one step per frame and the frame number.
void PaintFrame(HDC dc, int frame) {
  const int w = options.width, h = options.height, barBottom = h * 3 / 4;
  for (int i = 0; i < 8; ++i) Fill(dc, i * w / 8, 0, (i + 1) * w / 8, barBottom, kBars[i]);
  Fill(dc, 0, barBottom, w, h, RGB(0, 0, 0));
  const int step = w / 16 > 0 ? w / 16 : 1;
  const int x = (frame % 16) * step;
  Fill(dc, x, barBottom + 2, x + step, barBottom + (h - barBottom) / 2, RGB(255, 255, 255));
  char text[32];
  std::snprintf(text, sizeof text, "Frame %d", frame);
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, 4, barBottom + (h - barBottom) / 2, text, static_cast<int>(std::strlen(text)));
}

// The frame as a packed 24-bit DIB in a movable block, ready for the clipboard.
HGLOBAL FrameDib(int frame) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = options.width;
  info.bmiHeader.biHeight = options.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGLOBAL block = nullptr;
  if (section && bits) {
    HGDIOBJ previous = SelectObject(memory, section);
    PaintFrame(memory, frame);
    GdiFlush();
    const std::size_t rowBytes = (static_cast<std::size_t>(options.width) * 3 + 3) & ~std::size_t{3};
    const std::size_t pixels = rowBytes * static_cast<std::size_t>(options.height);
    block = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + pixels);
    if (void* data = block ? GlobalLock(block) : nullptr) {
      std::memcpy(data, &info.bmiHeader, sizeof(BITMAPINFOHEADER));
      std::memcpy(static_cast<char*>(data) + sizeof(BITMAPINFOHEADER), bits, pixels);
      GlobalUnlock(block);
    }
    SelectObject(memory, previous);
  }
  if (section) DeleteObject(section);
  DeleteDC(memory);
  return block;
}

void CopyFrame(HWND window, int frame) {
  HGLOBAL dib = FrameDib(frame);
  if (!dib) return;
  if (OpenClipboard(window)) {
    EmptyClipboard();
    if (SetClipboardData(CF_DIB, dib)) dib = nullptr;  // the clipboard's now
    CloseClipboard();
  }
  if (dib) GlobalFree(dib);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      ++options.frame;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintFrame(dc, options.frame);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the frame covers the whole client area
    case WM_CHAR:
      if (wParam == 3 && options.copies) CopyFrame(window, options.frame);  // Ctrl+C
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void ReadOptions() {
  for (int i = 1; i < __argc; ++i) {
    const char* argument = __argv[i];
    if (argument[0] != '/' || argument[1] == '\0') continue;
    const char* value = argument + 2;
    switch (argument[1]) {
      case 'W': options.width = std::max(16, std::atoi(value)); break;
      case 'H': options.height = std::max(16, std::atoi(value)); break;
      case 'F':
        options.frame = std::atoi(value);
        options.hold = true;
        break;
      case 'T': options.title = value; break;
      case 'N': options.copies = false; break;
      default: break;
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  ReadOptions();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kClass;
  if (!RegisterClassA(&windowClass)) return 1;

  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, options.width, options.height};
  AdjustWindowRect(&frame, style, FALSE);
  HWND window = CreateWindowA(kClass, options.title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  if (!options.hold) SetTimer(window, kFrameTimer, kFrameMs, nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
