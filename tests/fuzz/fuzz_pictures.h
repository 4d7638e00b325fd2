#pragma once
// Pictures for the picture targets: bitmaps described by fuzzer bytes for the writers, a few
// small bitmaps of every depth from which the seeds of the readers are written, and the
// check that what a reader hands back is a bitmap one can use.
#include <cstdint>
#include <vector>

#include "tests/fuzz/fuzz_input.h"

namespace kamolt::fuzz {

// A packed DIB whose header fields, masks, colour table and pixels come from the input:
// every depth and header version, top-down or not, bit fields, any colour count, and now
// and then a block cut short. The vector is the block, exactly its length.
std::vector<std::uint8_t> DibFromInput(FuzzInput& input);
// Inputs of DibFromInput that make sound bitmaps of each depth, for the writers' seeds.
std::vector<std::vector<std::uint8_t>> DibDescriptionSeeds();

// Small bottom-up DIBs of 1, 4, 8 and 24 bits with a pattern, palettes of various lengths.
std::vector<std::vector<std::uint8_t>> SampleDibs();

// A reader's result must measure as a DIB and every one of its pixels must be readable.
void CheckDecodedDib(const std::vector<std::uint8_t>& dib);

}  // namespace kamolt::fuzz
