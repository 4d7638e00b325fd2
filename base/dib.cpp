#include "base/dib.h"

#include <cstring>
#include <limits>

#include "base/little_endian.h"

namespace kamolt {
namespace {

constexpr std::int64_t kLargestPixelBlock = std::numeric_limits<std::int32_t>::max();

DibError Refused(const std::string& why) { return {"Ungültiges Bitmap: " + why}; }

}  // namespace

std::optional<std::size_t> DibRowBytes(std::int64_t width, int bitCount) {
  if (width <= 0 || width > kLargestPixelBlock) return std::nullopt;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    return std::nullopt;
  }
  const std::int64_t bytes = (width * bitCount + 31) / 32 * 4;
  if (bytes > kLargestPixelBlock) return std::nullopt;
  return static_cast<std::size_t>(bytes);
}

std::variant<DibLayout, DibError> MeasureDib(const std::uint8_t* block, std::size_t blockSize) {
  if (block == nullptr || blockSize < kDibHeaderSize) return Refused("zu kurz");
  DibLayout dib;
  dib.headerSize = Get32(block);
  if (dib.headerSize < kDibHeaderSize || dib.headerSize > blockSize) return Refused("Kopf fehlerhaft");
  const auto width = static_cast<std::int32_t>(Get32(block + 4));
  const auto height = static_cast<std::int32_t>(Get32(block + 8));
  const std::uint32_t planes = Get16(block + 12);
  dib.bitCount = static_cast<int>(Get16(block + 14));
  dib.compression = Get32(block + 16);
  const std::uint32_t coloursUsed = Get32(block + 32);

  if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) {
    return Refused("Breite oder Höhe unzulässig");
  }
  if (planes != 1) return Refused("Ebenenzahl unzulässig");
  const auto row = DibRowBytes(width, dib.bitCount);
  if (!row) return Refused("Farbtiefe oder Breite unzulässig");
  dib.width = width;
  dib.topDown = height < 0;
  dib.height = dib.topDown ? -height : height;
  dib.rowBytes = *row;

  std::size_t masks = 0;
  if (dib.compression == kDibBitfields) {
    if (dib.bitCount != 16 && dib.bitCount != 32) return Refused("Bitfelder nur bei 16 und 32 Bit");
    // The three masks follow a plain 40-byte header; longer headers hold them inside.
    if (dib.headerSize == kDibHeaderSize) masks = 12;
    else if (dib.headerSize < kDibHeaderSize + 12) return Refused("Kopf zu kurz für Bitfelder");
  } else if (dib.compression != kDibRgb) {
    return Refused("Kompression wird nicht unterstützt");
  }
  if (coloursUsed > 256) return Refused("mehr als 256 Farben in der Farbtabelle");
  if (dib.bitCount <= 8) {
    const std::uint32_t most = 1u << dib.bitCount;
    if (coloursUsed > most) return Refused("Farbtabelle zu lang");
    dib.colourCount = coloursUsed ? coloursUsed : most;
  } else {
    dib.colourCount = coloursUsed;
  }

  const std::uint64_t pixels = static_cast<std::uint64_t>(dib.rowBytes) * static_cast<std::uint64_t>(dib.height);
  if (pixels > static_cast<std::uint64_t>(kLargestPixelBlock)) return Refused("Bild zu groß");
  dib.colourTableOffset = dib.headerSize + masks;
  dib.pixelOffset = dib.colourTableOffset + 4 * static_cast<std::size_t>(dib.colourCount);
  dib.pixelBytes = static_cast<std::size_t>(pixels);
  if (dib.pixelOffset > blockSize || blockSize - dib.pixelOffset < dib.pixelBytes) {
    return Refused("Daten kürzer als der Kopf angibt");
  }
  return dib;
}

std::optional<std::vector<std::uint8_t>> BmpFileToDib(const std::uint8_t* file, std::size_t size) {
  constexpr std::size_t kFileHeaderSize = 14;
  if (file == nullptr || size < kFileHeaderSize + 12 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  const std::size_t pixelsAt = Get32(file + 10);
  const std::uint8_t* h = file + kFileHeaderSize;
  const std::size_t headerSize = Get32(h);
  if (headerSize < 12 || headerSize > size - kFileHeaderSize) return std::nullopt;

  std::int64_t width = 0, height = 0;
  int bitCount = 0;
  std::uint32_t compression = kDibRgb, coloursUsed = 0;
  std::size_t entryBytes = 4;
  if (headerSize == 12) {  // OS/2 1.x: 16-bit sizes and three-byte colours
    width = Get16(h + 4);
    height = static_cast<std::int16_t>(Get16(h + 6));
    bitCount = Get16(h + 10);
    entryBytes = 3;
  } else if (headerSize >= 16) {
    width = static_cast<std::int32_t>(Get32(h + 4));
    height = static_cast<std::int32_t>(Get32(h + 8));
    bitCount = Get16(h + 14);
    if (headerSize >= 20) compression = Get32(h + 16);
    if (headerSize >= 36) coloursUsed = Get32(h + 32);
  } else {
    return std::nullopt;
  }
  // Only the Windows headers know bit fields; OS/2 2.x uses the same number for its own
  // Huffman coding, which, like every compression, stays with the platform.
  const bool windowsHeader =
      headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124;
  const bool bitfields = windowsHeader && compression == kDibBitfields;
  if (compression != kDibRgb && !bitfields) return std::nullopt;
  const bool topDown = height < 0;
  if (topDown) height = -height;
  const auto row = DibRowBytes(width, bitCount);
  if (!row || height == 0 || height > kLargestPixelBlock) return std::nullopt;

  std::size_t tableAt = kFileHeaderSize + headerSize;
  std::size_t masks = 0;
  if (bitfields) {
    if (bitCount != 16 && bitCount != 32) return std::nullopt;
    masks = 12;
    if (headerSize == kDibHeaderSize) tableAt += 12;
  }
  std::size_t colours = 0;
  if (bitCount <= 8) {
    const std::size_t most = std::size_t{1} << bitCount;
    colours = coloursUsed != 0 && coloursUsed < most ? coloursUsed : most;
    // Writers that leave out unused entries say so only by where the pixels start.
    if (pixelsAt > tableAt && (pixelsAt - tableAt) / entryBytes < colours) colours = (pixelsAt - tableAt) / entryBytes;
  }
  const std::uint64_t pixelBytes = static_cast<std::uint64_t>(*row) * static_cast<std::uint64_t>(height);
  if (pixelBytes > static_cast<std::uint64_t>(kLargestPixelBlock) || tableAt + colours * entryBytes > size ||
      pixelsAt < tableAt + colours * entryBytes || pixelsAt > size || size - pixelsAt < pixelBytes) {
    return std::nullopt;
  }

  std::vector<std::uint8_t> dib(kDibHeaderSize + masks + 4 * colours + static_cast<std::size_t>(pixelBytes));
  std::uint8_t* out = dib.data();
  Put32(out, kDibHeaderSize);
  Put32(out + 4, static_cast<std::uint32_t>(width));
  Put32(out + 8, static_cast<std::uint32_t>(height));
  Put16(out + 12, 1);  // whatever the file claims: the rows hold one plane
  Put16(out + 14, static_cast<std::uint16_t>(bitCount));
  Put32(out + 16, bitfields ? kDibBitfields : kDibRgb);
  Put32(out + 20, static_cast<std::uint32_t>(pixelBytes));
  Put32(out + 32, static_cast<std::uint32_t>(colours));
  out += kDibHeaderSize;
  if (bitfields) {
    std::memcpy(out, h + kDibHeaderSize, masks);
    out += masks;
  }
  for (std::size_t i = 0; i < colours; ++i, out += 4) {
    std::memcpy(out, file + tableAt + i * entryBytes, 3);
    out[3] = 0;
  }
  // Bottom-up, the one order every drawing path of the platform takes for every depth.
  const std::size_t rows = static_cast<std::size_t>(height);
  for (std::size_t y = 0; y < rows; ++y) {
    const std::size_t from = topDown ? rows - 1 - y : y;
    std::memcpy(out + y * *row, file + pixelsAt + from * *row, *row);
  }
  return dib;
}

std::optional<std::vector<std::uint8_t>> NewDib24(int width, int height) {
  const auto row = DibRowBytes(width, 24);
  if (!row || height <= 0) return std::nullopt;
  const std::int64_t pixels = static_cast<std::int64_t>(*row) * height;
  if (pixels > kLargestPixelBlock - static_cast<std::int64_t>(kDibHeaderSize)) return std::nullopt;

  std::vector<std::uint8_t> dib(kDibHeaderSize + static_cast<std::size_t>(pixels));
  std::uint8_t* h = dib.data();
  Put32(h + 0, kDibHeaderSize);
  Put32(h + 4, static_cast<std::uint32_t>(width));
  Put32(h + 8, static_cast<std::uint32_t>(height));
  Put16(h + 12, 1);   // planes
  Put16(h + 14, 24);  // bit count
  Put32(h + 20, static_cast<std::uint32_t>(pixels));
  return dib;
}

}  // namespace kamolt
