#pragma once
// The viewer's invisible folder list: one folder's files, sorted by name, as bare names.
// Pointing it at a folder makes that folder the working folder, so the bare names resolve.
#include <windows.h>

#include <string>

namespace kamolt {

class FolderList {
 public:
  void Create(HWND parent);
  // Lists the working folder again.
  void Refresh();
  // false when the folder cannot be entered; the list then stays as it was.
  bool PointAt(const std::string& folder);
  int Count() const;
  std::string Entry(int index) const;

 private:
  HWND list_ = nullptr;
};

}  // namespace kamolt
