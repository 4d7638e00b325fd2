#include "base/pending_file_win.h"

#include <algorithm>
#include <utility>

namespace kamolt {
std::string FolderOf(const std::string& path) {
  const auto cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  return path.substr(0, cut + 1);
}

std::string TemporaryFolder() {
  char folder[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  return length > 0 && length < sizeof folder ? std::string(folder, length) : std::string();
}

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {
  char temp[MAX_PATH];
  if (GetTempFileNameA(FolderOf(target_).c_str(), "kmt", 0, temp) != 0) temp_ = temp;
}

PendingFile::~PendingFile() {
  if (Ready() && !committed_) DeleteFileA(temp_.c_str());
}

bool PendingFile::Commit() {
  if (!Ready()) return false;
  // A read-only file is not the writer's to replace, even where the platform would let a
  // move go over it.
  const DWORD attributes = GetFileAttributesA(target_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  committed_ = MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  return committed_;
}

bool WriteAll(HANDLE file, const void* data, std::size_t size) {
  const auto* at = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 24));
    DWORD put = 0;
    if (!WriteFile(file, at, chunk, &put, nullptr) || put != chunk) return false;
    at += chunk;
    size -= chunk;
  }
  return true;
}

}  // namespace kamolt
