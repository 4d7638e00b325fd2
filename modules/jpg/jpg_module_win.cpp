// CONV_JPG.DLL: JPEG files for the reader and the writer, on the shared JPEG codec.
//
// Option block of the writing entry (12 bytes, little-endian):
//   offset 0  16-bit 512  marks the block; a block without it (or none) means the defaults
//   offset 4  32-bit      quality 1..100 (85 from the writer); values outside are clamped
//   offset 8  32-bit      0 baseline (the writer's value), nonzero progressive
// The written file is 24-bit colour, or greyscale when the picture has only greys.
//
// SetReadOption (ordinal 14): 0, what the reader passes, reads greyscale files as 8-bit
// grey DIBs; any other value reads them as 24-bit colour. It holds until the module is
// unloaded, which the reader does after every call.
#include <windows.h>

#include "base/jpeg_codec.h"
#include "modules/common/module_support_win.h"

namespace {

using namespace kamolt;

LONG readOption = 0;

// Decodes straight into the global block the caller gets, so a large photo is not copied.
HGLOBAL ReadJpeg(const char* fileName) {
  const auto file = module::ReadInput(fileName);
  if (!file) {
    module::ShowRefusal(fileName, "Die Datei kann nicht gelesen werden.");
    return module::NoDib();
  }
  HGLOBAL memory = nullptr;
  void* locked = nullptr;
  const DibAllocator allocate = [&](std::size_t bytes) -> std::uint8_t* {
    memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    locked = memory ? GlobalLock(memory) : nullptr;
    return static_cast<std::uint8_t*>(locked);
  };
  JpegReadOptions options;
  options.greyAsColour = readOption != 0;
  const auto result =
      DecodeJpegInto(reinterpret_cast<const std::uint8_t*>(file->data()), file->size(), allocate, options);
  if (locked) GlobalUnlock(memory);
  if (const auto* error = std::get_if<JpegError>(&result)) {
    if (memory) GlobalFree(memory);
    module::ShowRefusal(fileName, error->message);
    return module::NoDib();
  }
  return memory;
}

INT32 WriteJpeg(const char* target, HGLOBAL dib, const void* optionBlock) {
  JpegWriteOptions options;
  options.quality = module::OptionField(optionBlock, 4, 85);
  options.progressive = module::OptionField(optionBlock, 8, 0) != 0;
  return module::WriteFileWith(target, dib, [&](const std::uint8_t* data, std::size_t size) {
    return EncodeDibAsJpeg(data, size, options);
  });
}

}  // namespace

extern "C" {

HGLOBAL WINAPI ConvertJPGtoDIB(const char* fileName) {
  return module::Guarded(module::NoDib(), [&] { return ReadJpeg(fileName); });
}

INT32 WINAPI ConvertDIBtoJPG(const char* target, HGLOBAL dib, const void* optionBlock) {
  return module::Guarded(INT32{0}, [&] { return WriteJpeg(target, dib, optionBlock); });
}

void WINAPI SetReadOption(INT32 option) { InterlockedExchange(&readOption, option); }

}  // extern "C"
