#include "scan/memory_image.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "base/dib.h"
#include "base/dib_pixels.h"
#include "base/little_endian.h"

namespace kamolt {
namespace {

constexpr std::uint64_t kLargestBlock = std::numeric_limits<std::int32_t>::max();

void PutEntry(std::uint8_t* table, std::uint32_t index, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::uint8_t* entry = table + 4 * index;
  entry[0] = b;
  entry[1] = g;
  entry[2] = r;
  entry[3] = 0;
}

void SwapRedBlue(std::uint8_t* row, int width) {
  for (int x = 0; x < width; ++x, row += 3) std::swap(row[0], row[2]);
}

// Two pixels at a time through one 8-byte word: a byte at a time would make the copy
// slower than the separate copy, turn and swap it replaces. Each word's last two bytes are
// written again by the next. A partly written last pixel keeps its bytes where a whole one
// would put them.
void CopySwappingRedBlue(std::uint8_t* target, const std::uint8_t* source, std::size_t bytes) {
  constexpr std::uint64_t kGreen = 0x0000ff0000ff00, kRed = 0x0000ff0000ff, kBlue = 0xff0000ff0000;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 6) {
    std::uint64_t word;
    std::memcpy(&word, source + i, 8);
    word = (word & ~(kGreen | kRed | kBlue)) | (word & kGreen) | (word & kRed) << 16 | (word & kBlue) >> 16;
    std::memcpy(target + i, &word, 8);
  }
  const std::size_t whole = bytes / 3 * 3;
  for (; i < whole; i += 3) {
    target[i] = source[i + 2];
    target[i + 1] = source[i + 1];
    target[i + 2] = source[i];
  }
  for (; i < bytes; ++i) target[whole + 2 - (i - whole)] = source[i];
}

// The plan's rows set to rows; the sizes follow.
std::optional<ImageBlockPlan> PlanRows(ImageBlockPlan plan, std::uint64_t rows, TW_UINT32 bufferSize) {
  if (rows == 0 || rows > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  plan.height = static_cast<int>(rows);
  plan.imageBytes = plan.rowBytes * rows;
  plan.roundedBytes = static_cast<std::uint64_t>(bufferSize) * (plan.imageBytes / bufferSize + 1);
  plan.blockBytes = plan.roundedBytes + kImageHeaderRoom;
  if (plan.blockBytes > kLargestBlock) return std::nullopt;
  return plan;
}

}  // namespace

std::optional<ImageBlockPlan> PlanImageBlock(const TW_IMAGEINFO& info, TW_UINT32 bufferSize) {
  const bool unknown = info.ImageLength == kUnknownImageLength;
  if ((info.ImageLength <= 0 && !unknown) || bufferSize == 0) return std::nullopt;
  const auto row = DibRowBytes(info.ImageWidth, info.BitsPerPixel);
  if (!row) return std::nullopt;
  ImageBlockPlan plan;
  plan.width = info.ImageWidth;
  plan.bitCount = info.BitsPerPixel;
  plan.rowBytes = *row;
  plan.unknownLength = unknown;
  std::uint64_t rows = static_cast<std::uint64_t>(info.ImageLength);
  if (unknown) {
    const std::uint64_t first = std::max<std::uint64_t>(kUnknownLengthFirstBytes, bufferSize);
    rows = (first + plan.rowBytes - 1) / plan.rowBytes;
  }
  return PlanRows(plan, rows, bufferSize);
}

std::optional<ImageBlockPlan> GrowImageBlock(const ImageBlockPlan& plan, std::uint64_t rows, TW_UINT32 bufferSize) {
  const std::uint64_t doubled = 2 * static_cast<std::uint64_t>(plan.height);
  // A page that cannot double may still fit the rows it needs.
  if (auto grown = PlanRows(plan, std::max(rows, doubled), bufferSize)) return grown;
  return rows > doubled ? std::nullopt : PlanRows(plan, rows, bufferSize);
}

std::uint64_t StripEndRow(const ImageBlockPlan& plan, const TW_IMAGEMEMXFER& strip, std::size_t dataBytes) {
  const std::uint64_t bytesPerRow = strip.BytesPerRow != 0 ? strip.BytesPerRow : plan.rowBytes;
  const std::uint64_t rows = strip.Rows != 0 ? strip.Rows : dataBytes / bytesPerRow;
  return std::uint64_t{strip.YOffset} + rows;
}

TW_UINT32 ChooseBufferSize(const TW_SETUPMEMXFER& setup, bool answered) {
  if (!answered) return kFallbackBufferSize;
  // Packed fields are copied out: they may not lie on their natural boundary.
  const TW_UINT32 preferred = setup.Preferred, least = setup.MinBufSize, most = setup.MaxBufSize;
  if (preferred != 0) return preferred;
  TW_UINT32 size = std::max(kFallbackBufferSize, least);
  // A most of 0 or "don't care" names no limit, and one below the least is not believed.
  if (most != 0 && most != TWON_DONTCARE32 && most >= least) size = std::min(size, most);
  return size;
}

void SetImageHeight(std::uint8_t* block, std::size_t rowBytes, int height) {
  Put32(block + 8, static_cast<std::uint32_t>(height));
  Put32(block + 20, static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(height)));
}

void WriteImageHeader(std::uint8_t* block, const ImageBlockPlan& plan, std::uint32_t sizeImage,
                      std::int32_t xPixelsPerMetre, std::int32_t yPixelsPerMetre, std::uint32_t coloursUsed) {
  std::memset(block, 0, kDibHeaderSize);
  Put32(block, kDibHeaderSize);
  Put32(block + 4, static_cast<std::uint32_t>(plan.width));
  Put32(block + 8, static_cast<std::uint32_t>(plan.height));
  Put16(block + 12, 1);
  Put16(block + 14, static_cast<std::uint32_t>(plan.bitCount));
  Put32(block + 16, kDibRgb);
  Put32(block + 20, sizeImage);
  Put32(block + 24, static_cast<std::uint32_t>(xPixelsPerMetre));
  Put32(block + 28, static_cast<std::uint32_t>(yPixelsPerMetre));
  Put32(block + 32, coloursUsed);
  Put32(block + 36, 0);
}

std::int32_t PixelsPerMetre(double resolution, TW_UINT16 units) {
  double perMetre = 0;
  if (units == TWUN_INCHES) perMetre = resolution * 100 / 2.54;
  else if (units == TWUN_CENTIMETERS) perMetre = resolution * 100;
  // A fixed-point resolution stays far inside the range; the bound only keeps the cut defined.
  perMetre = std::clamp(perMetre, -2147483648.0, 2147483647.0);
  return static_cast<std::int32_t>(perMetre);
}

std::uint32_t ColourTableLimit(int bitCount) { return bitCount >= 1 && bitCount <= 8 ? 1u << bitCount : 256u; }

std::uint32_t WriteGreyTable(std::uint8_t* table, int bitCount) {
  const std::uint32_t count = ColourTableLimit(bitCount);
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto level = static_cast<std::uint8_t>(i * 255 / (count - 1));
    PutEntry(table, i, level, level, level);
  }
  return count;
}

void WriteBlackWhiteTable(std::uint8_t* table, TW_UINT16 flavor) {
  const std::uint8_t first = flavor == TWPF_CHOCOLATE ? 0 : 255;
  PutEntry(table, 0, first, first, first);
  const auto second = static_cast<std::uint8_t>(255 - first);
  PutEntry(table, 1, second, second, second);
}

std::uint32_t WritePaletteTable(std::uint8_t* table, const TW_PALETTE8& palette, int bitCount) {
  const std::uint32_t count = std::min<std::uint32_t>(palette.NumColors, ColourTableLimit(bitCount));
  for (std::uint32_t i = 0; i < count; ++i) {
    const TW_ELEMENT8& colour = palette.Colors[i];
    PutEntry(table, i, colour.Channel1, colour.Channel2, colour.Channel3);
  }
  return count;
}

void PlaceStrip(std::uint8_t* pixels, const ImageBlockPlan& plan, const TW_IMAGEMEMXFER& strip,
                const std::uint8_t* data, std::size_t dataBytes, StripPlacement placement) {
  // A source that leaves a field unfilled is read as one that pads like us and sends
  // whole rows of the full width.
  const std::uint64_t bytesPerRow = strip.BytesPerRow != 0 ? strip.BytesPerRow : plan.rowBytes;
  const std::uint64_t rows = strip.Rows != 0 ? strip.Rows : dataBytes / bytesPerRow;
  const std::uint64_t columns = strip.Columns != 0 ? strip.Columns : static_cast<std::uint64_t>(plan.width);
  const std::uint64_t x = strip.XOffset;
  if (x >= static_cast<std::uint64_t>(plan.width)) return;
  const std::uint64_t count = std::min<std::uint64_t>(columns, plan.width - x);
  const std::uint64_t bits = static_cast<std::uint64_t>(plan.bitCount);
  const bool byteAligned = x * bits % 8 == 0;
  const bool swap = placement.swapRedBlue && plan.bitCount == 24;

  for (std::uint64_t r = 0; r < rows; ++r) {
    const std::uint64_t y = strip.YOffset + r;
    const std::uint64_t from = r * bytesPerRow;
    if (y >= static_cast<std::uint64_t>(plan.height) || from >= dataBytes) break;
    const std::uint64_t available = std::min<std::uint64_t>(bytesPerRow, dataBytes - from);
    const std::uint8_t* source = data + from;
    const std::uint64_t row = placement.bottomUp ? plan.height - 1 - y : y;
    std::uint8_t* target = pixels + row * plan.rowBytes;
    if (byteAligned) {
      const std::uint64_t at = x * bits / 8;
      const std::uint64_t bytes = std::min({(count * bits + 7) / 8, available, plan.rowBytes - at});
      if (swap) CopySwappingRedBlue(target + at, source, bytes);
      else std::memcpy(target + at, source, bytes);
    } else {
      // Only 1- and 4-bit pixels can start inside a byte.
      const std::uint64_t fits = std::min(count, available * 8 / bits);
      for (std::uint64_t i = 0; i < fits; ++i) {
        SetPaletteIndexAt(target, static_cast<int>(x + i), plan.bitCount,
                          PaletteIndexAt(source, static_cast<int>(i), plan.bitCount));
      }
    }
  }
}

bool FlipRows(std::uint8_t* pixels, std::size_t rowBytes, int height, int width, bool swapRedBlue) {
  std::unique_ptr<std::uint8_t[]> scratch(new (std::nothrow) std::uint8_t[rowBytes]);
  if (!scratch) return false;
  for (int top = 0, bottom = height - 1; top <= bottom; ++top, --bottom) {
    std::uint8_t* upper = pixels + static_cast<std::size_t>(top) * rowBytes;
    std::uint8_t* lower = pixels + static_cast<std::size_t>(bottom) * rowBytes;
    if (top != bottom) {
      std::memcpy(scratch.get(), upper, rowBytes);
      std::memcpy(upper, lower, rowBytes);
      std::memcpy(lower, scratch.get(), rowBytes);
    }
    if (swapRedBlue) {
      SwapRedBlue(upper, width);
      if (top != bottom) SwapRedBlue(lower, width);
    }
  }
  return true;
}

}  // namespace kamolt
