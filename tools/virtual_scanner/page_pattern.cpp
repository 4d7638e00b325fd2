#include "tools/virtual_scanner/page_pattern.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace kamolt::scanner {
namespace {

// Digits 0 to 9 in a 3 x 5 grid, one row of three bits per entry, leftmost bit high.
constexpr std::uint8_t kDigitRows[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

// What a row shows, decided once per row so the pixels of a row cost one lookup each.
struct RowPlan {
  std::int64_t corner = 0;  // width of the corner square in this row (0 below it)
  bool bars = false;
  bool cells = false;
  bool digits = false;
  int digitRow = 0;  // 0..4 inside the glyphs
};

struct Geometry {
  std::int64_t width, length, side, scale, digitsLeft, digitsTop;
  std::string digits;
};

Geometry Measure(std::int32_t width, std::int32_t length, int pageNumber) {
  Geometry g{};
  g.width = width;
  g.length = length;
  g.side = std::max<std::int64_t>(1, std::min(g.width, g.length) / 8);
  g.scale = std::max<std::int64_t>(1, g.side / 6);
  g.digitsLeft = g.side + 2 * g.scale;
  g.digitsTop = (g.side - 5 * g.scale) / 2;
  g.digits = std::to_string(pageNumber);
  return g;
}

RowPlan PlanRow(const Geometry& g, std::int64_t y) {
  RowPlan plan;
  if (y < g.side) plan.corner = g.side;
  plan.bars = y * 8 >= 3 * g.length && y * 8 < 5 * g.length;
  plan.cells = y * 8 >= 6 * g.length && y * 8 < 7 * g.length;
  if (y >= g.digitsTop && y < g.digitsTop + 5 * g.scale && g.side >= 6) {
    plan.digits = true;
    plan.digitRow = static_cast<int>((y - g.digitsTop) / g.scale);
  }
  return plan;
}

int IndexAt(const Geometry& g, const RowPlan& plan, int pageNumber, std::int64_t x) {
  if (x < plan.corner) return kBlack;
  if (plan.digits && x >= g.digitsLeft) {
    const std::int64_t cell = (x - g.digitsLeft) / g.scale;  // columns of 4: 3 lit, 1 gap
    const std::int64_t digit = cell / 4;
    const std::int64_t column = cell % 4;
    if (digit < static_cast<std::int64_t>(g.digits.size()) && column < 3) {
      const int value = g.digits[static_cast<std::size_t>(digit)] - '0';
      if (kDigitRows[value][plan.digitRow] & (4 >> column)) return kBlack;
    }
  }
  if (plan.bars) return static_cast<int>(x * 8 / g.width);
  if (plan.cells) {
    const int bit = 7 - static_cast<int>(x * 8 / g.width);
    return (pageNumber >> bit) & 1 ? kBlack : kWhite;
  }
  return kWhite;
}

}  // namespace

int PatternIndex(std::int32_t width, std::int32_t length, int pageNumber, std::int32_t x, std::int32_t y) {
  const Geometry g = Measure(width, length, pageNumber);
  return IndexAt(g, PlanRow(g, y), pageNumber, x);
}

std::uint8_t GreyLevel(Rgb c) {
  return static_cast<std::uint8_t>((299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000);
}

bool IsLight(Rgb colour) { return GreyLevel(colour) >= 128; }

bool SupportedDepth(TW_UINT16 pixelType, int bitDepth) {
  switch (pixelType) {
    case TWPT_BW: return bitDepth == 1;
    case TWPT_GRAY: return bitDepth == 8 || bitDepth == 4;
    case TWPT_RGB: return bitDepth == 24;
    case TWPT_PALETTE: return bitDepth == 8 || bitDepth == 4;
    default: return false;
  }
}

int DefaultDepth(TW_UINT16 pixelType) {
  switch (pixelType) {
    case TWPT_BW: return 1;
    case TWPT_RGB: return 24;
    default: return 8;
  }
}

std::uint64_t PackedRowBytes(const PageFormat& format) {
  if (format.width <= 0 || !SupportedDepth(format.pixelType, format.bitDepth)) return 0;
  return (static_cast<std::uint64_t>(format.width) * static_cast<std::uint64_t>(format.bitDepth) + 7) / 8;
}

std::uint32_t SampleValue(const PageFormat& format, int paletteIndex) {
  const Rgb colour = kPatternPalette[paletteIndex];
  const bool vanilla = format.flavor == TWPF_VANILLA;
  switch (format.pixelType) {
    case TWPT_BW: return IsLight(colour) != vanilla ? 1u : 0u;
    case TWPT_GRAY: {
      const std::uint32_t top = (1u << format.bitDepth) - 1;
      const std::uint32_t level = GreyLevel(colour) >> (8 - format.bitDepth);
      return vanilla ? top - level : level;
    }
    case TWPT_PALETTE: return static_cast<std::uint32_t>(paletteIndex);
    default: return static_cast<std::uint32_t>(colour.r) << 16 | colour.g << 8 | colour.b;
  }
}

void WriteRow(const PageFormat& format, std::int32_t y, std::uint8_t* out) {
  const std::uint64_t rowBytes = PackedRowBytes(format);
  if (rowBytes == 0) return;
  std::memset(out, 0, rowBytes);
  const Geometry g = Measure(format.width, format.length, format.pageNumber);
  const RowPlan plan = PlanRow(g, y);
  std::uint32_t samples[kPatternColours];
  for (int i = 0; i < kPatternColours; ++i) samples[i] = SampleValue(format, i);
  for (std::int64_t x = 0; x < g.width; ++x) {
    const std::uint32_t value = samples[IndexAt(g, plan, format.pageNumber, x)];
    switch (format.bitDepth) {
      case 1:
        if (value) out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        break;
      case 4: out[x / 2] |= static_cast<std::uint8_t>(x % 2 ? value : value << 4); break;
      case 8: out[x] = static_cast<std::uint8_t>(value); break;
      default:
        out[3 * x] = static_cast<std::uint8_t>(value >> 16);
        out[3 * x + 1] = static_cast<std::uint8_t>(value >> 8);
        out[3 * x + 2] = static_cast<std::uint8_t>(value);
        break;
    }
  }
}

}  // namespace kamolt::scanner
