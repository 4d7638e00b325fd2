#pragma once
// Encapsulated PostScript with a TIFF preview behind the binary EPS header, so that programs
// without PostScript can still show the picture. The PostScript part draws the picture at
// one point per pixel with image or colorimage and hex data (level 1); the preview is the
// same picture at full size. Reading takes the preview back; PostScript is never run here
// (the module hands a file without a preview to Ghostscript when one is installed).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kamolt::eps {

struct CodecError {
  std::string message;
  bool onlyPostScript = false;  // an intact file with nothing but PostScript to draw it from
};

// What we take from the writer's option block (28 bytes: 512, then 1, 1, 4, 1, 1, 1 in the
// 32-bit fields at offsets 4 to 24). Offset 4 says whether the TIFF preview is written
// (nonzero, as the writer passes it) or only the PostScript part (0). The fields at offsets
// 8 to 24 carry no meaning for us: the PostScript part always follows the picture's depth.
struct WriteOptions {
  bool preview = true;
};

// The binary header's sections.
struct EpsSections {
  std::size_t postScriptOffset = 0, postScriptLength = 0;
  std::size_t tiffOffset = 0, tiffLength = 0;
};

// Where the sections lie, or an error when the header is missing or points past the file.
std::variant<EpsSections, CodecError> ReadEpsHeader(const std::uint8_t* file, std::size_t size);

// Packed DIB of the file's TIFF preview: 1, 4 or 8 bits with the preview's palette or greys
// when it has one sample of that many bits, else 24 bits.
std::variant<std::vector<std::uint8_t>, CodecError> DecodeEps(const std::uint8_t* file, std::size_t size);

// The picture's extent in points from the %%BoundingBox comment of its PostScript (the
// trailer's when the header's says "(atend)"); nullopt when there is none to read.
struct PointSize {
  std::int64_t width = 0, height = 0;
};
std::optional<PointSize> BoundingBoxSize(const std::uint8_t* file, std::size_t size);

std::variant<std::vector<std::uint8_t>, CodecError> EncodeEps(const std::uint8_t* dib, std::size_t size,
                                                               const WriteOptions& options = {});

}  // namespace kamolt::eps
