#pragma once
// The arithmetic of one memory-transfer image: the size of its block, its bitmap header,
// its colour table, strips placed by their own rows and offsets, and the turn from the
// scanner's top-down rows to the bitmap's bottom-up ones.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/twain_types.h"

namespace kamolt {

// Room for the header and 256 colour entries in front of the pixels.
inline constexpr std::size_t kImageHeaderRoom = 1064;
// The transfer buffer when a source names none.
inline constexpr TW_UINT32 kFallbackBufferSize = 65536;

struct ImageBlockPlan {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  std::size_t rowBytes = 0;
  std::uint64_t imageBytes = 0;    // rowBytes × height
  std::uint64_t roundedBytes = 0;  // rounded up to whole buffers, at least one byte more
  std::uint64_t blockBytes = 0;    // roundedBytes and the header room
};

// nullopt for an image no bitmap can hold: a size that is not positive, a bit count a
// bitmap does not have, or a block past 2 GiB.
std::optional<ImageBlockPlan> PlanImageBlock(const TW_IMAGEINFO& info, TW_UINT32 bufferSize);

// The 40-byte header at the start of block.
void WriteImageHeader(std::uint8_t* block, const ImageBlockPlan& plan, std::uint32_t sizeImage,
                      std::int32_t xPixelsPerMetre, std::int32_t yPixelsPerMetre, std::uint32_t coloursUsed);

// Dots per inch or per centimetre as the header's pixels per metre; 0 for other units.
std::int32_t PixelsPerMetre(double resolution, TW_UINT16 units);

// Most colour entries a bitmap of the bit count may have.
std::uint32_t ColourTableLimit(int bitCount);
// An even ramp from black to white over the entries the bit count allows; returns their number.
std::uint32_t WriteGreyTable(std::uint8_t* table, int bitCount);
// Entry 0 black for chocolate, white for vanilla; the other the opposite.
void WriteBlackWhiteTable(std::uint8_t* table, TW_UINT16 flavor);
// The palette's first entries, at most as many as the bit count allows; returns their number.
std::uint32_t WritePaletteTable(std::uint8_t* table, const TW_PALETTE8& palette, int bitCount);

// Copies a strip's rows into pixels (rows of plan.rowBytes, top row first) by the strip's
// own row length, rows and offsets. Only dataBytes of data are read; rows and columns
// outside the image are left out.
void PlaceStrip(std::uint8_t* pixels, const ImageBlockPlan& plan, const TW_IMAGEMEMXFER& strip,
                const std::uint8_t* data, std::size_t dataBytes);

// Turns the rows upside down and, with swapRedBlue for 24-bit pixels, stores each pixel's
// first and third byte the other way round. false when the one row of scratch space
// could not be had; the pixels are then unchanged.
bool FlipRows(std::uint8_t* pixels, std::size_t rowBytes, int height, int width, bool swapRedBlue);

}  // namespace kamolt
