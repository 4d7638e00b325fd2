// CONV_TIF.DLL: TIFF files for the reader and the writer, on libtiff.
//
// Option block of the writing entry (16 bytes, little-endian):
//   offset 0   16-bit 512  marks the block; a block without it (or none) means the defaults
//   offset 4   32-bit      the picture's bit count, as the writer saw it; the file always
//                          takes the depth of the DIB itself, so a stale value does no harm
//   offset 8   32-bit      TIFF compression code: 32773 PackBits (the writer's value), 1 none,
//                          5 LZW, 8 Deflate; any other code is written as PackBits
//   offset 12  32-bit      strip size in kilobytes (10 given); 0 or less means 8
//
// Ordinal 14 (SetReadOption) is not exported: the reader only calls it for JPEG files, and
// reading a TIFF file has nothing to choose.
#include <windows.h>

#include "modules/common/module_support_win.h"
#include "modules/tif/tif_codec.h"

namespace {

using namespace kamolt;

HGLOBAL ReadTif(const char* fileName) {
  return module::ReadFileTelling(fileName, [](const std::uint8_t* data, std::size_t size) { return DecodeTifToDib(data, size); });
}

INT32 WriteTif(const char* target, HGLOBAL dib, const void* optionBlock) {
  TifWriteOptions options;
  options.compression = module::OptionField(optionBlock, 8, 32773);
  const std::int32_t kilobytes = module::OptionField(optionBlock, 12, 8);
  options.stripKilobytes = kilobytes > 0 && kilobytes <= 65536 ? kilobytes : 8;
  return module::WriteFileWith(target, dib, [&](const std::uint8_t* data, std::size_t size) {
    return EncodeDibAsTif(data, size, options);
  });
}

}  // namespace

extern "C" {

HGLOBAL WINAPI ConvertTIFtoDIB(const char* fileName) {
  return module::Guarded(module::NoDib(), [&] { return ReadTif(fileName); });
}

INT32 WINAPI ConvertDIBtoTIF(const char* target, HGLOBAL dib, const void* optionBlock) {
  return module::Guarded(INT32{0}, [&] { return WriteTif(target, dib, optionBlock); });
}

}  // extern "C"
