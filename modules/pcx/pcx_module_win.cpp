// CONV_PCX.DLL: PCX files for the reader and the writer. What the writer's option block
// means to us is said beside the codec (pcx_codec.h): none of its fields changes the file.
//
// SetReadOption (ordinal 14) is accepted and ignored: only JPEG files have a reading option,
// and the entry is here so that every module offers the same three.
#include <windows.h>

#include "modules/common/module_support_win.h"
#include "modules/pcx/pcx_codec.h"

namespace {

using namespace kamolt;

HGLOBAL ReadPcx(const char* fileName) {
  return module::ReadFileTelling(fileName, [](const std::uint8_t* data, std::size_t size) { return pcx::DecodePcx(data, size); });
}

INT32 WritePcx(const char* target, HGLOBAL dib) {
  return module::WriteFileWith(target, dib, [](const std::uint8_t* data, std::size_t size) {
    return pcx::EncodePcx(data, size);
  });
}

}  // namespace

extern "C" {

HGLOBAL WINAPI ConvertPCXtoDIB(const char* fileName) {
  return module::Guarded(module::NoDib(), [&] { return ReadPcx(fileName); });
}

INT32 WINAPI ConvertDIBtoPCX(const char* target, HGLOBAL dib, const void* /*optionBlock*/) {
  return module::Guarded(INT32{0}, [&] { return WritePcx(target, dib); });
}

void WINAPI SetReadOption(INT32 /*option*/) {}

}  // extern "C"
