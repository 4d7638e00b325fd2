#include "convert/set_aside_file_win.h"

#include <windows.h>

#include <utility>

#include "base/pending_file_win.h"

namespace kamolt {

SetAsideFile::SetAsideFile(std::string target) : target_(std::move(target)) {
  const DWORD attributes = GetFileAttributesA(target_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    ready_ = GetLastError() == ERROR_FILE_NOT_FOUND;
    return;
  }
  // A read-only file is not the writer's to replace, even where the platform would let a
  // move take it away.
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return;
  // Beside the target, so the move is a rename on the same volume and cannot half fail.
  char aside[MAX_PATH];
  if (GetTempFileNameA(FolderOf(target_).c_str(), "kmt", 0, aside) == 0) return;
  if (!MoveFileExA(target_.c_str(), aside, MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(aside);
    return;
  }
  aside_ = aside;
  ready_ = true;
}

void SetAsideFile::Keep() {
  if (!aside_.empty()) DeleteFileA(aside_.c_str());
  aside_.clear();
}

SetAsideFile::~SetAsideFile() {
  if (aside_.empty()) return;
  // Whatever the failed writer left under the name makes way for the old file.
  MoveFileExA(aside_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace kamolt
