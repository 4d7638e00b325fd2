// CONV_GIF.DLL: GIF files for the reader and the writer, on giflib.
//
// Option block of the writing entry (20 bytes, little-endian):
//   offset 0   16-bit 512  marks the block; a block without it (or none) means the defaults
//   offset 4   32-bit      89 writes a "GIF89a" file; 87 (the writer's value) and anything
//                          else "GIF87a", which every reader takes
//   offset 8   32-bit      colour reduction of pictures with more than 256 colours: giflib's
//                          median cut is the one method, so every value means it (1 given)
//   offset 12  32-bit      the colour table is the file's global one: every value (1 given)
//   offset 16  32-bit      nonzero writes the rows interlaced; 0 (given) in order
// Pictures with at most 256 colours keep them exactly, whatever their depth.
//
// Ordinal 14 (SetReadOption) is not exported: the reader only calls it for JPEG files, and
// a GIF file has nothing to choose when it is read.
#include <windows.h>

#include "modules/common/module_support_win.h"
#include "modules/gif/gif_codec.h"

namespace {

using namespace kamolt;

HGLOBAL ReadGif(const char* fileName) {
  return module::ReadFileTelling(fileName, [](const std::uint8_t* data, std::size_t size) { return DecodeGifToDib(data, size); });
}

INT32 WriteGif(const char* target, HGLOBAL dib, const void* optionBlock) {
  GifWriteOptions options;
  options.gif89 = module::OptionField(optionBlock, 4, 87) == 89;
  options.interlaced = module::OptionField(optionBlock, 16, 0) != 0;
  return module::WriteFileWith(target, dib, [&](const std::uint8_t* data, std::size_t size) {
    return EncodeDibAsGif(data, size, options);
  });
}

}  // namespace

extern "C" {

HGLOBAL WINAPI ConvertGIFtoDIB(const char* fileName) {
  return module::Guarded(module::NoDib(), [&] { return ReadGif(fileName); });
}

INT32 WINAPI ConvertDIBtoGIF(const char* target, HGLOBAL dib, const void* optionBlock) {
  return module::Guarded(INT32{0}, [&] { return WriteGif(target, dib, optionBlock); });
}

}  // extern "C"
