#include <windows.h>

#include "base/file_io.h"
#include "win/handles_win.h"

namespace kamolt {
namespace {

using win::FileHandle;

std::string FolderOf(const std::string& path) {
  const auto cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut + 1);
}

}  // namespace

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

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
  // A read-only file stays as it is, even where the platform would let a move replace it.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  char temp[MAX_PATH];
  if (GetTempFileNameA(FolderOf(path).c_str(), "kmt", 0, temp) == 0) return false;
  bool written = false;
  {
    FileHandle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid()) {
      DWORD put = 0;
      written = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                put == bytes.size() && FlushFileBuffers(file.Get());
      written = file.Reset() && written;
    }
  }
  if (written && MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileA(temp);
  return false;
}

}  // namespace kamolt
