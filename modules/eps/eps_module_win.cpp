// CONV_EPS.DLL: Encapsulated PostScript with a TIFF preview for the writer; the reader takes
// the preview back. What the writer's option block means to us is said with the codec
// (eps_codec.h).
//
// SetReadOption (ordinal 14) is accepted and ignored: only JPEG files have a reading option,
// and the entry is here so that every module offers the same three.
#include <windows.h>

#include "modules/common/module_support_win.h"
#include "modules/eps/eps_codec.h"

namespace {

using namespace kamolt;

HGLOBAL ReadEps(const char* fileName) {
  return module::ReadFileTelling(fileName, [](const std::uint8_t* data, std::size_t size) { return eps::DecodeEps(data, size); });
}

INT32 WriteEps(const char* target, HGLOBAL dib, const void* optionBlock) {
  eps::WriteOptions options;
  options.preview = module::OptionField(optionBlock, 4, 1) != 0;
  return module::WriteFileWith(target, dib, [&](const std::uint8_t* data, std::size_t size) {
    return eps::EncodeEps(data, size, options);
  });
}

}  // namespace

extern "C" {

HGLOBAL WINAPI ConvertEPStoDIB(const char* fileName) {
  return module::Guarded(module::NoDib(), [&] { return ReadEps(fileName); });
}

INT32 WINAPI ConvertDIBtoEPS(const char* target, HGLOBAL dib, const void* optionBlock) {
  return module::Guarded(INT32{0}, [&] { return WriteEps(target, dib, optionBlock); });
}

void WINAPI SetReadOption(INT32 /*option*/) {}

}  // extern "C"
