#pragma once
// ZSoft PCX pictures, version 5 with run-length coding. We write 1-bit pictures as one
// plane, 4- and 8-bit pictures with the 256-colour palette at the end, deeper ones as three
// planes of red, green and blue. We read 1 bit (1 to 4 planes), 2 and 4 bits packed, 8 bits
// and 24 bits as three planes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kamolt::pcx {

struct CodecError {
  std::string message;
};

// The writer's option block (12 bytes, little-endian) changes nothing of what we write:
//   offset 0, 16 bits: 512, the block's layout.
//   offset 2, 8 bits:  5, the PCX version; we always write version 5, the only one with the
//                      256-colour palette.
//   offset 4, 32 bits: the caller's bit count of the picture; the DIB's own header decides.
//   offset 8, 32 bits: 1, the PCX encoding: run-length coding, the only one PCX defines.

// Packed DIB (1, 4, 8 bits with colour table; 24 bits) of the picture in a PCX file.
std::variant<std::vector<std::uint8_t>, CodecError> DecodePcx(const std::uint8_t* file, std::size_t size);

// PCX file bytes of a packed DIB of any depth the platform has.
std::variant<std::vector<std::uint8_t>, CodecError> EncodePcx(const std::uint8_t* dib, std::size_t size);

}  // namespace kamolt::pcx
