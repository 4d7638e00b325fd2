#pragma once
// Numbers as the file formats and Windows' own records store them: least significant byte first.
#include <cstdint>

namespace kamolt {

inline std::uint32_t Get16(const std::uint8_t* at) { return at[0] | static_cast<std::uint32_t>(at[1]) << 8; }
inline std::uint32_t Get32(const std::uint8_t* at) { return Get16(at) | Get16(at + 2) << 16; }

inline void Put16(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* at, std::uint32_t v) {
  Put16(at, v);
  Put16(at + 2, v >> 16);
}

}  // namespace kamolt
