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
// The transfer buffer when a source names none, kept within the least and most it takes.
inline constexpr TW_UINT32 kFallbackBufferSize = 65536;
// The length a source reports when it learns the length only as the page ends.
inline constexpr TW_INT32 kUnknownImageLength = -1;
// What a page of unknown length starts with before it grows.
inline constexpr std::uint64_t kUnknownLengthFirstBytes = 4u << 20;

struct ImageBlockPlan {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  std::size_t rowBytes = 0;
  std::uint64_t imageBytes = 0;    // rowBytes × height
  std::uint64_t roundedBytes = 0;  // rounded up to whole buffers, at least one byte more
  std::uint64_t blockBytes = 0;    // roundedBytes and the header room
  // The source does not know the length: height is the room so far, not the page's.
  bool unknownLength = false;
};

// nullopt for an image no bitmap can hold: a size that is not positive, a bit count a
// bitmap does not have, or a block past 2 GiB. A page of unknown length is planned with
// room for a first part of it, at least one buffer.
std::optional<ImageBlockPlan> PlanImageBlock(const TW_IMAGEINFO& info, TW_UINT32 bufferSize);

// The same page with room for at least rows rows, at least twice the room it had, so
// that a long page is copied only a few times; nullopt when that would pass 2 GiB.
std::optional<ImageBlockPlan> GrowImageBlock(const ImageBlockPlan& plan, std::uint64_t rows, TW_UINT32 bufferSize);

// The row below a strip's last, by its own rows or, when it leaves them out, its data.
std::uint64_t StripEndRow(const ImageBlockPlan& plan, const TW_IMAGEMEMXFER& strip, std::size_t dataBytes);

// The buffer every strip is offered: the source's preferred size, or, when it names none
// or does not answer, ours within the least and the most it takes.
TW_UINT32 ChooseBufferSize(const TW_SETUPMEMXFER& setup, bool answered);

// The 40-byte header at the start of block.
void WriteImageHeader(std::uint8_t* block, const ImageBlockPlan& plan, std::uint32_t sizeImage,
                      std::int32_t xPixelsPerMetre, std::int32_t yPixelsPerMetre, std::uint32_t coloursUsed);

// Sets the height of a header written for more rows than the page turned out to have.
void SetImageHeight(std::uint8_t* block, std::size_t rowBytes, int height);

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

// How strips are written: rows bottom-up as the bitmap keeps them, and red and blue of
// 24-bit pixels the bitmap's way round, so that a page of known length is written once.
struct StripPlacement {
  bool bottomUp = false;
  bool swapRedBlue = false;
};

// Copies a strip's rows into pixels (rows of plan.rowBytes, top row first unless
// placement.bottomUp) by the strip's own row length, rows and offsets. Only dataBytes of
// data are read; rows and columns outside the image are left out.
void PlaceStrip(std::uint8_t* pixels, const ImageBlockPlan& plan, const TW_IMAGEMEMXFER& strip,
                const std::uint8_t* data, std::size_t dataBytes, StripPlacement placement = {});

// Turns the rows upside down and, with swapRedBlue for 24-bit pixels, stores each pixel's
// first and third byte the other way round. false when the one row of scratch space
// could not be had; the pixels are then unchanged.
bool FlipRows(std::uint8_t* pixels, std::size_t rowBytes, int height, int width, bool swapRedBlue);

}  // namespace kamolt
