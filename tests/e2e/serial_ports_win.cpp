#include "serial_ports_win.h"

#include <windows.h>

namespace e2e {

bool PortKeptOffAnyLine(const std::string& port) {
  HKEY ports = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine\\Ports", 0, KEY_QUERY_VALUE, &ports) != ERROR_SUCCESS) {
    return false;
  }
  char target[MAX_PATH] = "";
  DWORD size = sizeof target - 1;
  DWORD type = 0;
  const bool read = RegQueryValueExA(ports, port.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(target), &size) ==
                        ERROR_SUCCESS &&
                    type == REG_SZ;
  RegCloseKey(ports);
  if (!read || target[0] != '/') return false;
  // The folder as Wine's Z: drive shows it.
  std::string folder = std::string("Z:") + target;
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace e2e
