#include "convert/writer_win.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/file_io.h"
#include "convert/bmp_writer_win.h"
#include "convert/dib_writing.h"
#include "convert/external_converter_win.h"
#include "convert/module_loader_win.h"
#include "convert/output_format.h"
#include "convert/png_writer.h"
#include "convert/set_aside_file_win.h"
#include "convert/target_name.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"

namespace kamolt {
namespace {

constexpr WORD kWriteEntry = 6;
using WriteEntry = INT32(WINAPI*)(const char* fileName, HGLOBAL dib, void* options);

// The save dialog's buffer is a little shorter than the record's, so that the extension
// of the chosen format still fits behind any name it returns.
constexpr DWORD kDialogNameSize = 251;

std::string NameIn(const char (&field)[kScanSettingsNameSize]) {
  return std::string(field, strnlen(field, kScanSettingsNameSize));
}

void Store(char (&field)[kScanSettingsNameSize], const std::string& name) {
  const std::size_t length = std::min(name.size(), kScanSettingsNameSize - 1);
  std::memcpy(field, name.data(), length);
  std::memset(field + length, 0, kScanSettingsNameSize - length);
}

void Refuse(const std::string& text) { win::ShowMessage(nullptr, text, "Fehler"); }

// Measures the DIB and applies the invert rule; the bit count, or 0 after telling the
// user why the DIB cannot be written.
int PrepareDib(HGLOBAL dib, bool pixelFlavor) {
  const win::GlobalLockScope lock(dib);
  if (!lock.Data()) {
    Refuse("Ungültiges Bitmap: kein Speicherblock");
    return 0;
  }
  auto* block = static_cast<std::uint8_t*>(lock.Data());
  const auto measured = MeasureDib(block, lock.Size());
  if (const auto* refused = std::get_if<DibError>(&measured)) {
    Refuse(refused->message);
    return 0;
  }
  const DibLayout& layout = std::get<DibLayout>(measured);
  if (layout.bitCount == 1 && pixelFlavor) InvertMonochromePixels(block, lock.Size(), layout);
  return layout.bitCount;
}

// The module gets the target's own name, as its interface promises: it may take the
// format from the extension or write more files beside it. The user's old file waits aside
// until the module's file is known to be there, and comes back when it is not.
INT32 WriteThroughModule(WriteEntry write, const std::string& target, HGLOBAL dib, std::vector<std::uint8_t> options) {
  SetAsideFile old(target);
  if (!old.Ready()) return 0;
  const INT32 result = write(target.c_str(), dib, options.data());
  // A module that says "written" but left nothing there has not written the picture.
  if (result == 0 || FileSize(target) == 0) {
    DeleteFileA(target.c_str());
    return 0;
  }
  old.Keep();
  return result;
}

INT32 WritePng(HGLOBAL dib, ScanSettings& settings, const std::string& base) {
  const std::string finalName = base + ".PNG";
  const std::string converter = NameIn(settings.converterPath);
  Store(settings.fileName, finalName);
  if (converter.empty()) {
    const win::GlobalLockScope lock(dib);
    if (!lock.Data()) return 0;
    const auto png = EncodeDibAsPng(static_cast<const std::uint8_t*>(lock.Data()), lock.Size());
    const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&png);
    if (!bytes) return 0;
    const std::string_view file(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    return ReplaceFileContents(finalName, file) ? 1 : 0;
  }

  const std::string temp = base + ".TMP";
  if (WriteDIBtoBMP(dib, temp) != kBmpWritten) return 0;
  // As with a module: an old PNG waits aside, so a failed or stopped converter neither
  // leaves half a picture in its place nor lets it pass for the new one.
  SetAsideFile old(finalName);
  if (!old.Ready()) {
    DeleteFileA(temp.c_str());
    return 0;
  }
  const ChildOutcome outcome = RunExternalConverter(ConverterCommandLine(converter, temp, finalName), FileSize(temp));
  // Only now is the converter surely done with its source: it ended, or it was ended.
  DeleteFileA(temp.c_str());
  if (outcome.end == ChildEnd::Ended && FileSize(finalName) > 0) {
    old.Keep();
    return 1;
  }
  DeleteFileA(finalName.c_str());
  if (outcome.end == ChildEnd::TimedOut) {
    Refuse("Der Konverter " + converter + " hat nicht rechtzeitig geendet und wurde abgebrochen. " + finalName +
           " wurde nicht geschrieben.");
  }
  return 0;
}

}  // namespace

bool AskTargetFile(char (&fileName)[kScanSettingsNameSize], const std::string& extension) {
  const std::string filter = SaveFilterText(extension);
  char chosen[kDialogNameSize] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = chosen;
  dialog.nMaxFile = kDialogNameSize;
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN;
  if (!GetSaveFileNameA(&dialog)) return false;
  Store(fileName, std::string(chosen, strnlen(chosen, kDialogNameSize)));
  return true;
}

INT32 ConvertDIBtoFile(HGLOBAL dib, ScanSettings& settings, int alreadyWritten) {
  const int bitCount = PrepareDib(dib, settings.pixelFlavor != 0);
  if (bitCount == 0) return 0;

  const OutputFormat format = OutputFormatFor(settings.formatCode, bitCount);
  const std::string extension(format.extension);
  const std::string moduleName = ConverterModuleName("." + extension + ".");

  if (NameIn(settings.fileName).empty()) AskTargetFile(settings.fileName, extension);
  std::string name = NameIn(settings.fileName);
  if (name.empty()) {
    Refuse("Kein Dateiname angegeben!");
    return 0;
  }
  if (alreadyWritten > 0) name = NextPictureName(name);
  const std::string stripped = StripExtension(name);
  // Every name written below is the stripped one and three more characters.
  if (stripped.size() + 3 >= kScanSettingsNameSize) {
    Refuse("Dateiname zu lang!");
    return 0;
  }
  Store(settings.fileName, stripped);

  if (format.route == OutputRoute::Module) {
    const win::Library module(LoadLibraryA(moduleName.c_str()));
    if (module) {
      const auto write = reinterpret_cast<WriteEntry>(reinterpret_cast<void*>(
          GetProcAddress(module.Get(), reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(kWriteEntry)))));
      if (!write) {
        win::ShowMessage(nullptr, "ConvertDIBtoXXX ist nicht vorhanden!", moduleName);
        return 0;
      }
      const std::string target = stripped + extension;
      const INT32 result = WriteThroughModule(write, target, dib, format.optionBlock);
      Store(settings.fileName, target);
      return result;
    }
    win::ShowMessage(nullptr, "Konvertierungsmodul kann nicht geladen werden!", moduleName);
  }

  const std::string base = stripped.substr(0, stripped.size() - 1);
  if (format.route == OutputRoute::Png) return WritePng(dib, settings, base);
  const std::string bitmap = base + ".BMP";
  Store(settings.fileName, bitmap);
  return WriteDIBtoBMP(dib, bitmap) == kBmpWritten ? 1 : 0;
}

}  // namespace kamolt
