#include "modules/gif/gif_codec.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "base/dib_pixels.h"

namespace kamolt {
namespace {

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
};

int ReadBytes(GifFileType* gif, GifByteType* into, int wanted) {
  auto* reader = static_cast<Reader*>(gif->UserData);
  const std::size_t count = std::min(static_cast<std::size_t>(wanted < 0 ? 0 : wanted), reader->size - reader->at);
  std::memcpy(into, reader->data + reader->at, count);
  reader->at += count;
  return static_cast<int>(count);
}

int WriteBytes(GifFileType* gif, const GifByteType* bytes, int count) {
  // Called from giflib's C code: nothing may be thrown through it.
  try {
    static_cast<std::vector<std::uint8_t>*>(gif->UserData)->insert(
        static_cast<std::vector<std::uint8_t>*>(gif->UserData)->end(), bytes, bytes + count);
    return count;
  } catch (...) {
    return 0;
  }
}

struct CloseReader {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifReader = std::unique_ptr<GifFileType, CloseReader>;

struct FreeMap {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, FreeMap>;

GifError Damaged(int code) {
  const char* text = GifErrorString(code);
  return GifError{std::string("GIF-Datei fehlerhaft: ") + (text ? text : "unbekannter Fehler")};
}

// Rows in the order an interlaced picture stores them: every 8th from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  }
  return order;
}

int BitsFor(int colours) { return colours <= 2 ? 1 : colours <= 16 ? 4 : 8; }

int PowerOfTwoAtLeast(std::size_t count) {
  int size = 2;
  while (static_cast<std::size_t>(size) < count) size *= 2;
  return size;
}

// The picture's pixels as colour-table indices, and that table.
struct Indexed {
  std::vector<GifColorType> colours;
  std::vector<std::uint8_t> pixels;  // width x height, top row first
};

std::variant<Indexed, GifError> IndexPicture(const DibPicture& picture) {
  const int width = picture.Width(), height = picture.Height();
  Indexed out;
  out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (picture.HasPalette()) {
    for (const Rgb& c : picture.Palette()) out.colours.push_back(GifColorType{c.r, c.g, c.b});
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = picture.RowFromTop(y);
      std::uint8_t* into = out.pixels.data() + static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; ++x) into[x] = static_cast<std::uint8_t>(PaletteIndexAt(row, x, picture.BitCount()));
    }
    return out;
  }

  // Few colours are kept exactly; the quantiser would round them to 5 bits per channel.
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3);
  std::unordered_map<std::uint32_t, std::uint8_t> seen;
  bool few = true;
  for (int y = 0; y < height && few; ++y) {
    picture.RowToRgb(y, rgb.data());
    std::uint8_t* into = out.pixels.data() + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t key = rgb[3 * x] << 16 | rgb[3 * x + 1] << 8 | rgb[3 * x + 2];
      auto found = seen.find(key);
      if (found == seen.end()) {
        if (seen.size() == 256) {
          few = false;
          break;
        }
        found = seen.emplace(key, static_cast<std::uint8_t>(seen.size())).first;
        out.colours.push_back(GifColorType{rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]});
      }
      into[x] = found->second;
    }
  }
  if (few) return out;

  const std::size_t count = out.pixels.size();
  std::vector<GifByteType> red(count), green(count), blue(count);
  for (int y = 0; y < height; ++y) {
    picture.RowToRgb(y, rgb.data());
    const std::size_t base = static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      red[base + x] = rgb[3 * x], green[base + x] = rgb[3 * x + 1], blue[base + x] = rgb[3 * x + 2];
    }
  }
  int mapSize = 256;
  out.colours.assign(256, GifColorType{0, 0, 0});
  if (GifQuantizeBuffer(static_cast<unsigned>(width), static_cast<unsigned>(height), &mapSize, red.data(),
                        green.data(), blue.data(), out.pixels.data(), out.colours.data()) != GIF_OK) {
    return GifError{"zu wenig Speicher für die Farbreduktion"};
  }
  out.colours.resize(static_cast<std::size_t>(std::clamp(mapSize, 1, 256)));
  return out;
}

// A file that ends inside the frame's data blocks may still hold every pixel: only the
// blocks' terminator and the trailer are missing, which giflib takes as a read failure even
// after the last pixel. Such a file is read on from a copy whose last block is cut to the
// bytes present and terminated, so giflib decodes what is there and still fails if pixels
// are missing. Returns whether the file was cut off. The reader stands at the first block.
bool EndDataChainAtFileEnd(Reader& reader, std::vector<std::uint8_t>& mended) {
  std::size_t count = reader.at, last = reader.at;
  while (count < reader.size && reader.data[count] != 0) {
    last = count;
    count += 1 + std::size_t{reader.data[count]};
  }
  if (count < reader.size) return false;
  mended.assign(reader.data, reader.data + reader.size);
  if (last < reader.size) {
    mended[last] = static_cast<std::uint8_t>(std::min<std::size_t>(mended[last], reader.size - last - 1));
  }
  mended.push_back(0);
  reader.data = mended.data();
  reader.size = mended.size();
  return true;
}

}  // namespace

std::variant<std::vector<std::uint8_t>, GifError> EncodeDibAsGif(const std::uint8_t* dib, std::size_t size,
                                                                const GifWriteOptions& options) {
  auto viewed = ViewDib(dib, size);
  if (auto* error = std::get_if<DibError>(&viewed)) return GifError{error->message};
  const DibPicture& picture = std::get<DibPicture>(viewed);
  if (picture.Width() > 0xFFFF || picture.Height() > 0xFFFF) {
    return GifError{"Bild zu groß für GIF (höchstens 65535 × 65535 Punkte)"};
  }
  auto indexed = IndexPicture(picture);
  if (auto* error = std::get_if<GifError>(&indexed)) return *error;
  Indexed& pixels = std::get<Indexed>(indexed);
  pixels.colours.resize(static_cast<std::size_t>(PowerOfTwoAtLeast(pixels.colours.size())), GifColorType{0, 0, 0});
  const ColourMap map(GifMakeMapObject(static_cast<int>(pixels.colours.size()), pixels.colours.data()));
  if (!map) return GifError{"zu wenig Speicher"};

  std::vector<std::uint8_t> file;
  int error = 0;
  GifFileType* gif = EGifOpen(&file, WriteBytes, &error);
  if (gif == nullptr) return Damaged(error);
  EGifSetGifVersion(gif, options.gif89);
  const int width = picture.Width(), height = picture.Height();
  bool written = EGifPutScreenDesc(gif, width, height, 8, 0, map.get()) == GIF_OK &&
                 EGifPutImageDesc(gif, 0, 0, width, height, options.interlaced, nullptr) == GIF_OK;
  for (const int y : RowOrder(height, options.interlaced)) {
    if (!written) break;
    written = EGifPutLine(gif, pixels.pixels.data() + static_cast<std::size_t>(y) * width, width) == GIF_OK;
  }
  if (!written) error = gif->Error;
  const bool closed = EGifCloseFile(gif, written ? &error : nullptr) == GIF_OK;
  if (!written || !closed) return GifError{std::string("GIF-Datei nicht geschrieben: ") + GifErrorString(error)};
  return file;
}

std::variant<std::vector<std::uint8_t>, GifError> DecodeGifToDib(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) return GifError{"GIF-Datei ist leer"};
  Reader reader{data, size, 0};
  int error = 0;
  const GifReader gif(DGifOpen(&reader, ReadBytes, &error));
  if (!gif) return Damaged(error);

  int transparent = -1;
  std::vector<std::uint8_t> mended;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) != GIF_OK) {
      // Some writers leave stray bytes between blocks; lenient readers step over them.
      if (gif->Error == D_GIF_ERR_WRONG_RECORD) continue;
      return Damaged(gif->Error);
    }
    if (type == TERMINATE_RECORD_TYPE) return GifError{"GIF-Datei enthält kein Bild"};
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) return Damaged(gif->Error);
      // The graphic control block before a frame names the index its transparent pixels use.
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
        transparent = (block[1] & 0x01) != 0 ? block[4] : -1;
      }
      while (block != nullptr) {
        if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) return Damaged(gif->Error);
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;

    if (DGifGetImageDesc(gif.get()) != GIF_OK) return Damaged(gif->Error);
    const GifImageDesc& frame = gif->Image;
    const std::int64_t width = std::max<std::int64_t>(gif->SWidth, std::int64_t{frame.Left} + frame.Width);
    const std::int64_t height = std::max<std::int64_t>(gif->SHeight, std::int64_t{frame.Top} + frame.Height);
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) {
      return GifError{"GIF-Datei fehlerhaft: Bildgröße unzulässig"};
    }
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kLargestGifPixels) {
      return GifError{"Bild zu groß"};
    }
    // A code of the compressed data stands for at most 4096 pixels and takes at least one
    // bit, so the bytes left bound the pixels the frame can really hold. A larger claim is
    // refused before any picture memory is taken for it.
    const std::uint64_t bytesLeft = reader.size - reader.at;
    if (static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height) > bytesLeft * 8 * 4096) {
      return GifError{"GIF-Datei fehlerhaft: zu wenig Bilddaten"};
    }
    const bool local = frame.ColorMap != nullptr;
    const ColorMapObject* map = local ? frame.ColorMap : gif->SColorMap;
    std::vector<Rgb> palette;
    if (map != nullptr && map->ColorCount > 0) {
      for (int i = 0; i < map->ColorCount && i < 256; ++i) {
        palette.push_back(Rgb{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
      }
    } else {
      // No colour table at all: the standard leaves it to the reader; greys show the picture.
      for (int i = 0; i < 256; ++i) palette.push_back(Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                                          static_cast<std::uint8_t>(i)});
    }
    // There is nothing behind the one frame we show, so its transparent pixels take the
    // colour of the screen's background (white without a global table to name it).
    if (transparent >= 0 && transparent < static_cast<int>(palette.size())) {
      Rgb behind{255, 255, 255};
      if (gif->SColorMap != nullptr && gif->SBackGroundColor < gif->SColorMap->ColorCount) {
        const GifColorType& colour = gif->SColorMap->Colors[gif->SBackGroundColor];
        behind = Rgb{colour.Red, colour.Green, colour.Blue};
      }
      palette[static_cast<std::size_t>(transparent)] = behind;
    }
    const bool cutOff = EndDataChainAtFileEnd(reader, mended);
    // The frame's lines come first: a file that cannot deliver them is refused before the
    // picture, which a large logical screen may make much bigger, is made.
    const auto frameWidth = static_cast<std::size_t>(frame.Width);
    std::vector<GifPixelType> lines(frameWidth * static_cast<std::size_t>(frame.Height));
    for (const int y : RowOrder(frame.Height, frame.Interlace)) {
      if (DGifGetLine(gif.get(), lines.data() + static_cast<std::size_t>(y) * frameWidth, frame.Width) != GIF_OK) {
        return cutOff ? GifError{"GIF-Datei endet mitten im Bild"} : Damaged(gif->Error);
      }
    }
    const int bits = BitsFor(static_cast<int>(palette.size()));
    auto dib = NewDib(static_cast<int>(width), static_cast<int>(height), bits, palette);
    if (!dib) return GifError{"Bild zu groß"};
    const int colours = static_cast<int>(palette.size());
    const int background = !local && gif->SBackGroundColor < colours ? gif->SBackGroundColor : 0;
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = NewDibRowFromTop(*dib, y);
      if (bits == 8) {
        std::memset(row, background, static_cast<std::size_t>(width));
      } else {
        for (int x = 0; x < width; ++x) SetPaletteIndexAt(row, x, bits, background);
      }
      if (y < frame.Top || y - frame.Top >= frame.Height) continue;
      const GifPixelType* from = lines.data() + static_cast<std::size_t>(y - frame.Top) * frameWidth;
      for (int x = 0; x < frame.Width; ++x) SetPaletteIndexAt(row, frame.Left + x, bits, from[x] < colours ? from[x] : 0);
    }
    return std::move(*dib);
  }
}

}  // namespace kamolt
