#pragma once
// The reading side of the converter modules: one library per file extension, loaded for
// the one call and unloaded right after.
#include <windows.h>

#include <string>

namespace kamolt {

// What a module returns when it has no picture.
inline const HGLOBAL kNoDib = reinterpret_cast<HGLOBAL>(static_cast<INT_PTR>(-1));

// "CONV_JPG.DLL" for the key ".JPG.".
std::string ConverterModuleName(const std::string& extensionKey);

// A packed DIB in movable global memory that the caller owns, or kNoDib; the module's own
// problems are reported to the user here.
HGLOBAL ConvertFileToDIB(const std::string& fileName, const std::string& extensionKey);

}  // namespace kamolt
