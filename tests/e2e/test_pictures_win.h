// Picture files made on the spot, so every test states the pictures it needs.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// An uncompressed 24-bit BMP filled with one colour (0x00BBGGRR).
std::string BmpFile(int width, int height, COLORREF colour);
// A single-image 24-bit icon file of the given size and colour.
std::string IconFile(int size, COLORREF colour);
// An enhanced metafile, a filled rectangle of about width x height pixels.
std::string EmfFile(int width, int height);
// A placeable Windows metafile of width x height pixels at 96 pixels per inch.
std::string WmfFile(int width, int height);
// An RGB PNG (stored, not compressed) filled with one colour.
std::string PngFile(int width, int height, COLORREF colour);

}  // namespace e2e
