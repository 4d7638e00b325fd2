#include "app/print_layout.h"

#include <algorithm>

namespace kamolt {

PrintLayout LayOutPrint(Size page, Size picture, int textHeight) {
  PrintLayout layout;
  layout.titleY = std::max(92 - textHeight, 1);
  layout.pictureTop = textHeight;
  const long long sH = (static_cast<long long>(page.height) - 110 - textHeight) * 256 / picture.height;
  const long long sW = (static_cast<long long>(page.width) - 40) * 256 / picture.width;
  const long long s = std::max(std::min(sH, sW), 0LL);
  layout.printed = {static_cast<int>(picture.width * s / 256), static_cast<int>(picture.height * s / 256)};
  return layout;
}

}  // namespace kamolt
