#pragma once
// Kodak Photo CD image packs: the Base picture, 768 x 512, stored as PhotoYCC with one
// luma byte a pixel and two chroma planes at half resolution both ways, turned upright by
// the orientation the pack records. Reading only: Photo CD is written by mastering
// equipment, never by us.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kamolt::pcd {

struct CodecError {
  std::string message;
};

// 24-bit packed DIB of the Base picture: 768 x 512, or 512 x 768 when the pack says the
// picture stands upright.
std::variant<std::vector<std::uint8_t>, CodecError> DecodePcd(const std::uint8_t* file, std::size_t size);

}  // namespace kamolt::pcd
