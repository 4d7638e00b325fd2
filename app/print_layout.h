#pragma once
// Where the picture and its title go on a printed page, in printer pixels. Scale factors
// are in 1/256 and every division truncates, so the picture never spills off the page.
#include "app/view_geometry.h"

namespace kamolt {

struct PrintLayout {
  int titleX = 30;
  int titleY = 0;
  int pictureTop = 0;  // the picture starts right under the title's line
  Size printed;
};

// textHeight is the height of "Ag" in the 8-point title font; picture must not be empty.
PrintLayout LayOutPrint(Size page, Size picture, int textHeight);

}  // namespace kamolt
