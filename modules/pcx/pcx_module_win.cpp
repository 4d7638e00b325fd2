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
  const auto file = module::ReadInput(fileName);
  if (!file) return module::NoDib();
  const auto decoded = pcx::DecodePcx(reinterpret_cast<const std::uint8_t*>(file->data()), file->size());
  const auto* dib = std::get_if<std::vector<std::uint8_t>>(&decoded);
  return dib ? module::ToGlobal(*dib) : module::NoDib();
}

INT32 WritePcx(const char* target, HGLOBAL dib) {
  std::variant<std::vector<std::uint8_t>, pcx::CodecError> encoded = pcx::CodecError{};
  {
    const module::LockedDib locked(dib);
    if (!locked.Data()) return 0;
    encoded = pcx::EncodePcx(locked.Data(), locked.Size());
  }
  const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&encoded);
  return bytes && module::WriteOutput(target, *bytes) ? 1 : 0;
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
