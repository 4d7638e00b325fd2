#include "convert/output_format.h"

#include <string>

namespace kamolt {
namespace {

// Every block starts with the 16-bit value 512; bytes the table does not name stay zero.
class Block {
 public:
  explicit Block(std::size_t size) : bytes_(size, 0) { Put16(0, 512); }
  Block& Put8(std::size_t at, std::uint8_t v) {
    bytes_.at(at) = v;
    return *this;
  }
  Block& Put16(std::size_t at, std::uint32_t v) {
    Put8(at, static_cast<std::uint8_t>(v));
    return Put8(at + 1, static_cast<std::uint8_t>(v >> 8));
  }
  Block& Put32(std::size_t at, std::uint32_t v) {
    Put16(at, v);
    return Put16(at + 2, v >> 16);
  }
  std::vector<std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

int EffectiveFormatCode(int formatCode, int bitCount) { return formatCode == kFormatAuto ? bitCount : formatCode; }

OutputFormat OutputFormatFor(int formatCode, int bitCount) {
  const int code = EffectiveFormatCode(formatCode, bitCount);
  const auto bits = static_cast<std::uint32_t>(bitCount);
  OutputFormat f;
  f.effectiveCode = code;
  switch (code) {
    case 1:
    case kFormatPcx:
      f.extension = "PCX";
      f.optionBlock = Block(12).Put8(2, 5).Put32(4, bits).Put32(8, 1).Bytes();
      break;
    case kFormatGif:
      f.extension = "GIF";
      f.optionBlock = Block(20).Put32(4, 87).Put32(8, 1).Put32(12, 1).Put32(16, 0).Bytes();
      break;
    case kFormatBmp:
      f.extension = "BMP";
      f.route = OutputRoute::Bitmap;
      break;
    case kFormatTif:
      f.extension = "TIF";
      f.optionBlock = Block(16).Put32(4, bits).Put32(8, 32773).Put32(12, 10).Bytes();
      break;
    case kFormatEps:
      f.extension = "EPS";
      f.optionBlock = Block(28).Put32(4, 1).Put32(8, 1).Put32(12, 4).Put32(16, 1).Put32(20, 1).Put32(24, 1).Bytes();
      break;
    case kFormatPng:
      f.extension = "TMP";
      f.route = OutputRoute::Png;
      break;
    default:  // automatic with any bit count but 1, JPG, and PCD
      f.extension = "JPG";
      f.optionBlock = Block(12).Put32(4, 85).Put32(8, 0).Bytes();
      break;
  }
  return f;
}

SaveFilter SaveFilterFor(std::string_view extension) {
  if (extension == "BMP") return {"Windows Bitmap (*.bmp)", "*.bmp"};
  if (extension == "GIF") return {"Compuserve GIF (*.gif)", "*.gif"};
  if (extension == "PCX") return {"Zsoft Paintbrush (*.pcx)", "*.pcx"};
  if (extension == "JPG") return {"JPEG-Dateien (*.jpg)", "*.jpg"};
  if (extension == "TIF") return {"Tagged Image File Format (*.tif)", "*.tif"};
  if (extension == "EPS") return {"Encapsulated Postscript (*.eps)", "*.eps"};
  return {"Alle (*.*)", "*.*"};
}

std::string SaveFilterText(std::string_view extension) {
  const SaveFilter filter = SaveFilterFor(extension);
  std::string text(filter.description);
  text += '\0';
  text += filter.pattern;
  text += '\0';
  text += '\0';
  return text;
}

}  // namespace kamolt
