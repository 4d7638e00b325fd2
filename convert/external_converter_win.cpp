#include "convert/external_converter_win.h"

#include "base/file_io.h"
#include "base/scan_settings.h"
#include "win/program_folder_win.h"

namespace kamolt {
namespace {

constexpr char kConverterName[] = "i_view32.exe";
// A converter starts within seconds and converts a scanned page in a few more; the limit
// only has to tell a hung one from a slow one.
constexpr DWORD kConverterBaseMs = 10000;
constexpr std::uint64_t kConverterBytesPerSecond = 256 * 1024;

std::string WindowsFolder() {
  char path[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? "" : std::string(path, length);
}

std::string FullPath(const std::string& name) {
  char path[MAX_PATH];
  const DWORD length = GetFullPathNameA(name.c_str(), MAX_PATH, path, nullptr);
  return length == 0 || length >= MAX_PATH ? "" : std::string(path, length);
}

std::string SearchIn(const std::string& folders) {
  char path[MAX_PATH];
  const DWORD length = SearchPathA(folders.c_str(), kConverterName, nullptr, MAX_PATH, path, nullptr);
  return length == 0 || length >= MAX_PATH ? "" : std::string(path, length);
}

}  // namespace

std::string LocateExternalConverter() {
  // A path relative to the current folder would break as soon as the folder changes.
  std::string found = IsFile(kConverterName) ? FullPath(kConverterName) : "";
  if (found.empty()) found = SearchIn(win::ProgramFolder() + ";" + WindowsFolder());
  if (found.empty()) return "";
  char shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameA(found.c_str(), shortPath, MAX_PATH);
  // Without short names on the volume the long form has to do; the command line quotes it.
  if (length > 0 && length < MAX_PATH) found.assign(shortPath, length);
  return found.size() < kScanSettingsNameSize ? found : "";
}

ChildOutcome RunExternalConverter(const std::string& commandLine, std::uint64_t sourceBytes) {
  return RunHiddenAndWait(commandLine, WorkLimitMs(sourceBytes, kConverterBaseMs, kConverterBytesPerSecond));
}

}  // namespace kamolt
