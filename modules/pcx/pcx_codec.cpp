#include "modules/pcx/pcx_codec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "base/dib_pixels.h"
#include "base/little_endian.h"

namespace kamolt::pcx {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteTail = 769;  // the 0x0C marker and 256 colours
constexpr std::uint8_t kManufacturer = 0x0A;
constexpr std::uint8_t kPaletteMarker = 0x0C;

// The colours of a 16-colour adapter, for files that leave their header palette empty.
constexpr std::array<Rgb, 16> kAdapterColours = {{{0, 0, 0},       {0, 0, 170},     {0, 170, 0},
                                                   {0, 170, 170},   {170, 0, 0},     {170, 0, 170},
                                                   {170, 85, 0},    {170, 170, 170}, {85, 85, 85},
                                                   {85, 85, 255},   {85, 255, 85},   {85, 255, 255},
                                                   {255, 85, 85},   {255, 85, 255},  {255, 255, 85},
                                                   {255, 255, 255}}};

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

CodecError Fault(const std::string& why) { return {"PCX-Datei fehlerhaft: " + why}; }

// The header palette's first `count` entries, or the adapter's colours when it is empty.
std::vector<Rgb> HeaderPalette(const std::uint8_t* header, std::size_t count) {
  std::vector<Rgb> palette(count);
  bool empty = true;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* c = header + 16 + 3 * i;
    palette[i] = {c[0], c[1], c[2]};
    empty = empty && c[0] == 0 && c[1] == 0 && c[2] == 0;
  }
  if (empty) std::copy_n(kAdapterColours.begin(), count, palette.begin());
  return palette;
}

// Unpacks the run-length coded stream into exactly `total` bytes; false when it ends early.
// A run that spills past the end is cut, as some writers let the last one overshoot.
bool Unpack(const std::uint8_t* data, std::size_t size, bool coded, std::vector<std::uint8_t>& out) {
  std::size_t done = 0;
  const std::size_t total = out.size();
  if (!coded) {
    if (size < total) return false;
    std::copy_n(data, total, out.begin());
    return true;
  }
  std::size_t at = 0;
  while (done < total) {
    if (at >= size) return false;
    std::uint8_t byte = data[at++];
    std::size_t count = 1;
    if ((byte & 0xC0) == 0xC0) {
      count = byte & 0x3F;
      if (at >= size) return false;
      byte = data[at++];
    }
    count = std::min(count, total - done);
    std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(done), count, byte);
    done += count;
  }
  return true;
}

void Pack(const std::uint8_t* line, std::size_t length, std::vector<std::uint8_t>& out) {
  for (std::size_t i = 0; i < length;) {
    const std::uint8_t byte = line[i];
    std::size_t run = 1;
    while (i + run < length && run < 63 && line[i + run] == byte) ++run;
    if (run > 1 || (byte & 0xC0) == 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
    out.push_back(byte);
    i += run;
  }
}

std::uint32_t DotsPerMetre(std::uint32_t dpi) { return static_cast<std::uint32_t>(std::lround(dpi / 0.0254)); }
std::uint32_t DotsPerInch(std::uint32_t dpm) { return static_cast<std::uint32_t>(std::lround(dpm * 0.0254)); }

}  // namespace

std::variant<std::vector<std::uint8_t>, CodecError> DecodePcx(const std::uint8_t* file, std::size_t size) {
  if (file == nullptr || size < kHeaderSize) return Fault("zu kurz");
  const std::uint8_t* h = file;
  if (h[0] != kManufacturer || h[2] > 1) return Fault("keine PCX-Datei");
  const bool coded = h[2] == 1;
  const int bits = h[3];
  const int planes = h[65];
  const std::uint32_t xMin = Get16(h + 4), yMin = Get16(h + 6), xMax = Get16(h + 8), yMax = Get16(h + 10);
  const std::size_t lineBytes = Get16(h + 66);
  if (xMax < xMin || yMax < yMin) return Fault("Bildgröße unzulässig");
  const int width = static_cast<int>(xMax - xMin + 1);
  const int height = static_cast<int>(yMax - yMin + 1);

  int dibBits = 0;
  if (bits == 1 && planes == 1) dibBits = 1;
  else if ((bits == 1 && planes >= 2 && planes <= 4) || ((bits == 2 || bits == 4) && planes == 1)) dibBits = 4;
  else if (bits == 8 && planes == 1) dibBits = 8;
  else if (bits == 8 && (planes == 3 || planes == 4)) dibBits = 24;
  else {
    return CodecError{"PCX-Datei mit " + std::to_string(bits) + " Bit in " + std::to_string(planes) +
                      " Ebenen wird nicht unterstützt"};
  }
  if (lineBytes == 0 || lineBytes * 8 < static_cast<std::size_t>(width) * bits) return Fault("Zeilenlänge zu klein");
  if (!DibRowBytes(width, dibBits) || height > 0x10000) return Fault("Bild zu groß");

  std::size_t dataSize = size - kHeaderSize;
  std::vector<Rgb> palette;
  if (dibBits == 1) {
    palette = {{h[16], h[17], h[18]}, {h[19], h[20], h[21]}};
    // Many writers leave the two entries alike (often both black): such a file means
    // black on white.
    if (palette[0] == palette[1]) palette = {{0, 0, 0}, {255, 255, 255}};
  } else if (dibBits == 4) {
    palette = HeaderPalette(h, 16);
  } else if (dibBits == 8) {
    if (size >= kHeaderSize + kPaletteTail && file[size - kPaletteTail] == kPaletteMarker) {
      dataSize -= kPaletteTail;
      const std::uint8_t* c = file + size - kPaletteTail + 1;
      for (int i = 0; i < 256; ++i, c += 3) palette.push_back({c[0], c[1], c[2]});
    } else {
      // Without the palette a one-plane 8-bit picture is grey.
      for (int i = 0; i < 256; ++i) palette.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    }
  }

  // A coded pair of bytes gives at most 63 bytes: a file too short for its size is
  // refused before anything that large is allocated.
  const std::uint64_t total = static_cast<std::uint64_t>(lineBytes) * planes * static_cast<std::uint64_t>(height);
  if (total > (coded ? 32 : 1) * static_cast<std::uint64_t>(dataSize)) return Fault("Daten zu kurz");
  // A 32-bit process must not see that size cut down to what its size_t holds.
  if (total > 0x7FFFFFFFull) return Fault("Bild zu groß");
  std::vector<std::uint8_t> plain(static_cast<std::size_t>(total));
  if (!Unpack(file + kHeaderSize, dataSize, coded, plain)) return Fault("Daten zu kurz");

  auto made = NewDib(width, height, dibBits, palette);
  if (!made) return Fault("Bild zu groß");
  std::vector<std::uint8_t>& dib = *made;
  Put32(dib.data() + 24, DotsPerMetre(Get16(h + 12)));
  Put32(dib.data() + 28, DotsPerMetre(Get16(h + 14)));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* line = plain.data() + static_cast<std::size_t>(y) * planes * lineBytes;
    std::uint8_t* row = NewDibRowFromTop(dib, y);
    if (dibBits == 1 || dibBits == 8) {
      std::copy_n(line, std::min(*DibRowBytes(width, dibBits), lineBytes), row);
      if (dibBits == 1 && width % 8) row[width / 8] &= static_cast<std::uint8_t>(0xFF00 >> (width % 8));
    } else if (dibBits == 24) {
      for (int x = 0; x < width; ++x) {
        row[3 * x + 2] = line[x];
        row[3 * x + 1] = line[lineBytes + x];
        row[3 * x] = line[2 * lineBytes + x];
      }
    } else {
      for (int x = 0; x < width; ++x) {
        int index = 0;
        if (bits == 1) {
          for (int p = 0; p < planes; ++p) index |= (line[p * lineBytes + x / 8] >> (7 - x % 8) & 1) << p;
        } else if (bits == 2) {
          index = line[x / 4] >> (6 - 2 * (x % 4)) & 3;
        } else {
          index = x & 1 ? line[x / 2] & 0x0F : line[x / 2] >> 4;
        }
        row[x / 2] |= static_cast<std::uint8_t>(x & 1 ? index : index << 4);
      }
    }
  }
  if (dibBits == 1 || dibBits == 8) {
    // Bytes past the picture's width belong to the file's padding, not to the DIB.
    const std::size_t used = (static_cast<std::size_t>(width) * dibBits + 7) / 8;
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = NewDibRowFromTop(dib, y);
      std::fill(row + used, row + *DibRowBytes(width, dibBits), 0);
    }
  }
  return dib;
}

std::variant<std::vector<std::uint8_t>, CodecError> EncodePcx(const std::uint8_t* dib, std::size_t size) {
  auto viewed = ViewDib(dib, size);
  if (auto* why = std::get_if<DibError>(&viewed)) return CodecError{why->message};
  const DibPicture& picture = std::get<DibPicture>(viewed);
  const int width = picture.Width();
  const int height = picture.Height();

  const bool mono = picture.BitCount() == 1;
  const bool indexed = picture.HasPalette();
  const int planes = indexed ? 1 : 3;
  const int bits = mono ? 1 : 8;
  std::size_t lineBytes = mono ? (static_cast<std::size_t>(width) + 7) / 8 : static_cast<std::size_t>(width);
  lineBytes += lineBytes & 1;  // PCX lines hold an even number of bytes
  if (width > 0x10000 || height > 0x10000 || lineBytes > 0xFFFF) {
    return CodecError{"Das Bild ist für PCX zu groß"};
  }

  std::vector<std::uint8_t> out(kHeaderSize);
  out[0] = kManufacturer;
  out[1] = 5;
  out[2] = 1;
  out[3] = static_cast<std::uint8_t>(bits);
  Put16(out, 8, static_cast<std::uint32_t>(width - 1));
  Put16(out, 10, static_cast<std::uint32_t>(height - 1));
  const std::uint32_t dpiX = std::min<std::uint32_t>(DotsPerInch(Get32(dib + 24)), 0xFFFF);
  const std::uint32_t dpiY = std::min<std::uint32_t>(DotsPerInch(Get32(dib + 28)), 0xFFFF);
  Put16(out, 12, dpiX ? dpiX : 72);
  Put16(out, 14, dpiY ? dpiY : 72);
  const std::vector<Rgb>& palette = picture.Palette();
  // Readers disagree on two-tone files: some take the colours from the header, others
  // (ImageMagick among them) ignore it and show a set bit as black. White first in the
  // header and set bits for black satisfies both.
  const bool blackFirst = mono && palette[0] == Rgb{0, 0, 0} && palette[1] == Rgb{255, 255, 255};
  if (mono) {
    for (int i = 0; i < 2; ++i) {
      const Rgb c = blackFirst ? palette[1 - i] : palette[i];
      out[16 + 3 * i] = c.r;
      out[17 + 3 * i] = c.g;
      out[18 + 3 * i] = c.b;
    }
  }
  out[65] = static_cast<std::uint8_t>(planes);
  Put16(out, 66, static_cast<std::uint32_t>(lineBytes));
  Put16(out, 68, 1);  // colour or black and white, not grey

  std::vector<std::uint8_t> line(lineBytes * planes);
  std::vector<std::uint8_t> rgb(indexed ? 0 : 3 * static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    std::fill(line.begin(), line.end(), 0);
    const std::uint8_t* row = picture.RowFromTop(y);
    if (mono) {
      for (int i = 0; i < (width + 7) / 8; ++i) line[i] = blackFirst ? static_cast<std::uint8_t>(~row[i]) : row[i];
      if (width % 8) line[width / 8] &= static_cast<std::uint8_t>(0xFF00 >> (width % 8));
    } else if (indexed) {
      for (int x = 0; x < width; ++x) line[x] = static_cast<std::uint8_t>(PaletteIndexAt(row, x, picture.BitCount()));
    } else {
      picture.RowToRgb(y, rgb.data());
      for (int x = 0; x < width; ++x) {
        line[x] = rgb[3 * x];
        line[lineBytes + x] = rgb[3 * x + 1];
        line[2 * lineBytes + x] = rgb[3 * x + 2];
      }
    }
    for (int p = 0; p < planes; ++p) Pack(line.data() + p * lineBytes, lineBytes, out);
  }
  if (indexed && !mono) {
    out.push_back(kPaletteMarker);
    for (int i = 0; i < 256; ++i) {
      const Rgb c = i < static_cast<int>(palette.size()) ? palette[i] : Rgb{};
      out.insert(out.end(), {c.r, c.g, c.b});
    }
  }
  return out;
}

}  // namespace kamolt::pcx
