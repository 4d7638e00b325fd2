#include "modules/eps/ghostscript_win.h"

#include <windows.h>

#include <algorithm>
#include <array>

#include "base/dib.h"
#include "base/file_io.h"
#include "base/pending_file_win.h"
#include "convert/child_process_win.h"
#include "convert/target_name.h"
#include "win/handles_win.h"

namespace kamolt::eps {
namespace {

constexpr std::array<const char*, 2> kConsolePrograms = {"gswin64c.exe", "gswin32c.exe"};
// At one pixel per point this is a poster of about 5.7 x 5.7 m: anything larger is a
// damaged or hostile bounding box, and Ghostscript would fill the disk with it.
constexpr std::int64_t kLargestDrawing = std::int64_t{1} << 28;

std::optional<std::string> ConsoleProgramIn(std::string folder) {
  if (folder.empty()) return std::nullopt;
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  for (const char* name : kConsolePrograms) {
    const std::string path = folder + name;
    if (IsFile(path)) return path;
  }
  return std::nullopt;
}

// "10.02.1" as {10, 2, 1}, so that versions compare by their numbers.
std::vector<int> VersionNumbers(const char* text) {
  std::vector<int> numbers(1, 0);
  for (; (*text >= '0' && *text <= '9') || *text == '.'; ++text) {
    if (*text == '.') {
      numbers.push_back(0);
    } else {
      numbers.back() = std::min(numbers.back() * 10 + (*text - '0'), 1000000);
    }
  }
  return numbers;
}

// The folder of the DLL a registered version names, read without trusting its length.
std::optional<std::string> RegisteredFolder(HKEY versions, const char* version) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(versions, version, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
  const win::RegistryKey key(opened);
  char dll[MAX_PATH + 1] = {};
  DWORD type = 0, bytes = MAX_PATH;
  if (RegQueryValueExA(key.Get(), "GS_DLL", nullptr, &type, reinterpret_cast<BYTE*>(dll), &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::string folder(dll);
  const std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::nullopt : std::optional(folder.substr(0, slash));
}

std::optional<std::string> NewestRegistered() {
  std::optional<std::string> found;
  std::vector<int> newest;
  // Both registry views: a 32-bit Kamolt on 64-bit Windows sees the 64-bit Ghostscript too.
  for (const char* maker : {"SOFTWARE\\GPL Ghostscript", "SOFTWARE\\Artifex Ghostscript"}) {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      HKEY opened = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, maker, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) continue;
      const win::RegistryKey versions(opened);
      char version[256];
      for (DWORD index = 0;; ++index) {
        DWORD length = sizeof version;
        if (RegEnumKeyExA(versions.Get(), index, version, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
          break;
        }
        const std::vector<int> numbers = VersionNumbers(version);
        if (found && numbers <= newest) continue;
        const auto folder = RegisteredFolder(versions.Get(), version);
        if (auto program = folder ? ConsoleProgramIn(*folder) : std::nullopt) {
          found = std::move(program);
          newest = numbers;
        }
      }
    }
  }
  return found;
}

// Only the folders of PATH: the current folder, where the picture lies, is no place to
// take a program from.
std::optional<std::string> OnSearchPath() {
  const DWORD length = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (length == 0) return std::nullopt;
  std::string path(length, '\0');
  path.resize(GetEnvironmentVariableA("PATH", path.data(), length));
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    std::string folder = path.substr(start, end - start);
    folder.erase(std::remove(folder.begin(), folder.end(), '"'), folder.end());
    if (auto program = ConsoleProgramIn(folder)) return program;
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FindGhostscript() {
  if (auto registered = NewestRegistered()) return registered;
  return OnSearchPath();
}

std::variant<std::vector<std::uint8_t>, CodecError> DrawWithGhostscript(const std::string& program,
                                                                         const char* fileName,
                                                                         const std::uint8_t* file, std::size_t size) {
  if (const auto box = BoundingBoxSize(file, size); box && box->width * box->height > kLargestDrawing) {
    return CodecError{"EPS-Bild zu groß zum Zeichnen"};
  }
  // A full name: Ghostscript would take a name that starts with "-" or "@" for an option.
  char full[MAX_PATH + 1];
  const DWORD fullLength = GetFullPathNameA(fileName, sizeof full, full, nullptr);
  if (fullLength == 0 || fullLength >= sizeof full) return CodecError{"Dateiname für Ghostscript zu lang"};

  // Never put in place: the drawing is only read back, and goes with this object.
  PendingFile drawing(TemporaryFolder() + "kamolt.bmp");
  if (!drawing.Ready()) return CodecError{"kein Platz für die Zeichnung von Ghostscript im Temp-Ordner"};
  std::string output = drawing.Path();
  // A "%" in the output name would be a page number to Ghostscript.
  for (std::size_t at = output.find('%'); at != std::string::npos; at = output.find('%', at + 2)) output.insert(at, 1, '%');

  const std::string line = CommandLineWord(program) +
                           " -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 -sDEVICE=bmp16m -dTextAlphaBits=4"
                           " -dGraphicsAlphaBits=4 " +
                           CommandLineWord("-sOutputFile=" + output) + " " + CommandLineWord(full);
  const ChildOutcome outcome = RunHiddenAndWait(line, WorkLimitMs(size, 20000, 64 * 1024));
  switch (outcome.end) {
    case ChildEnd::NotStarted:
      return CodecError{"Ghostscript (" + program + ") lässt sich nicht starten"};
    case ChildEnd::TimedOut:
      return CodecError{"Ghostscript hat die EPS-Datei nicht in der Zeit gezeichnet"};
    case ChildEnd::Ended:
      break;
  }
  if (outcome.exitCode != 0) {
    return CodecError{"Ghostscript kann die EPS-Datei nicht zeichnen (Fehler " + std::to_string(outcome.exitCode) + ")"};
  }
  const auto bitmap = ReadWholeFile(drawing.Path());
  auto dib = bitmap ? BmpFileToDib(reinterpret_cast<const std::uint8_t*>(bitmap->data()), bitmap->size()) : std::nullopt;
  if (!dib) return CodecError{"Ghostscript hat kein lesbares Bild gezeichnet"};
  return std::move(*dib);
}

}  // namespace kamolt::eps
