#pragma once
// Where a grab copies from in the target window, and where the stamp goes in the picture.
#include <string>
#include <string_view>

namespace kamolt {

// Rows added below the client area for a stamp in its own white band.
inline constexpr int kStampBandRows = 16;

struct GrabRectangle {
  int left = 0;  // in the whole window's drawing context, frame included
  int top = 0;
  int width = 0;
  int height = 0;
};

// The client area inside the window rectangle: the frame is taken to be equally wide left
// and right, and whatever is left above the client area after the bottom frame is the
// caption. A stamp in its own band makes the picture that much taller.
GrabRectangle GrabRectangleFor(int windowWidth, int windowHeight, int clientWidth, int clientHeight, bool stampBand);

// Stamp positions: '0' bottom left in its own white band, '1' top right, '2' bottom right,
// '4' top left, anything else bottom left.
inline constexpr char kStampInBand = '0';
inline bool StampHasBand(std::string_view stampText, char position) {
  return !stampText.empty() && position == kStampInBand;
}

struct StampPlacement {
  int x = 0;
  int y = 0;
  bool whiteBand = false;  // fill the bottom rows white first
};
StampPlacement PlaceStamp(char position, int width, int height, int textWidth, int textHeight);

// " date hh:mm  text": the text as the dialog stored it, after the date and time.
std::string StampLine(std::string_view shortDate, int hour, int minute, std::string_view stampText);

}  // namespace kamolt
