#pragma once
// Pages whose samples libtiff's RGBA reader refuses or gets wrong: grey, RGB and CMYK of any
// depth up to 32 bits, signed and floating-point samples, and CIE L*a*b* in its three
// encodings, all as 24-bit DIBs.
#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <variant>
#include <vector>

#include "modules/tif/tif_codec.h"

namespace kamolt {

struct TifLayout {
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
  std::uint16_t orientation = ORIENTATION_TOPLEFT, sampleFormat = SAMPLEFORMAT_UINT;
};

// Whether the page is one this reader is for rather than libtiff's RGBA reader.
bool ReadsBySamples(const TifLayout& page);

// damaged() names what libtiff found wrong when a strip or tile cannot be read.
std::variant<std::vector<std::uint8_t>, TifError> ReadBySamples(TIFF* tif, const TifLayout& page,
                                                                const std::function<TifError()>& damaged);

}  // namespace kamolt
