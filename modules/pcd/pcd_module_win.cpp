// CONV_PCD.DLL: the Base picture of Photo CD files for the reader.
//
// The writer never asks this module to write (the "PCD" format writes JPEG), and Photo CD
// is not a format we produce: ConvertDIBtoPCD is there so that the module offers the same
// entries as the others, and refuses every request with 0 without touching the target.
// SetReadOption (ordinal 14) is accepted and ignored: only JPEG files have a reading option.
#include <windows.h>

#include "modules/common/module_support_win.h"
#include "modules/pcd/pcd_codec.h"

namespace {

using namespace kamolt;

HGLOBAL ReadPcd(const char* fileName) {
  return module::ReadFileWith(fileName, [](const std::uint8_t* data, std::size_t size) { return pcd::DecodePcd(data, size); });
}

}  // namespace

extern "C" {

HGLOBAL WINAPI ConvertPCDtoDIB(const char* fileName) {
  return module::Guarded(module::NoDib(), [&] { return ReadPcd(fileName); });
}

INT32 WINAPI ConvertDIBtoPCD(const char* /*target*/, HGLOBAL /*dib*/, const void* /*optionBlock*/) { return 0; }

void WINAPI SetReadOption(INT32 /*option*/) {}

}  // extern "C"
