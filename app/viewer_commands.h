#pragma once
// One command space for the viewer: typed characters, virtual keys and popup-menu items
// all resolve to these commands.
#include <optional>

namespace kamolt {

enum class ViewerCommand {
  CopyPicture,
  PreviousPicture,
  NextPicture,
  FirstPicture,
  LastPicture,
  Close,
  CloseAndTerminate,
  OpenPicture,
  Print,
  ScrollPageUp,
  ScrollPageDown,
  ScrollUp,
  ScrollDown,
  ScrollLeft,
  ScrollRight,
  ScrollTop,
  ScrollBottom,
  ScrollFarLeft,
  ScrollFarRight,
};

// Virtual key codes of the platform, so the map below needs no platform header.
namespace keys {
inline constexpr int kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23, kHome = 0x24;
inline constexpr int kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kDelete = 0x2E;
}  // namespace keys

// Characters arrive as typed, so Shift matters; Ctrl+C arrives as character 3.
std::optional<ViewerCommand> CommandForCharacter(char typed);
std::optional<ViewerCommand> CommandForKey(int virtualKey, bool ctrl);

}  // namespace kamolt
