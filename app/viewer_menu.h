#pragma once
// Command identifiers of the viewer's popup menu, in menu order. Other programs (and the
// end-to-end tests) may send them as WM_COMMAND.

namespace kamolt::viewer_menu {

inline constexpr int kOriginalSize = 101;
inline constexpr int kFitToScreen = 102;
inline constexpr int kAdjust = 103;
inline constexpr int kShowComplete = 104;
inline constexpr int kZoomIn = 105;
inline constexpr int kZoomOut = 106;
inline constexpr int kOpenPic = 107;
inline constexpr int kPrintPic = 108;
inline constexpr int kMenuScan = 109;
inline constexpr int kMenuClipb = 110;
inline constexpr int kSaveBmp = 111;

}  // namespace kamolt::viewer_menu
