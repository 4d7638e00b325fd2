#pragma once
// The viewer's sizing rules in plain integer arithmetic: the view keys, fitting a picture
// to the screen, and keeping the window on the screen.

namespace kamolt {

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

// The caption bar and frame the viewer allows for around its client area.
inline constexpr int kFrameAllowanceWidth = 8;
inline constexpr int kFrameAllowanceHeight = 27;
Size UsableClientSize(Size screen);

enum class FitMode { NaturalSize = 0, FullScreen = 1, Adjust = 2, ShowComplete = 3 };
// Stored values outside the known ones mean natural size.
FitMode FitModeFromSetting(int stored);

struct ViewChange {
  Size size;
  bool stretch;          // whether the picture is scaled to the control afterwards
  bool changesStretch;   // false: the stretch flag stays as it was
  int storedFitMode;     // -1: the stored fit mode stays
};

// The view key characters "*", "/", "A", "a", "G", "g", "+" and "-"; nothing for others.
bool IsViewKey(char key);
ViewChange ViewKey(char key, Size screen, Size picture, Size control);

// Tenths of the limiting scale factor where they hold the aspect ratio to within a tenth,
// the exact factor where they would not; never a side of 0 pixels.
Size AdjustToScreen(Size usable, Size picture);

// The scroll range each bar needs for a requested client size (0: no bar).
Size ScrollRanges(Size screen, Size requested);

// One axis of the window's placement after a resize: push the window back onto the screen,
// never past -4, or return it home when it fits there.
int PlaceOnAxis(int position, int outerLength, int home, int screenLength);

}  // namespace kamolt
