#pragma once
// What the writer does to a DIB's bytes before they leave the program: the inversion of
// black-and-white pictures, and the Windows bitmap file around the DIB.
#include <array>
#include <cstddef>
#include <cstdint>
#include <variant>

#include "base/dib.h"

namespace kamolt {

// Inverts every pixel byte of a 1-bit DIB in place. The pixels start after the header and
// the colour table and run for biSizeImage bytes, or rows times height when that is 0;
// never past the block. Other bit counts stay as they are. false when nothing was done.
bool InvertMonochromePixels(std::uint8_t* block, std::size_t blockSize, const DibLayout& layout);

// The results of writing a bitmap file, as its callers test them.
inline constexpr int kBmpWritten = 0;
inline constexpr int kBmpCannotCreate = -2;
inline constexpr int kBmpCannotLock = -3;  // also: the block is not a DIB we can measure
inline constexpr int kBmpWriteFailed = -4;

// A bitmap file is its 14-byte file header followed by the first dibBytes of the block.
struct BmpFilePlan {
  std::array<std::uint8_t, 14> fileHeader{};
  std::size_t dibBytes = 0;
};

// Measures the block and lays out the file. For uncompressed pixels the image size is
// computed and stored into the DIB's biSizeImage, as readers of the file expect it there.
// Gives kBmpCannotLock for a block MeasureDib refuses and kBmpWriteFailed when the file
// would have to read past the block.
std::variant<BmpFilePlan, int> PlanBmpFile(std::uint8_t* block, std::size_t blockSize);

}  // namespace kamolt
