#pragma once
// The picture the virtual scanner delivers, defined on the delivered image itself so a
// test can check any page without knowing the frame or the resolution it was made with:
//
//   - a black square in the top-left corner (side: an eighth of the shorter side, at
//     least one pixel), so a flipped or mirrored page shows at once;
//   - eight colour bars across the full width between 3/8 and 5/8 of the height, from
//     left to right white, yellow, cyan, green, magenta, red, blue, black;
//   - the page number's low eight bits as eight cells across the width between 3/4 and
//     7/8 of the height, most significant bit on the left, black for a set bit;
//   - the page number in digits right of the corner square, for a person looking at it;
//   - white everywhere else.
//
// Rows are packed as a TWAIN source sends them: top row first, RGB with red first,
// 1- and 4-bit pixels from the most significant bit on.
#include <cstddef>
#include <cstdint>

#include "base/twain_types.h"

namespace kamolt::scanner {

struct Rgb {
  std::uint8_t r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The eight colours of the pattern; white is the background, black the marks.
inline constexpr int kPatternColours = 8;
inline constexpr Rgb kPatternPalette[kPatternColours] = {
    {255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
    {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0},
};
inline constexpr int kWhite = 0;
inline constexpr int kBlack = 7;

struct PageFormat {
  std::int32_t width = 0;
  std::int32_t length = 0;
  TW_UINT16 pixelType = TWPT_RGB;
  int bitDepth = 24;
  TW_UINT16 flavor = TWPF_CHOCOLATE;  // black/white and grey: which end zero stands for
  int pageNumber = 1;
};

// The palette index (into kPatternPalette) of the pixel at x, y of a page of this size.
int PatternIndex(std::int32_t width, std::int32_t length, int pageNumber, std::int32_t x, std::int32_t y);

// Grey level of a colour, 0 to 255, and whether it counts as white in black/white.
std::uint8_t GreyLevel(Rgb colour);
bool IsLight(Rgb colour);

// Which depths each pixel type comes in; the first is the type's default.
bool SupportedDepth(TW_UINT16 pixelType, int bitDepth);
int DefaultDepth(TW_UINT16 pixelType);

// Bytes of one packed row (no padding), or 0 when the width or depth is out of range.
std::uint64_t PackedRowBytes(const PageFormat& format);

// Writes row y (0 at the top) packed into out, which holds PackedRowBytes bytes.
void WriteRow(const PageFormat& format, std::int32_t y, std::uint8_t* out);

// The sample value that a pixel of the given colour gets (before packing), as the
// application should read it: grey and black/white honour the flavour.
std::uint32_t SampleValue(const PageFormat& format, int paletteIndex);

}  // namespace kamolt::scanner
