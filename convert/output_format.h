#pragma once
// What each output format code writes: the file extension, the route (a converter module,
// a plain bitmap file, or PNG) and the option block handed to the module. The blocks are
// part of the modules' interface, so their bytes are fixed here, little-endian.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kamolt {

inline constexpr int kFormatAuto = 0;
inline constexpr int kFormatPcx = 1001;
inline constexpr int kFormatGif = 1002;
inline constexpr int kFormatJpg = 1003;
inline constexpr int kFormatBmp = 1004;
inline constexpr int kFormatPcd = 1005;  // offered as "PCD", written as JPG
inline constexpr int kFormatTif = 1006;
inline constexpr int kFormatEps = 1007;
inline constexpr int kFormatPng = 1008;

enum class OutputRoute { Module, Bitmap, Png };

struct OutputFormat {
  int effectiveCode = 0;
  std::string_view extension;             // upper case, without the dot
  OutputRoute route = OutputRoute::Module;
  std::vector<std::uint8_t> optionBlock;  // empty unless the route is a module
};

// The automatic code stands for the picture's bit count.
int EffectiveFormatCode(int formatCode, int bitCount);
OutputFormat OutputFormatFor(int formatCode, int bitCount);

// The save dialog's single filter entry for an extension, and the same as the
// double-zero-terminated text the platform's dialog takes.
struct SaveFilter {
  std::string_view description;
  std::string_view pattern;
};
SaveFilter SaveFilterFor(std::string_view extension);
std::string SaveFilterText(std::string_view extension);

}  // namespace kamolt
