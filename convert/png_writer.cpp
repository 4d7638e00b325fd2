#include "convert/png_writer.h"

#include <png.h>

#include <cstring>

#include "base/dib_pixels.h"

namespace kamolt {
namespace {

PngWriteError Failed(png_image& image) {
  PngWriteError error{std::string("PNG-Datei kann nicht geschrieben werden: ") + image.message};
  png_image_free(&image);
  return error;
}

}  // namespace

std::variant<std::vector<std::uint8_t>, PngWriteError> EncodeDibAsPng(const std::uint8_t* block, std::size_t blockSize) {
  const auto viewed = ViewDib(block, blockSize);
  if (const auto* refused = std::get_if<DibError>(&viewed)) return PngWriteError{refused->message};
  const DibPicture& picture = std::get<DibPicture>(viewed);
  const auto width = static_cast<std::size_t>(picture.Width());

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.Width());
  image.height = static_cast<png_uint_32>(picture.Height());

  // libpng's simplified writer takes one byte per palette index; the colour map has all
  // 2^bits entries, those past the DIB's table black, so no index can fall off its end.
  std::vector<std::uint8_t> rows;
  std::vector<std::uint8_t> colourMap;
  std::size_t rowSize = 0;
  if (picture.HasPalette()) {
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = static_cast<png_uint_32>(picture.Palette().size());
    for (const Rgb& c : picture.Palette()) colourMap.insert(colourMap.end(), {c.r, c.g, c.b});
    rowSize = width;
    // One byte per pixel can be eight times the DIB: the size is checked where it cannot wrap.
    if (static_cast<std::uint64_t>(rowSize) * static_cast<std::uint64_t>(picture.Height()) > 0x7FFFFFFFull) {
      return PngWriteError{"Bild zu groß für PNG"};
    }
    rows.resize(rowSize * static_cast<std::size_t>(picture.Height()));
    for (int y = 0; y < picture.Height(); ++y) {
      const std::uint8_t* from = picture.RowFromTop(y);
      std::uint8_t* to = rows.data() + rowSize * static_cast<std::size_t>(y);
      for (std::size_t x = 0; x < width; ++x) {
        to[x] = static_cast<std::uint8_t>(PaletteIndexAt(from, static_cast<int>(x), picture.BitCount()));
      }
    }
  } else {
    image.format = PNG_FORMAT_RGB;
    rowSize = 3 * width;
    rows.resize(rowSize * static_cast<std::size_t>(picture.Height()));
    for (int y = 0; y < picture.Height(); ++y) picture.RowToRgb(y, rows.data() + rowSize * static_cast<std::size_t>(y));
  }

  const auto stride = static_cast<png_int_32>(rowSize);
  const void* map = colourMap.empty() ? nullptr : colourMap.data();
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, rows.data(), stride, map)) return Failed(image);
  std::vector<std::uint8_t> file(size);
  if (!png_image_write_to_memory(&image, file.data(), &size, 0, rows.data(), stride, map)) return Failed(image);
  file.resize(size);
  return file;
}

}  // namespace kamolt
