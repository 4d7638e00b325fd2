#include "app/png_reader.h"

#include <png.h>

#include <cstring>

#include "base/dib.h"

namespace kamolt {

std::variant<std::vector<std::uint8_t>, PngReadError> ReadPngAsDib(const std::vector<std::uint8_t>& fileBytes) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, fileBytes.data(), fileBytes.size())) {
    return PngReadError{std::string("PNG-Datei fehlerhaft: ") + image.message};
  }
  image.format = PNG_FORMAT_BGR;
  auto dib = NewDib24(static_cast<int>(image.width), static_cast<int>(image.height));
  if (image.width > 0x7FFFFFFF || image.height > 0x7FFFFFFF || !dib) {
    png_image_free(&image);
    return PngReadError{"PNG-Datei zu gross"};
  }
  const auto stride = static_cast<png_int_32>(*DibRowBytes(image.width, 24));
  png_color white{255, 255, 255};
  // A negative stride makes libpng fill the rows bottom-up, as the DIB wants them.
  if (!png_image_finish_read(&image, &white, dib->data() + kDibHeaderSize, -stride, nullptr)) {
    png_image_free(&image);
    return PngReadError{std::string("PNG-Datei fehlerhaft: ") + image.message};
  }
  return std::move(*dib);
}

}  // namespace kamolt
