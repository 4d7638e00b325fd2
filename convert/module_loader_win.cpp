#include "convert/module_loader_win.h"

#include "win/handles_win.h"
#include "win/message_box_win.h"

namespace kamolt {
namespace {

constexpr WORD kReadEntry = 2;
// The reading side's boxes name no particular module: hosts and users know this caption.
constexpr const char* kReadingCaption = "CONV_xxx.DLL";
constexpr WORD kSetReadOptionEntry = 14;
using ReadEntry = HGLOBAL(WINAPI*)(const char* fileName);
using SetReadOptionEntry = void(WINAPI*)(INT32 option);

template <typename Function>
Function Entry(HMODULE module, WORD ordinal) {
  const FARPROC entry = GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal)));
  return reinterpret_cast<Function>(reinterpret_cast<void*>(entry));
}

}  // namespace

std::string ConverterModuleName(const std::string& extensionKey) {
  const std::string extension = extensionKey.size() >= 2 ? extensionKey.substr(1, extensionKey.size() - 2) : "";
  return "CONV_" + extension + ".DLL";
}

HGLOBAL ConvertFileToDIB(const std::string& fileName, const std::string& extensionKey) {
  const std::string moduleName = ConverterModuleName(extensionKey);
  const win::Library module(LoadLibraryA(moduleName.c_str()));
  if (!module) {
    win::ShowMessage(nullptr, "Die DLL zu diesem Format fehlt!", kReadingCaption);
    return kNoDib;
  }
  if (extensionKey == ".JPG.") {
    if (const auto setReadOption = Entry<SetReadOptionEntry>(module.Get(), kSetReadOptionEntry)) {
      setReadOption(0);
    }
  }
  const auto read = Entry<ReadEntry>(module.Get(), kReadEntry);
  if (!read) {
    win::ShowMessage(nullptr, "DLL fehlerhaft!", kReadingCaption);
    return kNoDib;
  }
  const HGLOBAL dib = read(fileName.c_str());
  // Some modules say "nothing" with a null handle rather than -1.
  return dib ? dib : kNoDib;
}

}  // namespace kamolt
