#include <windows.h>

#include "base/file_io.h"
#include "base/pending_file_win.h"
#include "win/handles_win.h"

namespace kamolt {

using win::FileHandle;

std::optional<std::string> ReadWholeFile(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  do {
    if (!ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
    bytes.append(chunk, got);
  } while (got > 0);
  return bytes;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
  PendingFile pending(path);
  if (!pending.Ready()) return false;
  {
    FileHandle file(CreateFileA(pending.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file.Valid() || !WriteAll(file.Get(), bytes.data(), bytes.size()) || !FlushFileBuffers(file.Get()) ||
        !file.Reset()) {
      return false;
    }
  }
  return pending.Commit();
}

}  // namespace kamolt
