#include "app/view_geometry.h"

#include <algorithm>
#include <string_view>

namespace kamolt {

Size UsableClientSize(Size screen) {
  return {screen.width - kFrameAllowanceWidth, screen.height - kFrameAllowanceHeight};
}

FitMode FitModeFromSetting(int stored) {
  return (stored >= 0 && stored <= 3) ? static_cast<FitMode>(stored) : FitMode::NaturalSize;
}

namespace {

// Windows have no sizes past 32767; repeated zooming stops there instead of overflowing.
int ZoomedIn(int length) { return static_cast<int>(std::min(static_cast<long long>(length) * 3 / 2, 32767LL)); }

}  // namespace

bool IsViewKey(char key) { return key != '\0' && std::string_view("*/AaGg+-").find(key) != std::string_view::npos; }

Size AdjustToScreen(Size usable, Size picture) {
  const long long fH = static_cast<long long>(usable.height) * 10 / picture.height;
  const long long fW = static_cast<long long>(usable.width) * 10 / picture.width;
  const bool widthFull = fH > fW;
  const Size tenths = widthFull ? Size{usable.width, static_cast<int>(picture.height * fW / 10)}
                                : Size{static_cast<int>(picture.width * fH / 10), usable.height};
  // Rounding the factor down to tenths squeezes the other side by up to a whole tenth of
  // the scale: nothing for small pictures, but it flattens a photo many times the screen's
  // size or leaves a side 0 pixels long. That side is factor/10 of the picture while the full
  // side is fullLength/pictureLength of it, so within a tenth means factor * pictureLength >= 9 * fullLength.
  const long long factor = widthFull ? fW : fH;
  const long long fullLength = widthFull ? usable.width : usable.height;
  const long long pictureLength = widthFull ? picture.width : picture.height;
  if (factor * pictureLength >= 9 * fullLength && tenths.width > 0 && tenths.height > 0) return tenths;
  // The exact scale instead: the side that truly limits fills the screen (tenths can pick the
  // other one), and the other side keeps the proportion, never shorter than a pixel.
  const bool widthLimits = static_cast<long long>(usable.width) * picture.height <
                           static_cast<long long>(usable.height) * picture.width;
  if (widthLimits) {
    return {usable.width,
            static_cast<int>(std::max(1LL, static_cast<long long>(picture.height) * usable.width / picture.width))};
  }
  return {static_cast<int>(std::max(1LL, static_cast<long long>(picture.width) * usable.height / picture.height)),
          usable.height};
}

ViewChange ViewKey(char key, Size screen, Size picture, Size control) {
  const Size usable = UsableClientSize(screen);
  const bool empty = picture.height == 0 || picture.width == 0;
  if ((key == 'A' || key == 'a') && empty) key = '*';
  switch (key) {
    case '*': return {picture, false, true, 0};
    case '/': return {usable, true, true, 1};
    case 'A':
    case 'a': return {AdjustToScreen(usable, picture), true, true, 2};
    case 'G':
    case 'g':
      if (empty || (picture.height < usable.height && picture.width < usable.width)) return {picture, false, true, 3};
      return {AdjustToScreen(usable, picture), true, true, 3};
    case '+': return {{ZoomedIn(control.width), ZoomedIn(control.height)}, true, true, -1};
    case '-': return {{control.width * 2 / 3, control.height * 2 / 3}, true, true, -1};
    default: return {control, false, false, -1};
  }
}

Size ScrollRanges(Size screen, Size requested) {
  return {screen.width < requested.width + kFrameAllowanceWidth ? requested.width : 0,
          screen.height < requested.height + kFrameAllowanceHeight ? requested.height : 0};
}

int PlaceOnAxis(int position, int outerLength, int home, int screenLength) {
  if (position + outerLength > screenLength) return std::max(screenLength - outerLength, -4);
  if (home + outerLength < screenLength) return home;
  return position;
}

}  // namespace kamolt
