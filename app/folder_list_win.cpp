#include "app/folder_list_win.h"

#include <vector>

namespace kamolt {

void FolderList::Create(HWND parent) {
  // A real, sorted list box, so the order is the platform's own name order.
  list_ = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_SORT | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0, parent,
                          nullptr, GetModuleHandleA(nullptr), nullptr);
  Refresh();
}

void FolderList::Refresh() {
  SendMessageA(list_, LB_RESETCONTENT, 0, 0);
  char pattern[] = "*.*";
  SendMessageA(list_, LB_DIR, DDL_READWRITE | DDL_READONLY | DDL_ARCHIVE, reinterpret_cast<LPARAM>(pattern));
}

bool FolderList::PointAt(const std::string& folder) {
  if (!SetCurrentDirectoryA(folder.c_str())) return false;
  Refresh();
  return true;
}

int FolderList::Count() const { return static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0)); }

std::string FolderList::Entry(int index) const {
  const LRESULT length = SendMessageA(list_, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return {};
  std::vector<char> text(static_cast<std::size_t>(length) + 1);
  SendMessageA(list_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

}  // namespace kamolt
