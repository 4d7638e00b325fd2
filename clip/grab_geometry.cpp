#include "clip/grab_geometry.h"

#include <cstdio>

namespace kamolt {

GrabRectangle GrabRectangleFor(int windowWidth, int windowHeight, int clientWidth, int clientHeight, bool stampBand) {
  GrabRectangle r;
  r.left = (windowWidth - clientWidth) / 2;
  r.top = (windowHeight - clientHeight) - r.left;
  r.width = clientWidth;
  r.height = clientHeight + (stampBand ? kStampBandRows : 0);
  return r;
}

StampPlacement PlaceStamp(char position, int width, int height, int textWidth, int textHeight) {
  switch (position) {
    case kStampInBand: return {0, height - textHeight, true};
    case '1': return {width - textWidth, 0, false};
    case '2': return {width - textWidth, height - textHeight, false};
    case '4': return {0, 0, false};
    default: return {0, height - textHeight, false};
  }
}

std::string StampLine(std::string_view shortDate, int hour, int minute, std::string_view stampText) {
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d", hour, minute);
  std::string line = " ";
  line += shortDate;
  line += ' ';
  line += time;
  line += "  ";
  line += stampText;
  return line;
}

}  // namespace kamolt
