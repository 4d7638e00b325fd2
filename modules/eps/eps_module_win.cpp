// CONV_EPS.DLL: Encapsulated PostScript with a TIFF preview for the writer; the reader takes
// the preview back, or has an installed Ghostscript draw a file that has none. What the
// writer's option block means to us is said with the codec (eps_codec.h).
//
// SetReadOption (ordinal 14) is accepted and ignored: only JPEG files have a reading option,
// and the entry is here so that every module offers the same three.
#include <windows.h>

#include "modules/common/module_support_win.h"
#include "modules/eps/eps_codec.h"
#include "modules/eps/ghostscript_win.h"

namespace {

using namespace kamolt;

HGLOBAL ReadEps(const char* fileName) {
  return module::ReadFileTelling(fileName, [&](const std::uint8_t* data, std::size_t size) {
    auto decoded = eps::DecodeEps(data, size);
    const auto* refused = std::get_if<eps::CodecError>(&decoded);
    if (refused == nullptr || !refused->onlyPostScript) return decoded;
    const auto ghostscript = eps::FindGhostscript();
    return ghostscript ? eps::DrawWithGhostscript(*ghostscript, fileName, data, size) : decoded;
  });
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
